#include "sim/SimScenario.h"

#include <cctype>

namespace {

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
  for (size_t i = 0; i < kVideoStandards.size(); ++i) {
    if (EqualsIgnoringCase(name, kVideoStandards[i].Name)) return static_cast<int>(i);
  }
  if (EqualsIgnoringCase(name, "none")) return kNoSource;
  return std::nullopt;
}

const char* SourceStandardName(int standard) {
  return IsValidVideoStandard(standard) ? VideoStandardName(standard) : "none";
}
