// Containers the compressor writes: exact header, and expansion gives the
// input back, for the shapes of data that stress an LZSS coder.

#include "szdd.h"
#include "test_data.h"

#include <gtest/gtest.h>


using namespace szdd_test;

namespace {

Bytes round_trip(const Bytes& d, szdd::Parse parse = szdd::Parse::optimal) {
    Bytes c = szdd::compress(d.data(), d.size(), parse);
    Bytes back;
    EXPECT_EQ(szdd::expand(c.data(), c.size(), back), szdd::Status::ok);
    EXPECT_EQ(back.size(), d.size());
    EXPECT_TRUE(back == d);
    return c;
}

TEST(SzddRoundTrip, HeaderFields) {
    Bytes d(70000, 'q');
    Bytes c = szdd::compress(d.data(), d.size());
    ASSERT_GE(c.size(), 14u);
    EXPECT_EQ(Bytes(c.begin(), c.begin() + 10),
              (Bytes{'S', 'Z', 'D', 'D', 0x88, 0xF0, 0x27, 0x33, 'A', 0x00}));
    EXPECT_EQ(Bytes(c.begin() + 10, c.begin() + 14), (Bytes{0x70, 0x11, 0x01, 0x00}));  // 70000
}

TEST(SzddRoundTrip, EmptyAndTinyInputs) {
    EXPECT_EQ(round_trip({}).size(), 14u);  // header only, no flag byte
    EXPECT_EQ(round_trip({'x'}).size(), 16u);
    EXPECT_EQ(round_trip({' '}).size(), 16u);
    for (std::size_t n = 2; n < 40; ++n) round_trip(random_bytes(n, static_cast<std::uint32_t>(n)));
}

// The window starts as blanks, so blank runs compress from the first byte,
// well before anything was written; runs longer than the window also need
// references that overlap the bytes they are writing.
TEST(SzddRoundTrip, BlankRuns) {
    for (std::size_t n : {3u, 17u, 18u, 19u, 4079u, 4080u, 4096u, 4097u, 10000u, 100000u}) {
        Bytes c = round_trip(Bytes(n, ' '));
        // One reference per 18 blanks, 8 references per 17-byte group.
        std::size_t refs = (n + 17) / 18;
        EXPECT_LE(c.size(), 14 + 2 * refs + (refs + 7) / 8 + 2) << n;
    }
}

TEST(SzddRoundTrip, RepetitiveData) {
    round_trip(Bytes(50000, 0));
    round_trip(bytes(std::string(3000, 'a') + std::string(3000, ' ') + std::string(3000, 'a')));
    Bytes pattern;
    for (int k = 0; k < 20000; ++k) pattern.push_back(static_cast<std::uint8_t>("ab c"[k % 4]));
    round_trip(pattern);
    // Periods around the window size: matches exactly 4096 back.
    for (std::size_t period : {4095u, 4096u, 4097u}) {
        Bytes block = random_bytes(period, 77), d;
        for (int k = 0; k < 3; ++k) d.insert(d.end(), block.begin(), block.end());
        Bytes c = round_trip(d);
        if (period <= 4096) EXPECT_LT(c.size(), period + period / 2) << period;
    }
}

TEST(SzddRoundTrip, RandomAndMixedData) {
    for (std::uint32_t seed = 1; seed <= 5; ++seed) {
        round_trip(random_bytes(20000 + seed * 1111, seed));
        round_trip(random_bytes(20000, seed, 4));
        round_trip(mixed_bytes(60000, seed));
        round_trip(mixed_bytes(30000, seed), szdd::Parse::greedy);
    }
    // Incompressible data costs at most one flag byte per eight bytes (the
    // odd chance 3-byte match saves a little).
    Bytes r = random_bytes(80000, 42);
    std::size_t size = round_trip(r).size();
    EXPECT_LE(size, 14u + 80000u + 10000u);
    EXPECT_GT(size, 14u + 80000u + 9900u);
}

TEST(SzddRoundTrip, RealFiles) {
    auto files = real_files();
    EXPECT_GT(files.size(), 1u) << "no payload files found in " SZDD_PAYLOAD_DIR;
    for (const auto& [name, data] : files) {
        SCOPED_TRACE(name);
        Bytes c = round_trip(data);
        if (name == "test program") EXPECT_LT(c.size(), data.size() * 3 / 4);
    }
}

}  // namespace
