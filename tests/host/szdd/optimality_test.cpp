// The compressor must write the smallest container the format allows. The
// reference here knows nothing of the compressor's match model: it runs
// every possible reference (each of the 4096 window slots, lengths 3..18)
// through a step-by-step model of the decoder's ring window, keeps those that
// reproduce the data, and finds the least total byte count by a search over
// (position, items so far mod 8), so that the flag byte of a final partial
// group is counted exactly as the stream spends it.

#include "szdd.h"
#include "test_data.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <climits>

using namespace szdd_test;

namespace {

// valid[i] bit L is set when some reference of length L at output position
// i reproduces data[i..i+L).
std::vector<std::uint32_t> valid_references(const Bytes& d) {
    const std::size_t n = d.size();
    std::vector<std::uint32_t> valid(n, 0);
    std::array<std::uint8_t, 4096> win;
    win.fill(' ');
    std::size_t w = 4080;
    for (std::size_t i = 0; i < n; ++i) {
        for (std::size_t slot = 0; slot < 4096; ++slot) {
            // Run the copy as the decoder would, undoing its writes after.
            std::uint8_t saved[18];
            std::size_t k = 0;
            while (k < 18 && i + k < n) {
                std::uint8_t c = win[(slot + k) % 4096];
                if (c != d[i + k]) break;
                saved[k] = win[(w + k) % 4096];
                win[(w + k) % 4096] = c;
                ++k;
                if (k >= 3) valid[i] |= 1u << k;
            }
            while (k-- > 0) win[(w + k) % 4096] = saved[k];
        }
        win[w] = d[i];
        w = (w + 1) % 4096;
    }
    return valid;
}

std::size_t smallest_container(const Bytes& d) {
    const std::size_t n = d.size();
    std::vector<std::uint32_t> valid = valid_references(d);
    // best[i][r]: fewest stream bytes for data[0..i) written as items whose
    // count is r mod 8. An item at r == 0 opens a new group (a flag byte).
    std::vector<std::array<std::size_t, 8>> best(n + 1);
    for (auto& b : best) b.fill(SIZE_MAX);
    best[0][0] = 0;
    for (std::size_t i = 0; i < n; ++i) {
        for (unsigned r = 0; r < 8; ++r) {
            if (best[i][r] == SIZE_MAX) continue;
            std::size_t base = best[i][r] + (r == 0 ? 1 : 0);
            auto relax = [&](std::size_t to, std::size_t cost) {
                best[to][(r + 1) % 8] = std::min(best[to][(r + 1) % 8], cost);
            };
            relax(i + 1, base + 1);
            for (unsigned L = 3; L <= 18; ++L)
                if (valid[i] & (1u << L)) relax(i + L, base + 2);
        }
    }
    return szdd::kHeaderSize + *std::min_element(best[n].begin(), best[n].end());
}

void expect_optimal(const Bytes& d) {
    Bytes c = szdd::compress(d.data(), d.size());
    Bytes back;
    ASSERT_EQ(szdd::expand(c.data(), c.size(), back), szdd::Status::ok);
    ASSERT_EQ(back, d);
    ASSERT_EQ(c.size(), smallest_container(d))
        << "input of " << d.size() << " bytes: " << std::string(d.begin(), d.begin() + std::min<std::size_t>(d.size(), 60));
}

// Every string of each length up to max_len over the alphabet.
void for_all_strings(const std::string& alphabet, std::size_t max_len, void (*check)(const Bytes&)) {
    for (std::size_t len = 0; len <= max_len; ++len) {
        std::vector<std::size_t> digit(len, 0);
        for (;;) {
            Bytes d(len);
            for (std::size_t k = 0; k < len; ++k) d[k] = static_cast<std::uint8_t>(alphabet[digit[k]]);
            check(d);
            if (::testing::Test::HasFatalFailure()) return;
            std::size_t k = 0;
            while (k < len && ++digit[k] == alphabet.size()) digit[k++] = 0;
            if (k == len) break;
        }
    }
}

TEST(SzddOptimality, EveryShortStringOverBlankAndOneLetter) { for_all_strings(" a", 12, expect_optimal); }

TEST(SzddOptimality, EveryShortStringOverBlankAndTwoLetters) { for_all_strings(" ab", 8, expect_optimal); }

TEST(SzddOptimality, RandomShortInputsWithRuns) {
    std::mt19937 rng(1234);
    for (int round = 0; round < 400; ++round) {
        std::string alphabet = std::string(" abc\0", 5).substr(0, 2 + rng() % 4);
        std::size_t len = 8 + rng() % 48;
        Bytes d;
        while (d.size() < len) d.insert(d.end(), 1 + rng() % (rng() % 4 == 0 ? 24 : 3), alphabet[rng() % alphabet.size()]);
        d.resize(len);
        expect_optimal(d);
        if (HasFatalFailure()) return;
    }
}

// Longer than the window: the blanks the window starts with get
// overwritten, references reach exactly 4096 back, and the write position
// wraps around.
TEST(SzddOptimality, InputsLongerThanTheWindow) {
    std::mt19937 rng(99);
    for (int round = 0; round < 3; ++round) {
        Bytes d = random_bytes(4090 + round * 7, 500 + round, 2);
        for (auto& c : d) c = c ? 'a' : 'b';
        for (std::size_t k = 0; k < 5; ++k) d[rng() % d.size()] = ' ';
        Bytes head(d.begin(), d.begin() + 60);
        d.insert(d.end(), head.begin(), head.end());  // a repeat 4096+ back
        d.insert(d.end(), 30, ' ');                   // blanks no longer in the window
        d.insert(d.end(), {'a', 'b', 'b', 'a', 'b', ' ', ' ', 'a'});
        expect_optimal(d);
    }
}

// The match finder against a plain search over every distance, on larger
// and more varied data than the exhaustive tests can afford.
TEST(SzddOptimality, LongestMatchesAgreeWithPlainSearch) {
    std::vector<Bytes> inputs = {mixed_bytes(30000, 7), random_bytes(12000, 8, 3)};
    Bytes periodic = random_bytes(4096, 9);
    for (std::size_t period : {4095, 4096, 4097}) {  // around the window size
        Bytes p;
        while (p.size() < 13000)
            for (std::size_t k = 0; k < period; ++k) p.push_back(periodic[k % 4096]);
        inputs.push_back(p);
    }
    for (const Bytes& d : inputs) {
        std::vector<std::uint8_t> got = szdd::longest_matches(d.data(), d.size());
        Bytes h(4096, ' ');
        h.insert(h.end(), d.begin(), d.end());
        for (std::size_t i = 0; i < d.size(); ++i) {
            std::size_t p = 4096 + i, limit = std::min<std::size_t>(18, d.size() - i), longest = 0;
            for (std::size_t dist = 1; dist <= 4096 && longest < limit; ++dist) {
                std::size_t len = 0;
                while (len < limit && h[p - dist + len] == h[p + len]) ++len;
                longest = std::max(longest, len);
            }
            if (longest < 3) longest = 0;
            ASSERT_EQ(got[i], longest) << "position " << i << " of " << d.size();
        }
        ASSERT_EQ(szdd::longest_matches(d.data(), d.size(), true), got) << "64-bit positions";
        // Slices searched apart, some shorter than the window.
        for (std::size_t slice : {5000, 3000, 777})
            ASSERT_EQ(szdd::longest_matches(d.data(), d.size(), false, slice), got) << "slices of " << slice;
    }
}

TEST(SzddOptimality, NeverLargerThanGreedy) {
    for (const Bytes& d : {mixed_bytes(50000, 3), random_bytes(5000, 4, 4), Bytes(10000, ' ')}) {
        EXPECT_LE(szdd::compress(d.data(), d.size()).size(),
                  szdd::compress(d.data(), d.size(), szdd::Parse::greedy).size());
    }
}

}  // namespace
