// The installed DirectX version as the registry's "Version" string gives it,
// e.g. "4.05.00.0616" -> 405 (characters 0, 2 and 3).
#pragma once

#include <cstddef>
#include <optional>

constexpr int kMinimumDirectXVersion = 405;  // DirectX 5

// Reads at most `size` bytes of `text` (which need not be terminated). A string of
// fewer than four characters, or one whose characters 0, 2 and 3 are not digits,
// carries no version.
constexpr std::optional<int> ParseDirectXVersion(const char* text, size_t size) {
  if (text == nullptr) return std::nullopt;
  size_t length = 0;
  while (length < size && text[length] != '\0') ++length;
  if (length < 4) return std::nullopt;
  auto digit = [](char c) { return c >= '0' && c <= '9'; };
  if (!digit(text[0]) || !digit(text[2]) || !digit(text[3])) return std::nullopt;
  return (text[0] - '0') * 100 + (text[2] - '0') * 10 + (text[3] - '0');
}
