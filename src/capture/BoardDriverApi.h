// What the program expects of the board's kernel driver: the device it opens, the one
// control code it sends, and the status block whose address that code returns. The
// driver (or the simulated board standing in for it) implements this.
#pragma once

#include <cstddef>
#include <cstdint>

inline constexpr char kBoardDriverName[] = "\\\\.\\KORDEX";

// Answers with the status block's address in the first pointer-sized word of the output.
inline constexpr uint32_t kBoardDriverStatusBlockCode = 11;
inline constexpr uint32_t kBoardDriverInputBytes = 4;  // contents not significant
inline constexpr uint32_t kBoardDriverOutputBytes = 128;

// The status block: a 32-bit little-endian word at kDriverStatusWordOffset, whose field
// bit changes state at every vertical sync; the block reaches past that word.
inline constexpr size_t kDriverStatusWordOffset = 0x200418;
inline constexpr uint32_t kDriverStatusFieldBit = 1u << 24;
inline constexpr size_t kDriverStatusBlockSize = 0x200420;
static_assert(kDriverStatusWordOffset % sizeof(uint32_t) == 0);
static_assert(kDriverStatusWordOffset + sizeof(uint32_t) <= kDriverStatusBlockSize);
