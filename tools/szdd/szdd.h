// SZDD containers (mode 'A'): the format behind the Windows LZ expansion
// library (LZInit/LZCopy) and COMPRESS.EXE/EXPAND.EXE.
//
// Layout: "SZDD" 0x88 0xF0 0x27 0x33, mode byte 'A', missing name character,
// expanded length (u32 little-endian), then an LZSS stream over a 4096-byte
// ring window that starts filled with blanks, first write at 4080. Each group
// starts with a flag byte read from bit 0 upward: 1 = one literal byte,
// 0 = two-byte reference (window position b1 | (b2 & 0xF0) << 4, length
// (b2 & 0x0F) + 3). Every output byte, literal or copied, enters the window.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace szdd {

constexpr std::size_t kHeaderSize = 14;
constexpr std::size_t kWindowSize = 4096;
constexpr std::size_t kFirstWrite = kWindowSize - 16;
constexpr std::size_t kMinMatch = 3;
constexpr std::size_t kMaxMatch = 18;
constexpr std::uint64_t kMaxInput = 0xFFFFFFFFu;  // expanded length is a u32
extern const std::uint8_t kMagic[8];

enum class Parse {
    optimal,  // smallest stream the format allows (default)
    greedy,   // longest match at every step; kept for comparison only
};

// Builds a complete container for data[0..size). The stream is exact: it
// expands to precisely `size` bytes and ends where its last item ends.
// Throws std::length_error when size exceeds kMaxInput.
std::vector<std::uint8_t> compress(const std::uint8_t* data, std::size_t size,
                                   Parse parse = Parse::optimal);

enum class Status {
    ok,
    short_header,      // fewer than 14 bytes
    bad_magic,         // not an SZDD container
    bad_mode,          // compression mode other than 'A'
    stream_too_short,  // data ends before the expanded length is reached
    stream_too_long,   // data (or a reference) goes past the expanded length
};

// Expands a container. On ok, `out` holds exactly the declared length.
// stream_too_short leaves in `out` what the stream did produce;
// stream_too_long leaves the declared number of bytes in `out`. Memory use is
// bounded by what the input can produce, whatever the header claims.
Status expand(const std::uint8_t* in, std::size_t size, std::vector<std::uint8_t>& out);

const char* describe(Status status);

// For every position i of data, the longest reference (3..18 bytes, 0 when
// none reaches 3) that a stream could use there, given that the window holds
// the blanks it starts with and data[0..i). Exposed for tests: `wide` forces
// the 64-bit positions otherwise used only for inputs near 4 GiB, and a
// non-zero `slice` sets the length of the independently searched slices.
std::vector<std::uint8_t> longest_matches(const std::uint8_t* data, std::size_t size,
                                          bool wide = false, std::size_t slice = 0);

}  // namespace szdd
