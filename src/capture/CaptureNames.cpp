#include "capture/CaptureNames.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

constexpr size_t kNumberedTailLength = 7;  // "001.bmp"

}  // namespace

std::optional<std::string> NumberedStillName(std::string_view name, uint32_t counter) {
  const size_t keep = name.size() > kNumberedTailLength ? name.size() - kNumberedTailLength : 0;
  char tail[24];
  std::snprintf(tail, sizeof tail, "%03u.bmp", static_cast<unsigned>(counter));
  std::string next(name.substr(0, keep));
  next += tail;
  if (next.size() > kCaptureNameMax) return std::nullopt;
  return next;
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
