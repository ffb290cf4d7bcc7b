#include "capture/AviClip.h"

#include <vector>

#include "capture/Yvu9Decode.h"
#include "shared/FourCc.h"
#include "shared/LittleEndian.h"

namespace {

constexpr uint32_t kFourccAuds = MakeFourcc('a', 'u', 'd', 's');
constexpr uint32_t kFourccRec = MakeFourcc('r', 'e', 'c', ' ');
constexpr uint32_t kBiRgb = 0;
constexpr uint32_t kMainHeaderBytes = 56;    // AVIMAINHEADER without its chunk head
constexpr uint32_t kStreamHeaderBytes = 48;  // up to dwSampleSize; rcFrame is optional
constexpr uint32_t kBitmapHeaderBytes = 40;
constexpr uint32_t kWaveFormatBytes = 14;
// Headers are small; a header list larger than this is not a clip the program made or
// could sensibly show.
constexpr uint32_t kMaxHeaderListBytes = 1u << 20;
constexpr uint32_t kMaxPictureSide = 4096;

struct Chunk {
  uint64_t At = 0;  // its four-character code
  uint32_t Id = 0;
  uint32_t Size = 0;
  uint32_t ListType = 0;  // for "RIFF" and "LIST"

  uint64_t Data() const { return At + 8; }
  // Where the next chunk starts: chunks are padded to an even length.
  uint64_t End() const { return Data() + Size + (Size & 1); }
};

bool ReadChunk(ClipByteSource& file, uint64_t at, uint64_t limit, Chunk& chunk) {
  uint8_t head[12];
  if (at + 8 > limit || !file.ReadAt(at, head, 8)) return false;
  chunk.At = at;
  chunk.Id = GetLe32(head);
  chunk.Size = GetLe32(head + 4);
  chunk.ListType = 0;
  if (chunk.Id == kFourccList || chunk.Id == kFourccRiff) {
    if (chunk.Size < 4 || !file.ReadAt(at + 8, head + 8, 4)) return false;
    chunk.ListType = GetLe32(head + 8);
  }
  return true;
}

// Inside a list: its chunks must end within it (the last one's pad byte may be missing).
bool FitsIn(const Chunk& c, uint64_t limit) {
  return c.Data() + c.Size <= limit;
}

// "00db": two hex digits of the stream number, then the chunk type.
bool IsStreamChunk(uint32_t id, uint32_t stream, uint16_t& type) {
  const char a = static_cast<char>(id & 0xFF), b = static_cast<char>((id >> 8) & 0xFF);
  auto digit = [](char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  if (digit(a) < 0 || digit(b) < 0) return false;
  if (static_cast<uint32_t>(digit(a) * 16 + digit(b)) != stream) return false;
  type = static_cast<uint16_t>(id >> 16);
  return true;
}

constexpr uint16_t TwoCc(char a, char b) {
  return static_cast<uint16_t>(static_cast<uint8_t>(a) | static_cast<uint8_t>(b) << 8);
}

struct Streams {
  int VideoStreams = 0;
  uint32_t VideoStream = 0;
  const uint8_t* StreamHeader = nullptr;
  const uint8_t* Bitmap = nullptr;
  uint32_t BitmapBytes = 0;
};

AviClipFault ReadStreamList(const std::vector<uint8_t>& hdrl, size_t at, size_t end,
                            uint32_t number, Streams& s) {
  const uint8_t* strh = nullptr;
  uint32_t strhSize = 0;
  const uint8_t* strf = nullptr;
  uint32_t strfSize = 0;
  while (at + 8 <= end) {
    const uint32_t id = GetLe32(&hdrl[at]);
    const uint32_t size = GetLe32(&hdrl[at + 4]);
    if (size > end - at - 8) return AviClipFault::Truncated;
    if (id == kFourccStrh && !strh) strh = &hdrl[at + 8], strhSize = size;
    if (id == kFourccStrf && !strf) strf = &hdrl[at + 8], strfSize = size;
    at += 8 + size + (size & 1);
  }
  if (!strh || strhSize < kStreamHeaderBytes || !strf) return AviClipFault::BadHeader;
  const uint32_t type = GetLe32(strh);
  if (type == kFourccAuds && strfSize < kWaveFormatBytes) return AviClipFault::BadHeader;
  if (type != kFourccVids) return AviClipFault::None;
  if (strfSize < kBitmapHeaderBytes) return AviClipFault::BadHeader;
  if (++s.VideoStreams == 1) {
    s.VideoStream = number;
    s.StreamHeader = strh;
    s.Bitmap = strf;
    s.BitmapBytes = strfSize;
  }
  return AviClipFault::None;
}

AviClipFault ReadHeaderList(const std::vector<uint8_t>& hdrl, AviClipInfo& info, Streams& s) {
  size_t at = 4;  // after the list type
  bool mainHeader = false;
  uint32_t number = 0;
  while (at + 8 <= hdrl.size()) {
    const uint32_t id = GetLe32(&hdrl[at]);
    const uint32_t size = GetLe32(&hdrl[at + 4]);
    if (size > hdrl.size() - at - 8) return AviClipFault::Truncated;
    const size_t data = at + 8;
    if (id == kFourccAvih) {
      if (size < kMainHeaderBytes) return AviClipFault::BadHeader;
      info.HeaderFrames = GetLe32(&hdrl[data + 16]);
      mainHeader = true;
    } else if (id == kFourccList && size >= 4 && GetLe32(&hdrl[data]) == kFourccStrl) {
      const AviClipFault f = ReadStreamList(hdrl, data + 4, data + size, number++, s);
      if (f != AviClipFault::None) return f;
    }
    at = data + size + (size & 1);
  }
  if (!mainHeader) return AviClipFault::BadHeader;
  if (s.VideoStreams == 0) return AviClipFault::NoVideoStream;
  if (s.VideoStreams > 1) return AviClipFault::SeveralVideoStreams;
  return AviClipFault::None;
}

// The bytes of one frame when the format fixes them; 0 for compressed formats.
AviClipFault CheckBitmap(const Streams& s, AviClipInfo& info, uint64_t& frameBytes) {
  const uint8_t* b = s.Bitmap;
  const int32_t width = static_cast<int32_t>(GetLe32(b + 4));
  const int32_t height = static_cast<int32_t>(GetLe32(b + 8));
  const uint16_t planes = GetLe16(b + 12);
  info.BitCount = GetLe16(b + 14);
  info.Compression = GetLe32(b + 16);
  const uint32_t sizeImage = GetLe32(b + 20);
  const uint32_t coloursUsed = GetLe32(b + 32);
  info.Handler = GetLe32(s.StreamHeader + 4);
  if (width <= 0 || height == 0 || height == INT32_MIN) return AviClipFault::BadGeometry;
  info.Width = static_cast<uint32_t>(width);
  info.Height = static_cast<uint32_t>(height < 0 ? -height : height);
  info.TopDown = height < 0;
  if (info.Width > kMaxPictureSide || info.Height > kMaxPictureSide || planes != 1)
    return AviClipFault::BadGeometry;

  frameBytes = 0;
  if (info.Compression == kBiRgb) {
    const uint16_t bits = info.BitCount;
    if (bits != 8 && bits != 16 && bits != 24 && bits != 32) return AviClipFault::UnsupportedFormat;
    // Eight-bit pictures carry their colours after the header.
    const uint32_t colours = coloursUsed ? coloursUsed : 256;
    if (bits == 8 && (colours > 256 || s.BitmapBytes < kBitmapHeaderBytes + 4 * colours))
      return AviClipFault::BadHeader;
    frameBytes = uint64_t{(info.Width * bits + 31) / 32 * 4} * info.Height;
  } else if (info.Compression == kFourccYvu9 ||
             info.Compression == MakeFourcc('y', 'v', 'u', '9')) {
    if (info.TopDown ||
        !IsYvu9Geometry(static_cast<int>(info.Width), static_cast<int>(info.Height)))
      return AviClipFault::BadGeometry;
    frameBytes = Yvu9FrameBytes(static_cast<int>(info.Width), static_cast<int>(info.Height));
  }
  if (frameBytes && sizeImage && sizeImage != frameBytes) return AviClipFault::FrameSizeMismatch;
  return AviClipFault::None;
}

// Counts the video frames of the frame list, descending into "rec " lists.
AviClipFault ScanFrames(ClipByteSource& file, uint64_t at, uint64_t end, uint32_t stream,
                        uint64_t frameBytes, uint32_t& frames, bool inRecord = false) {
  while (at + 8 <= end) {
    Chunk c;
    if (!ReadChunk(file, at, end, c) || !FitsIn(c, end)) return AviClipFault::Truncated;
    // Records hold chunks, never further records: one level down at most.
    if (c.Id == kFourccList && c.ListType == kFourccRec && !inRecord) {
      const AviClipFault f =
          ScanFrames(file, c.Data() + 4, c.Data() + c.Size, stream, frameBytes, frames, true);
      if (f != AviClipFault::None) return f;
    } else {
      uint16_t type = 0;
      if (IsStreamChunk(c.Id, stream, type) &&
          (type == TwoCc('d', 'b') || type == TwoCc('d', 'c'))) {
        if (frameBytes && c.Size != frameBytes) return AviClipFault::FrameSizeMismatch;
        ++frames;
      }
    }
    at = c.End();
  }
  return AviClipFault::None;
}

// Index offsets count from the frame list's "movi" code or, in some writers' files, from
// the start of the file; the first entry tells which.
AviClipFault CheckIndex(ClipByteSource& file, const Chunk& idx1, const Chunk& movi) {
  const uint32_t entries = idx1.Size / 16;
  const uint64_t moviCode = movi.Data();
  const uint64_t moviEnd = movi.Data() + movi.Size;
  std::vector<uint8_t> block;
  uint64_t base = 0;
  constexpr uint32_t kBlockEntries = 4096;
  for (uint32_t first = 0; first < entries; first += kBlockEntries) {
    const uint32_t n = entries - first < kBlockEntries ? entries - first : kBlockEntries;
    block.resize(size_t{n} * 16);
    if (!file.ReadAt(idx1.Data() + uint64_t{first} * 16, block.data(), block.size()))
      return AviClipFault::Truncated;
    for (uint32_t i = 0; i < n; ++i) {
      const uint8_t* e = &block[size_t{i} * 16];
      const uint32_t id = GetLe32(e);
      const uint64_t offset = GetLe32(e + 8);
      const uint64_t size = GetLe32(e + 12);
      if (first + i == 0) {
        uint8_t code[4];
        if (moviCode + offset + 4 <= moviEnd && file.ReadAt(moviCode + offset, code, 4) &&
            GetLe32(code) == id)
          base = moviCode;
      }
      const uint64_t at = base + offset;
      if (at < moviCode + 4 || at + 8 + size > moviEnd) return AviClipFault::IndexOutside;
    }
  }
  return AviClipFault::None;
}

}  // namespace

AviClipFault CheckAviClip(ClipByteSource& file, AviClipInfo& info) {
  info = AviClipInfo{};
  const uint64_t fileSize = file.Size();
  Chunk riff;
  if (!ReadChunk(file, 0, fileSize, riff) || riff.Id != kFourccRiff || riff.ListType != kFourccAvi)
    return AviClipFault::NotAvi;
  const uint64_t riffEnd = riff.Data() + riff.Size;
  if (riffEnd > fileSize) return AviClipFault::Truncated;

  std::vector<uint8_t> hdrl;
  Chunk movi, idx1;
  bool haveMovi = false, haveIdx1 = false;
  for (uint64_t at = riff.Data() + 4; at + 8 <= riffEnd;) {
    Chunk c;
    if (!ReadChunk(file, at, riffEnd, c) || !FitsIn(c, riffEnd)) return AviClipFault::Truncated;
    if (c.Id == kFourccList && c.ListType == kFourccHdrl && hdrl.empty()) {
      if (c.Size > kMaxHeaderListBytes) return AviClipFault::BadHeader;
      hdrl.resize(c.Size);
      if (!file.ReadAt(c.Data(), hdrl.data(), hdrl.size())) return AviClipFault::Truncated;
    } else if (c.Id == kFourccList && c.ListType == kFourccMovi && !haveMovi) {
      movi = c;
      haveMovi = true;
    } else if (c.Id == kFourccIdx1 && !haveIdx1) {
      idx1 = c;
      haveIdx1 = true;
    }
    at = c.End();
  }
  if (hdrl.empty()) return AviClipFault::BadHeader;

  Streams streams;
  AviClipFault fault = ReadHeaderList(hdrl, info, streams);
  if (fault != AviClipFault::None) return fault;
  uint64_t frameBytes = 0;
  fault = CheckBitmap(streams, info, frameBytes);
  if (fault != AviClipFault::None) return fault;

  if (!haveMovi) return AviClipFault::NoFrames;
  fault = ScanFrames(file, movi.Data() + 4, movi.Data() + movi.Size, streams.VideoStream,
                     frameBytes, info.FileFrames);
  if (fault != AviClipFault::None) return fault;
  if (info.HeaderFrames == 0 || info.FileFrames == 0) return AviClipFault::NoFrames;
  if (info.FileFrames < info.HeaderFrames) return AviClipFault::FramesMissing;
  if (haveIdx1) return CheckIndex(file, idx1, movi);
  return AviClipFault::None;
}
