// Reading a clip's RIFF/AVI structure before anything plays it: the headers, the frame
// chunks and the index, checked against each other and against the file's length. The
// platform's player trusts these numbers, and a file that lies about them can bring it
// down; such a file is refused here instead. No platform calls: the Win32 side supplies
// the file through ClipByteSource.
#pragma once

#include <cstddef>
#include <cstdint>

// The clip file, read at any offset. ReadAt succeeds only when all `size` bytes were read.
class ClipByteSource {
 public:
  virtual ~ClipByteSource() = default;
  virtual uint64_t Size() = 0;
  virtual bool ReadAt(uint64_t offset, void* data, size_t size) = 0;
};

enum class AviClipFault {
  None,
  NotAvi,         // no RIFF "AVI " form at the start
  Truncated,      // a chunk runs past the end of the file or of its list
  BadHeader,      // no header list, or a main or stream header too short
  NoVideoStream,  // audio only, or nothing at all
  SeveralVideoStreams,
  UnsupportedFormat,  // a bitmap format the program cannot draw
  BadGeometry,        // zero, negative or huge picture sizes
  FrameSizeMismatch,  // an uncompressed frame of another size than its picture
  NoFrames,           // the header or the file holds no frame
  FramesMissing,      // the header promises more frames than the file holds
  IndexOutside,       // an index entry that points outside the frame list
};

struct AviClipInfo {
  uint32_t Width = 0;
  uint32_t Height = 0;   // rows, whatever their order
  bool TopDown = false;  // a negative bitmap height
  uint16_t BitCount = 0;
  uint32_t Compression = 0;  // the bitmap's biCompression: 0 for uncompressed RGB
  uint32_t Handler = 0;      // the stream header's fccHandler
  uint32_t HeaderFrames = 0;
  uint32_t FileFrames = 0;  // video frame chunks in the frame list
};

// Checks the clip: one RIFF AVI with exactly one video stream in uncompressed RGB (8, 16,
// 24 or 32 bits), YVU9 or a compressed format left to the system's codecs; sizes that
// agree with the bitmap header; at least one frame and all the header promises; every
// index entry inside the frame list. None and the clip's figures, or the first fault.
AviClipFault CheckAviClip(ClipByteSource& file, AviClipInfo& info);
