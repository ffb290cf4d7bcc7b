// The file names capture works with, and the renumbering of still names.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Name fields hold 256 bytes with the terminator. The Set Capture File dialog reads its
// names back through a 255-byte buffer, so a generated name stays within 254 characters
// to come through that dialog unchanged.
constexpr size_t kCaptureNameCapacity = 256;
constexpr size_t kCaptureNameMax = kCaptureNameCapacity - 2;

inline constexpr char kDefaultStillFileName[] = "c:\\capture.bmp";
inline constexpr char kDefaultAviFileName[] = "c:\\capture.avi";
inline constexpr char kRawCaptureFileName[] = "c:\\temp.avi";

// The still name for `counter`: the last seven characters of `name` (the three digits and
// ".bmp" of a numbered name) replaced by the counter, zero-padded to at least three
// digits, and ".bmp". A name shorter than seven characters is replaced as a whole.
// Past 999 the digits outgrow the cut, so the name grows a character each time; nullopt
// when it would pass kCaptureNameMax characters.
std::optional<std::string> NumberedStillName(std::string_view name, uint32_t counter);

// Numbered names switched on in the Set Capture File dialog: the last four characters
// (".bmp") replaced by the counter and ".bmp". nullopt when the result would pass
// kCaptureNameMax characters.
std::optional<std::string> NumberStillName(std::string_view name, uint32_t counter);

// Numbered names switched off: the last seven characters replaced by ".bmp".
std::string UnnumberStillName(std::string_view name);

// After a still capture with numbered names on: adds 1 to `counter` and renumbers `name`
// (NUL-terminated within its field). When the new name would not fit, neither changes and
// the result is false: later captures then reuse the last name.
bool AdvanceNumberedStillName(char (&name)[kCaptureNameCapacity], uint32_t& counter);
