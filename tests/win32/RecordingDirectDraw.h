// A DirectDraw card for the display tests: it records every call the display code makes,
// in order and with its arguments, answers as the test configures it, and audits the
// references the display code still holds and any call it should not have made.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "display/win32/DDrawApi.h"

namespace display_test {

// Formatting for the call log.
std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Hex(DWORD value);
std::string RectText(const RECT* r);
std::string RectText(const RECT& r);
std::string FormatText(const DDPIXELFORMAT& f);

// Pixel formats as the card reports them; `marker` tells entries of one format apart.
DDPIXELFORMAT Uyvy(DWORD marker = 0);
DDPIXELFORMAT Yuy2(DWORD marker = 0);
DDPIXELFORMAT Rgb(DWORD bits, DWORD red, DWORD green, DWORD blue, DWORD extra = 0);

class RecordingCard;

// Every object the card makes: a name for the log and a reference count the card audits.
struct Tracked {
  Tracked(RecordingCard& card, std::string name) : card(card), name(std::move(name)) {}
  virtual ~Tracked() = default;
  RecordingCard& card;
  std::string name;
  ULONG refs = 1;

  // A call the display code is not expected to make: a problem for the card's audit.
  HRESULT Unused(const char* call);
};

class RecordingCard final : public DirectDrawProvider {
 public:
  // What the card answers; tests change it before (or between) the calls.
  struct Config {
    HRESULT createResult = DD_OK;
    DWORD caps = DDCAPS_OVERLAY;
    DWORD caps2 = DDCAPS2_VIDEOPORT;
    DWORD alignBoundarySrc = 0, alignSizeSrc = 0, alignBoundaryDest = 0, alignSizeDest = 0;
    bool container = true;
    bool clipper = true;
    std::vector<DDVIDEOPORTCAPS> ports;
    HRESULT connectResult = DD_OK;
    std::vector<DDVIDEOPORTCONNECT> connections;
    HRESULT createPortResult = DD_OK;
    HRESULT outputCountResult = DD_OK;
    HRESULT outputFillResult = DD_OK;
    std::vector<DDPIXELFORMAT> outputFormats = {Uyvy()};
    HRESULT cooperativeResult = DD_OK;
    HRESULT primaryResult = DD_OK;
    HRESULT primaryDescResult = DD_OK;
    DWORD screenWidth = 800, screenHeight = 600;
    bool primaryHasFormat = true;
    DDPIXELFORMAT primaryFormat = Rgb(16, 0xF800, 0x07E0, 0x001F);
    std::function<HRESULT(const DDSURFACEDESC&)> overlayCreate;
    DWORD bandwidthType = DDVPBCAPS_DESTINATION;
    DWORD yInterpAndColorkey = 1000, yInterpolate = 2000, colorkey = 3000;
    HRESULT bandwidthResult = DD_OK;
    HRESULT targetResult = DD_OK;
    std::function<HRESULT(const DDVIDEOPORTINFO&)> startVideo, updateVideo;
    std::function<HRESULT(const RECT& source, const RECT& dest, DWORD flags)> updateOverlay;
    std::optional<std::vector<RECT>> clipRects;  // else the client area of the clipper's window
  };
  Config config;

  RecordingCard() {
    DDVIDEOPORTCAPS port = {};
    port.dwSize = sizeof(port);
    port.dwCaps = DDVPCAPS_AUTOFLIP | DDVPCAPS_INTERLACED;
    port.dwMaxWidth = 720;
    config.ports = {port};
    DDVIDEOPORTCONNECT connect = {};
    connect.dwSize = sizeof(connect);
    connect.dwPortWidth = 8;
    connect.guidTypeID = DDVPTYPE_CCIR656;
    connect.dwFlags = DDVPCONNECT_INTERLACED;
    config.connections = {connect};
    config.caps |= DDCAPS_OVERLAYSTRETCH;
  }

  HRESULT CreateDirectDraw(GUID* driver, LPDIRECTDRAW* object) override;
  HRESULT CreateClipper(DWORD flags, LPDIRECTDRAWCLIPPER* clipper) override;

  void Log(std::string line) { calls_.push_back(std::move(line)); }
  void Unexpected(const char* call) { problems_.push_back(std::string("unexpected ") + call); }
  void CheckSize(const char* what, DWORD size, size_t expected) {
    if (size != expected)
      problems_.push_back(Format("%s dwSize %lu, not %lu", what, static_cast<unsigned long>(size),
                                 static_cast<unsigned long>(expected)));
  }

  const std::vector<std::string>& Calls() const { return calls_; }
  // The calls whose text starts with one of the prefixes, in order.
  std::vector<std::string> Calls(std::initializer_list<const char*> prefixes) const {
    std::vector<std::string> out;
    for (const std::string& c : calls_) {
      for (const char* p : prefixes) {
        if (c.rfind(p, 0) == 0) {
          out.push_back(c);
          break;
        }
      }
    }
    return out;
  }
  void ClearCalls() { calls_.clear(); }
  const std::vector<std::string>& Problems() const { return problems_; }

  // References the display code still holds.
  ULONG LiveReferences() const {
    ULONG n = 0;
    for (const auto& o : objects_) n += o->refs;
    return n;
  }
  // Every surface made so far reports itself lost, as after a display-mode change.
  void LoseSurfaces();

  template <typename T, typename... Args>
  T* Make(Args&&... args) {
    auto object = std::make_unique<T>(*this, std::forward<Args>(args)...);
    T* raw = object.get();
    objects_.push_back(std::move(object));
    return raw;
  }

  IDirectDrawClipper* clipperObject = nullptr;
  IDirectDrawSurface* overlayObject = nullptr;

 private:
  std::vector<std::string> calls_;
  std::vector<std::string> problems_;
  std::vector<std::unique_ptr<Tracked>> objects_;
};

}  // namespace display_test
