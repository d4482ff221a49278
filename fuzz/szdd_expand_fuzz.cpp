// libFuzzer target: the SZDD expander on arbitrary bytes, both as a whole
// file and as a stream behind a valid header, so that the fuzzer spends its
// time in the LZSS decoding rather than on the signature.

#include "szdd.h"

#include <cstdlib>
#include <vector>

namespace {

void check(const std::uint8_t* in, std::size_t size) {
    std::vector<std::uint8_t> out;
    szdd::Status s = szdd::expand(in, size, out);
    if (size < szdd::kHeaderSize) {
        if (!out.empty()) std::abort();
        return;
    }
    const std::uint64_t declared = std::uint64_t(in[10]) | std::uint64_t(in[11]) << 8 |
                                   std::uint64_t(in[12]) << 16 | std::uint64_t(in[13]) << 24;
    if (out.size() > declared) std::abort();
    if ((s == szdd::Status::ok || s == szdd::Status::stream_too_long) && out.size() != declared) std::abort();
    // Nothing can expand to more than 144 bytes per 17 bytes of stream.
    if (out.size() > (size / 17 + 1) * 144) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    check(data, size);
    if (size >= 2) {
        // First two bytes: declared length; the rest: the stream.
        std::vector<std::uint8_t> c(szdd::kMagic, szdd::kMagic + 8);
        std::uint32_t declared = (data[0] | data[1] << 8) * 3u;
        c.insert(c.end(), {'A', 0, std::uint8_t(declared), std::uint8_t(declared >> 8),
                           std::uint8_t(declared >> 16), 0});
        c.insert(c.end(), data + 2, data + size);
        check(c.data(), c.size());
    }
    return 0;
}
