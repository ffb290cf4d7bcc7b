#include "capture/CaptureNames.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

constexpr size_t kNumberedTailLength = 7;  // "001.bmp"
constexpr size_t kExtensionLength = 4;     // ".bmp"

// `name` without its last `cut` characters (never cut below its start), then `tail`.
std::string ReplaceTail(std::string_view name, size_t cut, std::string_view tail) {
  std::string next(name.substr(0, name.size() > cut ? name.size() - cut : 0));
  next += tail;
  return next;
}

std::optional<std::string> NumberedTail(std::string_view name, size_t cut, uint32_t counter) {
  char tail[24];
  std::snprintf(tail, sizeof tail, "%03u.bmp", static_cast<unsigned>(counter));
  std::string next = ReplaceTail(name, cut, tail);
  if (next.size() > kCaptureNameMax) return std::nullopt;
  return next;
}

}  // namespace

std::optional<std::string> NumberedStillName(std::string_view name, uint32_t counter) {
  return NumberedTail(name, kNumberedTailLength, counter);
}

std::optional<std::string> NumberStillName(std::string_view name, uint32_t counter) {
  return NumberedTail(name, kExtensionLength, counter);
}

std::string UnnumberStillName(std::string_view name) {
  return ReplaceTail(name, kNumberedTailLength, ".bmp");
}

bool AdvanceNumberedStillName(char (&name)[kCaptureNameCapacity], uint32_t& counter) {
  const auto length =
      static_cast<size_t>(std::find(name, name + kCaptureNameCapacity, '\0') - name);
  const std::string_view current(name, length);
  const auto next = NumberedStillName(current, counter + 1);
  if (!next) return false;
  std::memcpy(name, next->c_str(), next->size() + 1);
  ++counter;
  return true;
}
