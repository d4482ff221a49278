// libFuzzer target: whatever the input, both parses expand back to it and
// the optimal one is never larger than the greedy one.

#include "szdd.h"

#include <cstdlib>
#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::uint8_t> best = szdd::compress(data, size);
    std::vector<std::uint8_t> greedy = szdd::compress(data, size, szdd::Parse::greedy);
    if (best.size() > greedy.size()) std::abort();
    for (const auto* c : {&best, &greedy}) {
        std::vector<std::uint8_t> out;
        if (szdd::expand(c->data(), c->size(), out) != szdd::Status::ok) std::abort();
        if (out.size() != size || (size && std::memcmp(out.data(), data, size) != 0)) std::abort();
    }
    return 0;
}
