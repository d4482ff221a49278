// SZDD expander. Every read is bounds-checked against the input, and the
// output never grows past the declared length nor past what the input can
// produce: a group of eight references (17 bytes) yields at most 144 bytes.

#include "szdd.h"

#include <algorithm>
#include <cstring>

namespace szdd {

Status expand(const std::uint8_t* in, std::size_t size, std::vector<std::uint8_t>& out) {
    out.clear();
    const std::size_t magic_bytes = std::min<std::size_t>(size, 8);
    if (magic_bytes && std::memcmp(in, kMagic, magic_bytes) != 0) return Status::bad_magic;
    if (size < kHeaderSize) return Status::short_header;
    if (in[8] != 'A') return Status::bad_mode;
    const std::uint64_t declared = std::uint64_t(in[10]) | std::uint64_t(in[11]) << 8 |
                                   std::uint64_t(in[12]) << 16 | std::uint64_t(in[13]) << 24;

    const std::size_t stream = size - kHeaderSize;
    const std::uint64_t can_produce = (std::uint64_t(stream) / 17 + 1) * 144;
    out.reserve(static_cast<std::size_t>(std::min(declared, can_produce)));

    std::uint8_t window[kWindowSize];
    std::memset(window, ' ', sizeof window);
    std::size_t w = kFirstWrite;
    std::size_t p = kHeaderSize;

    while (out.size() < declared) {
        if (p >= size) return Status::stream_too_short;
        unsigned flags = in[p++];
        for (int bit = 0; bit < 8 && out.size() < declared; ++bit, flags >>= 1) {
            if (flags & 1) {
                if (p >= size) return Status::stream_too_short;
                std::uint8_t c = in[p++];
                out.push_back(c);
                window[w] = c;
                w = (w + 1) & (kWindowSize - 1);
            } else {
                if (size - p < 2) return Status::stream_too_short;
                std::size_t pos = in[p] | ((in[p + 1] & 0xF0u) << 4);
                std::size_t len = (in[p + 1] & 0x0Fu) + kMinMatch;
                p += 2;
                for (std::size_t k = 0; k < len; ++k) {
                    if (out.size() == declared) return Status::stream_too_long;
                    std::uint8_t c = window[(pos + k) & (kWindowSize - 1)];
                    out.push_back(c);
                    window[w] = c;
                    w = (w + 1) & (kWindowSize - 1);
                }
            }
        }
    }
    return p == size ? Status::ok : Status::stream_too_long;
}

const char* describe(Status status) {
    switch (status) {
    case Status::ok: return "ok";
    case Status::short_header: return "file too short for an SZDD header (14 bytes)";
    case Status::bad_magic: return "not an SZDD file (wrong signature)";
    case Status::bad_mode: return "unsupported compression mode (only 'A' is known)";
    case Status::stream_too_short:
        return "compressed data ends before the expanded length is reached (truncated file?)";
    case Status::stream_too_long:
        return "compressed data goes on past the expanded length";
    }
    return "unknown error";
}

}  // namespace szdd
