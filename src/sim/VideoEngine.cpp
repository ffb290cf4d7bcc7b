#include "sim/VideoEngine.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <mutex>
#include <thread>
#include <vector>

#include "hw/Decoder.h"
#include "sim/PictureControls.h"
#include "sim/PictureSources.h"
#include "sim/SimBoard.h"

namespace {

using Clock = std::chrono::steady_clock;

// Field periods, to the nanosecond below.
constexpr Clock::duration FieldPeriod(double fieldsPerSecond) {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
      std::chrono::duration<double>(1.0 / fieldsPerSecond));
}
constexpr Clock::duration kPeriod60 = FieldPeriod(kFieldRate59_94);
constexpr Clock::duration kPeriod50 = FieldPeriod(kFieldRate50);
static_assert(kPeriod60 == std::chrono::nanoseconds(16'683'333));
static_assert(kPeriod50 == std::chrono::milliseconds(20));

// A picture whose field rate the decoder is not locked to drifts through the field
// this many lines a second, its own blanking interval showing as a black bar.
constexpr double kRollLinesPerSecond = 90.0;
constexpr int kRollBarLines = 18;

// The board driver's status block. It outlives every engine, so an address handed out
// once stays good for the life of the process, as a driver's mapping would.
alignas(64) uint32_t g_statusBlock[kDriverStatusBlockSize / sizeof(uint32_t)];
static_assert(kDriverStatusWordOffset % sizeof(uint32_t) == 0);

void ToggleFieldBit() {
  std::atomic_ref<uint32_t> word(g_statusBlock[kDriverStatusWordOffset / sizeof(uint32_t)]);
  word.fetch_xor(kDriverStatusFieldBit, std::memory_order_release);
}

// What the board shows the port during one field, read under the board's lock.
struct Snapshot {
  bool output = false;
  int input = 0;
  int source = kNoSource;  // the standard the selected input carries
  bool antenna = false;    // the tuner feeds the input: stations, or snow between them
  const BroadcastStation* station = nullptr;
  bool colour = false;                // the decoder recognises the source's colour standard
  bool decoder60 = false;             // field rate the decoder runs at
  bool programmed60 = false;          // field rate the sync register selects
  std::array<uint8_t, 4> controls{};  // brightness, contrast, saturation, hue
};

Snapshot TakeSnapshot(SimBoard& board) {
  std::lock_guard<std::mutex> lock(board.Mutex());
  SimDecoder& decoder = board.Decoder();
  const SimScenario& scenario = board.Scenario();
  Snapshot s;
  s.output = scenario.decoderPresent && decoder.OutputEnabled();
  s.input = decoder.InputMode();
  if (s.input == kDecoderModeComposite) {
    s.source = scenario.compositeStandard;
  } else if (s.input == kDecoderModeSVideo) {
    s.source = scenario.svideoStandard;
  } else if (s.input == kDecoderModeTuner && scenario.tuner != 0) {
    s.antenna = true;
    s.station = board.TunedStation();
    s.source = s.station ? s.station->standard : kNoSource;
  }
  s.colour = (decoder.Status() & 0x01) != 0;
  s.decoder60 = decoder.Decodes60Hz();
  s.programmed60 = (decoder.Register(0x08) & 0x40) != 0;
  s.controls = {decoder.Register(0x0A), decoder.Register(0x0B), decoder.Register(0x0C),
                decoder.Register(0x0D)};
  return s;
}

bool Runs60Hz(const Snapshot& s) {
  return s.source != kNoSource ? StandardIs60Hz(s.source) : s.programmed60;
}

Clock::duration PeriodOf(const Snapshot& s) {
  return Runs60Hz(s) ? kPeriod60 : kPeriod50;
}

// Seconds since midnight, local time, when the engine was built: where the clocks start.
double TimeOfDayNow() {
  const auto now = std::chrono::system_clock::now();
  const std::time_t t = std::chrono::system_clock::to_time_t(now);
  const std::tm* local = std::localtime(&t);
  if (!local) return 0.0;
  const double fraction =
      std::chrono::duration<double>(now - std::chrono::system_clock::from_time_t(t)).count();
  return local->tm_hour * 3600.0 + local->tm_min * 60.0 + local->tm_sec + fraction;
}

constexpr auto kBlackRow = [] {
  std::array<uint8_t, kPictureRowBytes> row{};
  for (size_t i = 0; i < row.size(); i += 2) {
    row[i] = 128;
    row[i + 1] = 16;
  }
  return row;
}();

// Renders fields: the input's picture into the field geometry, through the decoder's
// controls, then scaled as the port is set up.
class FieldRenderer {
 public:
  FieldRenderer() : timeOfDayOrigin_(TimeOfDayNow()) {}
  void SetClockOrigin(double secondsOfDay) { timeOfDayOrigin_ = secondsOfDay; }

  void Prepare(const Snapshot& s, const VideoPortSetup& setup, double seconds, uint64_t field) {
    fieldLines_ = std::clamp(setup.fieldHeight, 2, 625);
    // 240-line standards: the blanking lines, then the 240 picture lines; the 288-line
    // field has one blank line above its picture.
    blankLines_ = fieldLines_ >= static_cast<int>(kFieldHeight288)
                      ? 1
                      : std::min(static_cast<int>(kBlankingLines240), fieldLines_ - 1);
    // Scaled lines are kept only across fields that all went through the scaler.
    if (!scaledCurrent_) scaledFor_ = {};
    scaledCurrent_ = false;
    black_ = !s.output;
    roll_ = 0;
    if (black_) return;

    const SceneTime time{seconds, timeOfDayOrigin_ + seconds, Runs60Hz(s) ? 30 : 25, field};
    Scene scene;
    if (s.antenna) {
      scene = s.station ? Scene{SceneKind::Station, s.station} : Scene{SceneKind::Snow};
    } else if (s.source != kNoSource && s.input == kDecoderModeComposite) {
      scene.kind = SceneKind::TestCard;
    } else if (s.source != kNoSource && s.input == kDecoderModeSVideo) {
      scene.kind = SceneKind::SecondScene;
    }
    controls_.Set(s.controls, s.colour);
    changed_ = sources_.Draw(scene, fieldLines_ - blankLines_, time, controls_, picture_);
    if (s.source != kNoSource && StandardIs60Hz(s.source) != s.decoder60) {
      roll_ = static_cast<int>(
          std::fmod(seconds * kRollLinesPerSecond, picture_.Lines() + kRollBarLines));
    }
  }

  // Writes the prepared field as the port is set up, never past `maxWidth` pixels,
  // `maxLines` lines or `pitch` bytes a line.
  void Write(uint8_t* dst, int pitch, int maxWidth, int maxLines, const VideoPortSetup& setup) {
    const int outWidth =
        std::clamp(setup.prescale ? setup.prescaleWidth : setup.fieldWidth, 1, kPictureWidth);
    const int outLines =
        setup.prescale ? std::clamp(setup.prescaleHeight, 1, fieldLines_) : fieldLines_;
    const int srcWidth = setup.prescale ? kPictureWidth : outWidth;
    const int pairs = std::min({(outWidth + 1) / 2, maxWidth / 2, pitch / 4});
    const int lines = std::min(outLines, maxLines);
    if (pairs <= 0 || lines <= 0) return;
    const size_t bytes = static_cast<size_t>(pairs) * 4;

    if (black_ || (srcWidth == outWidth && outLines == fieldLines_)) {
      for (int o = 0; o < lines; ++o) {
        std::memcpy(dst + static_cast<ptrdiff_t>(o) * pitch, black_ ? kBlackRow.data() : Line(o),
                    bytes);
      }
      return;
    }

    // Box filter: each output sample averages the field samples it covers. Output lines
    // are kept from field to field; only those over changed picture rows are made again.
    PrepareSpans(outWidth, srcWidth, pairs);
    const std::array<int, 6> scaledFor{pairs + 1,   outLines, fieldLines_,
                                       blankLines_, roll_,    srcWidth};
    const bool whole = changed_.all || roll_ != 0 || scaledFor != scaledFor_;
    scaledFor_ = scaledFor;
    scaledCurrent_ = true;
    scaled_.resize(static_cast<size_t>(outLines) * bytes);
    for (int o = 0; o < outLines; ++o) {
      const int first = static_cast<int>(static_cast<int64_t>(o) * fieldLines_ / outLines);
      const int last = std::max(
          first + 1, static_cast<int>(static_cast<int64_t>(o + 1) * fieldLines_ / outLines));
      uint8_t* out = scaled_.data() + static_cast<size_t>(o) * bytes;
      if (whole || changed_.Touches(first - blankLines_, last - blankLines_)) {
        ScaleLine(first, last, pairs, out);
      }
      if (o < lines) std::memcpy(dst + static_cast<ptrdiff_t>(o) * pitch, out, bytes);
    }
  }

 private:
  struct Span {
    int begin, end;
  };

  void ScaleLine(int first, int last, int pairs, uint8_t* out) {
    std::fill(sum_.begin(), sum_.end(), 0u);
    for (int f = first; f < last; ++f) {
      const uint8_t* line = Line(f);
      for (int i = 0; i < kPictureRowBytes; ++i) sum_[i] += line[i];
    }
    const uint32_t count = static_cast<uint32_t>(last - first);
    for (int p = 0; p < pairs; ++p) {
      const Span c = chromaSpans_[p];
      uint32_t u = 0, v = 0;
      for (int k = c.begin; k < c.end; ++k) {
        u += sum_[4 * k];
        v += sum_[4 * k + 2];
      }
      const uint32_t n = count * static_cast<uint32_t>(c.end - c.begin);
      out[4 * p] = static_cast<uint8_t>((u + n / 2) / n);
      out[4 * p + 2] = static_cast<uint8_t>((v + n / 2) / n);
      for (int half = 0; half < 2; ++half) {
        const Span y = lumaSpans_[2 * p + half];
        uint32_t sum = 0;
        for (int k = y.begin; k < y.end; ++k) sum += sum_[2 * k + 1];
        const uint32_t m = count * static_cast<uint32_t>(y.end - y.begin);
        out[4 * p + 1 + 2 * half] = static_cast<uint8_t>((sum + m / 2) / m);
      }
    }
  }

  // Blanking, or the picture line the field line shows.
  const uint8_t* Line(int fieldLine) const {
    if (fieldLine < blankLines_) return kBlackRow.data();
    int line = fieldLine - blankLines_;
    if (roll_) line = (line + roll_) % (picture_.Lines() + kRollBarLines);
    return line < picture_.Lines() ? picture_.Row(line) : kBlackRow.data();
  }

  void PrepareSpans(int outWidth, int srcWidth, int pairs) {
    if (spansFor_ == std::array<int, 3>{outWidth, srcWidth, pairs}) return;
    spansFor_ = {outWidth, srcWidth, pairs};
    lumaSpans_.resize(2 * static_cast<size_t>(pairs));
    for (int x = 0; x < 2 * pairs; ++x) {
      const int o = std::min(x, outWidth - 1);  // an odd width repeats its last pixel
      const int begin = o * srcWidth / outWidth;
      lumaSpans_[x] = {begin, std::max(begin + 1, (o + 1) * srcWidth / outWidth)};
    }
    const int outPairs = (outWidth + 1) / 2, srcPairs = (srcWidth + 1) / 2;
    chromaSpans_.resize(pairs);
    for (int p = 0; p < pairs; ++p) {
      const int begin = p * srcPairs / outPairs;
      chromaSpans_[p] = {begin, std::max(begin + 1, (p + 1) * srcPairs / outPairs)};
    }
  }

  double timeOfDayOrigin_;
  PictureSources sources_;
  PictureControls controls_;
  Picture picture_;
  int fieldLines_ = kFieldHeight240;
  int blankLines_ = kBlankingLines240;
  int roll_ = 0;
  bool black_ = true;
  ChangedRows changed_;
  std::array<uint32_t, kPictureRowBytes> sum_{};
  std::vector<uint8_t> scaled_;  // the prescaled lines of the last field
  std::array<int, 6> scaledFor_{};
  bool scaledCurrent_ = false;  // the last field prepared was scaled into scaled_
  std::array<int, 3> spansFor_{};
  std::vector<Span> lumaSpans_, chromaSpans_;
};

}  // namespace

struct VideoEngine::Impl {
  explicit Impl(SimBoard& b) : board(b), epoch(Clock::now()) {}
  void Run();

  SimBoard& board;
  const Clock::time_point epoch;

  std::mutex renderMutex;  // the renderer, shared by the thread and RenderField
  FieldRenderer renderer;

  std::mutex mutex;  // everything below
  std::thread thread;
  bool stopRequested = false;
  bool running = false;
  FieldTarget* target = nullptr;
  VideoPortSetup setup;
  Clock::time_point runStart;
  Clock::duration activeBefore{};  // time the port ran before the current start
  Clock::duration period{};        // of the field being waited for
  std::string statsFile;
  void (*threadStartHook)() = nullptr;
  void (*sleepHook)(uint32_t) = nullptr;
  uint64_t field = 0;  // counts on across restarts so the noise never repeats

  std::atomic<uint64_t> rendered{0};
  std::atomic<uint64_t> missed{0};
};

namespace {

// Whole milliseconds rounded up: the field comes at most a millisecond late, never early.
void SleepUntil(Clock::time_point deadline, void (*sleepMs)(uint32_t)) {
  if (!sleepMs) {
    std::this_thread::sleep_until(deadline);
    return;
  }
  for (auto now = Clock::now(); now < deadline; now = Clock::now())
    sleepMs(static_cast<uint32_t>(
        std::chrono::ceil<std::chrono::milliseconds>(deadline - now).count()));
}

}  // namespace

void VideoEngine::Impl::Run() {
  Snapshot snapshot = TakeSnapshot(board);
  VideoPortSetup initial;
  void (*hook)();
  void (*sleepMs)(uint32_t);
  {
    std::lock_guard<std::mutex> lock(mutex);
    initial = setup;
    hook = threadStartHook;
    sleepMs = sleepHook;
  }
  if (hook) hook();
  {
    // Draws the picture's static parts now, so the first field is not late.
    std::lock_guard<std::mutex> lock(renderMutex);
    renderer.Prepare(snapshot, initial, 0.0, field);
  }
  Clock::time_point deadline;
  {
    // The port runs from here: a thread can take a while to get going on a busy machine.
    std::lock_guard<std::mutex> lock(mutex);
    runStart = Clock::now();
    period = PeriodOf(snapshot);
    deadline = runStart + period;
  }
  for (;;) {
    FieldTarget* to;
    VideoPortSetup as;
    uint64_t number;
    {
      // A plain sleep to the field's time (the platform's own, given by SetSleepHook), not
      // a timed wait on a condition: under Wine a timed wait goes through the server
      // process, and on a busy machine that made the port miss three to four times as many
      // fields. A stop waits at most one field.
      SleepUntil(deadline, sleepMs);
      std::unique_lock<std::mutex> lock(mutex);
      if (stopRequested) break;
      to = target;
      as = setup;
      const Clock::duration late = Clock::now() - deadline;
      if (late >= period) {
        // Whole field times went by without a field: they are lost, not made up.
        const auto lost = late / period;
        missed += static_cast<uint64_t>(lost);
        field += static_cast<uint64_t>(lost);
        deadline += lost * period;
      }
      number = field++;
    }
    snapshot = TakeSnapshot(board);
    const double seconds = std::chrono::duration<double>(deadline - epoch).count();
    {
      std::lock_guard<std::mutex> lock(renderMutex);
      renderer.Prepare(snapshot, as, seconds, number);
      int pitch = 0, width = 0, height = 0;
      if (uint8_t* buffer = to ? to->BeginField(pitch, width, height) : nullptr) {
        renderer.Write(buffer, pitch, width, height, as);
        to->EndField(as.autoflip);
        ++rendered;
      }
    }
    ToggleFieldBit();
    std::lock_guard<std::mutex> lock(mutex);
    period = PeriodOf(snapshot);
    deadline += period;
  }
  std::lock_guard<std::mutex> lock(mutex);
  activeBefore += Clock::now() - runStart;
  running = false;
}

VideoEngine::VideoEngine(SimBoard& board) : impl_(std::make_unique<Impl>(board)) {}

VideoEngine::~VideoEngine() {
  Stop();
  std::string path;
  {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    path = impl_->statsFile;
  }
  if (path.empty()) return;
  const VideoEngineStats stats = Stats();
  // Formatted without the C locale, whatever the program has set it to.
  char rate[32];
  const auto end =
      std::to_chars(rate, rate + sizeof rate - 1, stats.measuredRate, std::chars_format::fixed, 3);
  *end.ptr = '\0';
  if (std::FILE* file = std::fopen(path.c_str(), "a")) {
    std::fprintf(file, "fields %llu missed %llu rate %s\n",
                 static_cast<unsigned long long>(stats.rendered),
                 static_cast<unsigned long long>(stats.missed), rate);
    std::fclose(file);
  }
}

void VideoEngine::Start(FieldTarget* target, const VideoPortSetup& setup) {
  Stop();
  std::lock_guard<std::mutex> lock(impl_->mutex);
  if (impl_->thread.joinable()) return;  // stopped from its own field; still finishing
  impl_->target = target;
  impl_->setup = setup;
  impl_->stopRequested = false;
  impl_->running = true;
  impl_->runStart = Clock::now();
  impl_->thread = std::thread([this] { impl_->Run(); });
}

void VideoEngine::SetThreadStartHook(void (*hook)()) {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  impl_->threadStartHook = hook;
}

void VideoEngine::SetSleepHook(void (*sleepMs)(uint32_t)) {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  impl_->sleepHook = sleepMs;
}

void VideoEngine::Update(const VideoPortSetup& setup) {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  impl_->setup = setup;
}

void VideoEngine::Stop() {
  std::thread thread;
  {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    impl_->stopRequested = true;
    // From the engine's own thread (a target stopping the port in BeginField or
    // EndField) the thread cannot wait for itself; it ends after this field.
    if (impl_->thread.get_id() == std::this_thread::get_id()) return;
    thread = std::move(impl_->thread);
  }
  if (thread.joinable()) thread.join();
}

bool VideoEngine::Running() const {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  return impl_->running;
}

VideoEngineStats VideoEngine::Stats() const {
  VideoEngineStats stats;
  Clock::duration active;
  {
    std::lock_guard<std::mutex> lock(impl_->mutex);
    active = impl_->activeBefore;
    if (impl_->running) active += Clock::now() - impl_->runStart;
    if (impl_->period.count() > 0)
      stats.fieldRate = 1.0 / std::chrono::duration<double>(impl_->period).count();
  }
  stats.rendered = impl_->rendered;
  stats.missed = impl_->missed;
  stats.seconds = std::chrono::duration<double>(active).count();
  stats.measuredRate =
      stats.seconds > 0 ? static_cast<double>(stats.rendered) / stats.seconds : 0.0;
  return stats;
}

void VideoEngine::SetStatsFile(const std::string& path) {
  std::lock_guard<std::mutex> lock(impl_->mutex);
  impl_->statsFile = path;
}

uint8_t* VideoEngine::DriverStatusBlock() {
  return reinterpret_cast<uint8_t*>(g_statusBlock);
}

void VideoEngine::SetClockOrigin(double secondsOfDay) {
  std::lock_guard<std::mutex> lock(impl_->renderMutex);
  impl_->renderer.SetClockOrigin(secondsOfDay);
}

void VideoEngine::RenderField(uint8_t* dst, int pitch, const VideoPortSetup& setup,
                              uint64_t fieldNumber) {
  const Snapshot snapshot = TakeSnapshot(impl_->board);
  const double seconds =
      static_cast<double>(fieldNumber) * std::chrono::duration<double>(PeriodOf(snapshot)).count();
  std::lock_guard<std::mutex> lock(impl_->renderMutex);
  impl_->renderer.Prepare(snapshot, setup, seconds, fieldNumber);
  impl_->renderer.Write(dst, pitch, kPictureWidth, 625, setup);
}
