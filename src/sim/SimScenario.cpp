#include "sim/SimScenario.h"

#include <array>
#include <cctype>

namespace {

constexpr std::array<const char*, 7> kNames = {
    "NTSC-M", "NTSC-N", "NTSC-4.43", "PAL-BGHI", "PAL-M", "PAL-N", "PAL-4.43",
};

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::toupper(static_cast<unsigned char>(a[i])) !=
        std::toupper(static_cast<unsigned char>(b[i])))
      return false;
  }
  return true;
}

}  // namespace

std::optional<int> ParseSourceStandard(std::string_view name) {
  for (size_t i = 0; i < kNames.size(); ++i) {
    if (EqualsIgnoringCase(name, kNames[i])) return static_cast<int>(i);
  }
  if (EqualsIgnoringCase(name, "none")) return kNoSource;
  return std::nullopt;
}

const char* SourceStandardName(int standard) {
  if (standard >= 0 && standard < static_cast<int>(kNames.size())) return kNames[standard];
  return "none";
}
