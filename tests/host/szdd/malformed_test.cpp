// The expander against containers that are damaged or lie about their size:
// a clear status, never a crash, and memory bounded by the input.

#include "szdd.h"
#include "test_data.h"

#include <gtest/gtest.h>

using namespace szdd_test;
using szdd::Status;

namespace {

Status expand(const Bytes& c, Bytes& out) { return szdd::expand(c.data(), c.size(), out); }

Bytes with_length(Bytes c, std::uint32_t len) {
    for (int k = 0; k < 4; ++k) c[10 + k] = static_cast<std::uint8_t>(len >> (8 * k));
    return c;
}

const Bytes kData = mixed_bytes(9000, 5);
const Bytes kContainer = szdd::compress(kData.data(), kData.size());

TEST(SzddMalformed, HeaderProblems) {
    Bytes out{1, 2, 3};
    EXPECT_EQ(szdd::expand(nullptr, 0, out), Status::short_header);
    EXPECT_TRUE(out.empty());
    EXPECT_EQ(expand(Bytes(kContainer.begin(), kContainer.begin() + 13), out), Status::short_header);
    EXPECT_EQ(expand(bytes("SZ"), out), Status::short_header);
    EXPECT_EQ(expand(bytes("MZ"), out), Status::bad_magic);
    for (std::size_t k = 0; k < 8; ++k) {
        Bytes c = kContainer;
        c[k] ^= 0x01;
        EXPECT_EQ(expand(c, out), Status::bad_magic) << k;
    }
    for (std::uint8_t mode : {0x42, 0x43, 0x61, 0x00}) {
        Bytes c = kContainer;
        c[8] = mode;
        EXPECT_EQ(expand(c, out), Status::bad_mode) << mode;
    }
    // The missing-character byte does not matter for expansion.
    Bytes c = kContainer;
    c[9] = 'x';
    EXPECT_EQ(expand(c, out), Status::ok);
    EXPECT_EQ(out, kData);
}

// Cutting a container anywhere gives a stream that ends too early (in a
// flag byte, a literal or halfway through a reference), and what was
// expanded until then is a prefix of the original.
TEST(SzddMalformed, TruncatedAnywhere) {
    Bytes out;
    for (std::size_t cut = 14; cut < kContainer.size(); ++cut) {
        Bytes c(kContainer.begin(), kContainer.begin() + cut);
        ASSERT_EQ(expand(c, out), Status::stream_too_short) << cut;
        ASSERT_LT(out.size(), kData.size());
        ASSERT_TRUE(std::equal(out.begin(), out.end(), kData.begin())) << cut;
    }
}

TEST(SzddMalformed, LengthLongerThanTheStream) {
    Bytes out;
    EXPECT_EQ(expand(with_length(kContainer, 9001), out), Status::stream_too_short);
    EXPECT_EQ(out, kData);
    // A huge claim neither allocates it nor reads past the input.
    EXPECT_EQ(expand(with_length(kContainer, 0xFFFFFFFFu), out), Status::stream_too_short);
    EXPECT_EQ(out, kData);
    EXPECT_LT(out.capacity(), 200000u);
    Bytes header_only(kContainer.begin(), kContainer.begin() + 14), nothing;
    EXPECT_EQ(expand(with_length(header_only, 0xFFFFFFFFu), nothing), Status::stream_too_short);
    EXPECT_TRUE(nothing.empty());
    EXPECT_LT(nothing.capacity(), 1000u);
}

TEST(SzddMalformed, LengthShorterThanTheStream) {
    Bytes out;
    for (std::uint32_t len : {0u, 1u, 100u, 8999u}) {
        EXPECT_EQ(expand(with_length(kContainer, len), out), Status::stream_too_long) << len;
        EXPECT_EQ(out, Bytes(kData.begin(), kData.begin() + len)) << len;
    }
    Bytes extra = kContainer;
    extra.push_back(0xFF);
    EXPECT_EQ(expand(extra, out), Status::stream_too_long);
    EXPECT_EQ(out, kData);
}

// A reference whose copy would run past the declared length: 20 blanks as
// one 18-byte reference plus a 3-byte one, declared as 20 bytes.
TEST(SzddMalformed, ReferenceRunsPastTheLength) {
    Bytes c = with_length(Bytes(kContainer.begin(), kContainer.begin() + 14), 20);
    c.insert(c.end(), {0x00, 0x00, 0x0F, 0x00, 0x00});
    Bytes out;
    EXPECT_EQ(expand(c, out), Status::stream_too_long);
    EXPECT_EQ(out, Bytes(20, ' '));
    c = with_length(c, 21);
    EXPECT_EQ(expand(c, out), Status::ok);
    EXPECT_EQ(out, Bytes(21, ' '));
}

// Streams that were never written by a compressor: whatever the bytes, the
// expander stays inside its buffers (run under AddressSanitizer by the
// fuzz targets; here a quick check of statuses and sizes).
TEST(SzddMalformed, ArbitraryStreams) {
    Bytes header(kContainer.begin(), kContainer.begin() + 14);
    for (std::uint32_t seed = 0; seed < 300; ++seed) {
        Bytes c = with_length(header, seed * 37);
        Bytes noise = random_bytes(seed % 200, seed);
        c.insert(c.end(), noise.begin(), noise.end());
        Bytes out;
        Status s = expand(c, out);
        ASSERT_TRUE(s == Status::ok || s == Status::stream_too_short || s == Status::stream_too_long);
        ASSERT_LE(out.size(), seed * 37u);
        if (s == Status::ok) ASSERT_EQ(out.size(), seed * 37u);
    }
}

}  // namespace
