// SZDD compressor: exact longest-match search plus an optimal parse.
//
// Match model. Picture the stream as H = 4096 blanks followed by the data.
// Output byte i lands in window slot (4080 + i) mod 4096, so just before byte
// i is written the window holds exactly H[i .. i+4096) (in H's coordinates,
// where data byte i is H[4096 + i]). A reference to slot s therefore means a
// distance d in 1..4096 back from the write point, and its k-th byte is read
// after k bytes of the same copy were stored, i.e. it yields H[p - d + k]:
// plain LZ77 with overlap over H. The initial blanks are just more history.
//
// Cost model. A literal costs 1 flag bit + 8 bits, a reference 1 + 16 bits,
// whatever its length or distance. With D data bytes and I items, the stream
// is D + ceil(I / 8) bytes (the last, partial group still needs its whole
// flag byte) = ceil((8D + I) / 8) = ceil(bits / 8). ceil is monotone, so a
// parse with the fewest bits also has the fewest bytes: minimising bits is
// exact, rounding included. Items cover the data exactly: no reference runs
// past the end (decoders stop at the expanded length, but not all of them
// are careful about it).
//
// Since the cost does not depend on the length, and a match of length m
// also offers every length 3..m at the same distance, the parse only needs
// the longest match m(i) at each position:
//   cost(i) = min(cost(i+1) + 9, min over L in 3..m(i) of cost(i+L) + 17).

#include "szdd.h"

#include "common/szdd_magic.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <vector>

// libstdc++ built without a thread model (MinGW's win32 variant before
// GCC 13) has no std::thread; the codec then runs its slices one by one.
#if !defined(SZDD_NO_THREADS) && defined(__GLIBCXX__) && !defined(_GLIBCXX_HAS_GTHREADS)
#define SZDD_NO_THREADS
#endif

#ifndef SZDD_NO_THREADS
#include <atomic>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>
#endif

#if defined(__GNUC__)
#define SZDD_ALWAYS_INLINE __attribute__((always_inline)) inline
#elif defined(_MSC_VER)
#define SZDD_ALWAYS_INLINE __forceinline
#else
#define SZDD_ALWAYS_INLINE inline
#endif

namespace szdd {

const std::uint8_t kMagic[8] = {SZDD_MAGIC};

namespace {

// Length of the common prefix of a and b, at most limit. Both buffers must
// stay readable for 7 bytes past limit (H is padded for that).
inline std::size_t common_prefix(const std::uint8_t* a, const std::uint8_t* b, std::size_t len,
                                 std::size_t limit) {
    while (len < limit) {
        std::uint64_t x, y;
        std::memcpy(&x, a + len, 8);
        std::memcpy(&y, b + len, 8);
        if (x != y) {
#if defined(__GNUC__) && defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
            len += static_cast<std::size_t>(__builtin_ctzll(x ^ y)) / 8;
#else
            while (a[len] == b[len]) ++len;
#endif
            return std::min(len, limit);
        }
        len += 8;
    }
    return limit;
}

// Binary-tree match finder over H (a sliding-window suffix tree in the
// style of LZ77 "bt" finders). Positions sharing a 3-byte hash form one
// binary search tree keyed by their next kMaxMatch bytes. Each new position
// becomes the root: the search splits the old tree into the keys below and
// above it, which also visits the closest keys on both sides, and so finds
// the longest match. Nodes are ordered by age (children are always older),
// so reaching a node that fell out of the window ends the walk: everything
// below it is older still. A node whose key equals the new one (to the
// length limit) is replaced by the newer position, which offers the same
// matches from nearer.
//
// Pos is the type of a position in H: 32 bits keeps the tables small and
// in cache; 64 bits only for inputs near the 4 GiB limit.
template <typename Pos>
class MatchFinder {
public:
    // h[0..size) is the buffer (padded by 8 readable bytes); `count`
    // positions of it will be inserted. Small jobs get small tables: the
    // fixed cost matters when many small files are packed.
    MatchFinder(const std::uint8_t* h, std::size_t size, std::size_t count) : h_(h), size_(size) {
        std::size_t bits = 8;
        while (bits < kMaxHashBits && (std::size_t(1) << bits) < count) ++bits;
        hash_shift_ = 32 - static_cast<unsigned>(bits);
        heads_.assign(std::size_t(1) << bits, kNoPos);
        // Every position from p - kWindowSize to p needs its own node slot.
        std::size_t slots = 2;
        while (slots < kMaxSlots && slots <= count) slots *= 2;
        slot_mask_ = slots - 1;
        left_.assign(slots, kNoPos);
        right_.assign(slots, kNoPos);
    }

    // Inserts position p and returns its longest match (length, distance);
    // length 0 when nothing reaches kMinMatch.
    SZDD_ALWAYS_INLINE void insert(Pos p, unsigned& best_len, unsigned& best_dist) {
        best_len = best_dist = 0;
        const std::size_t limit = std::min<std::size_t>(kMaxMatch, size_ - p);
        if (limit < kMinMatch) return;  // nothing can match here or later

        // Locals, so that stores into the tree need not reload the members.
        const std::uint8_t* const h = h_;
        Pos* const left = left_.data();
        Pos* const right = right_.data();
        const std::size_t mask = slot_mask_;
        const std::uint8_t* const cur_bytes = h + p;
        Pos& head = heads_[hash(cur_bytes)];
        Pos cur = head;
        head = p;
        Pos* smaller = &left[p & mask];  // where the next key < p hangs
        Pos* larger = &right[p & mask];  // where the next key > p hangs
        std::size_t len_smaller = 0, len_larger = 0, longest = 0;
        Pos nearest = 0;

        for (;;) {
            if (p - cur > kWindowSize) {  // out of the window, or kNoPos
                *smaller = *larger = kNoPos;
                break;
            }
            const std::uint8_t* cand = h + cur;
            const std::size_t len = common_prefix(cand, cur_bytes, std::min(len_smaller, len_larger), limit);
            const bool longer = len > longest;
            nearest = longer ? cur : nearest;
            longest = longer ? len : longest;
            const std::size_t slot = cur & mask;
            if (len == limit) {  // same key: p takes over cur's children
                *smaller = left[slot];
                *larger = right[slot];
                break;
            }
            if (cand[len] < cur_bytes[len]) {
                *smaller = cur;
                smaller = &right[slot];
                cur = right[slot];
                len_smaller = len;
            } else {
                *larger = cur;
                larger = &left[slot];
                cur = left[slot];
                len_larger = len;
            }
        }
        if (longest >= kMinMatch) {
            best_len = static_cast<unsigned>(longest);
            best_dist = static_cast<unsigned>(p - nearest);
        }
    }

private:
    static constexpr Pos kNoPos = 0;  // positions start far above the window size
    // 2^14 heads (64 KiB) for at most 4097 live positions: few collisions,
    // and together with the nodes the finder stays within the L2 cache.
    static constexpr std::size_t kMaxHashBits = 14;
    // One slot more than the window would do; a power of two keeps it cheap.
    static constexpr std::size_t kMaxSlots = 2 * kWindowSize;

    std::size_t hash(const std::uint8_t* b) const {
        std::uint32_t v = b[0] | (std::uint32_t(b[1]) << 8) | (std::uint32_t(b[2]) << 16);
        return (v * 2654435761u) >> hash_shift_;
    }

    const std::uint8_t* h_;
    std::size_t size_;
    unsigned hash_shift_;
    std::size_t slot_mask_;
    std::vector<Pos> heads_;
    std::vector<Pos> left_;
    std::vector<Pos> right_;
};

// Where the data starts in the buffer the finder works on. Only the last
// 4096 blanks before it are ever in reach; the others keep every inserted
// position far above the window size, so that position 0 can mean "no node"
// and the window check alone ends a walk.
constexpr std::size_t kDataStart = 2 * kWindowSize;

struct Matches {
    std::vector<std::uint8_t> len;    // 0 or 3..18
    std::vector<std::uint16_t> dist;  // 1..4096 where len != 0
};

// The data is searched in slices of this length, each by its own finder
// (on several threads when the machine has them). A slice's finder first
// takes in the 4096 positions before the slice, which is as far back as a
// reference reaches, so the lengths found are exact all the same. Slices
// depend on nothing but the input, so neither does the output.
constexpr std::size_t kSlice = std::size_t(1) << 18;  // 256 KiB: 1.6% spent on the warm-up

// Finds the matches for data offsets [from, to).
template <typename Pos>
void find_in_slice(const std::vector<std::uint8_t>& h, std::size_t size, std::size_t from,
                   std::size_t to, Matches& m) {
    // Positions from kDataStart - 18 on come before the data: the blanks, so
    // that the data can refer to them. Of the positions whose next 18 bytes
    // are all blanks only the newest would stay in the tree (an equal key
    // replaces the older one), so the blanks start at the last of them.
    const std::size_t first = std::max(kDataStart - kMaxMatch, kDataStart + from - kWindowSize);
    MatchFinder<Pos> finder(h.data(), kDataStart + size, kDataStart + to - first);
    unsigned len, dist;
    for (std::size_t p = first; p < kDataStart + from; ++p) finder.insert(static_cast<Pos>(p), len, dist);
    for (std::size_t i = from; i < to; ++i) {
        finder.insert(static_cast<Pos>(kDataStart + i), len, dist);
        m.len[i] = static_cast<std::uint8_t>(len);
        m.dist[i] = static_cast<std::uint16_t>(dist);
    }
}

template <typename Pos>
void find_all(const std::vector<std::uint8_t>& h, std::size_t size, std::size_t slice, Matches& m) {
    const std::size_t slices = (size + slice - 1) / slice;
    auto search = [&](std::size_t k) {
        find_in_slice<Pos>(h, size, k * slice, std::min(size, (k + 1) * slice), m);
    };
#ifndef SZDD_NO_THREADS
    const std::size_t threads = std::min<std::size_t>(slices, std::thread::hardware_concurrency());
    if (threads > 1) {
        std::atomic<std::size_t> next{0};
        std::mutex mutex;
        std::exception_ptr failure;
        auto worker = [&] {
            try {
                for (std::size_t k; (k = next++) < slices;) search(k);
            } catch (...) {
                std::lock_guard<std::mutex> lock(mutex);
                if (!failure) failure = std::current_exception();
            }
        };
        std::vector<std::thread> pool;
        for (std::size_t t = 1; t < threads; ++t) {
            try {
                pool.emplace_back(worker);
            } catch (const std::system_error&) {
                break;  // fewer threads then; this one does the rest
            }
        }
        worker();
        for (auto& t : pool) t.join();
        if (failure) std::rethrow_exception(failure);
        return;
    }
#endif
    for (std::size_t k = 0; k < slices; ++k) search(k);
}

Matches find_matches(const std::uint8_t* data, std::size_t size, bool wide = false,
                     std::size_t slice = kSlice) {
    // The blanks, the data, and padding for the word-wise compares.
    std::vector<std::uint8_t> h(kDataStart + size + 8, ' ');
    for (std::size_t i = 0; i < size; ++i) h[kDataStart + i] = data[i];

    Matches m;
    m.len.assign(size, 0);
    m.dist.assign(size, 0);
    if (!wide && kDataStart + size < 0xFFFFFFFFu)
        find_all<std::uint32_t>(h, size, slice, m);
    else
        find_all<std::uint64_t>(h, size, slice, m);
    return m;
}

// Chooses, for every position on the final path, the length of the item
// that starts there: 1 for a literal, 3..18 for a reference. Overwrites
// m.len in place.
//
// The backward pass needs min cost(i+3 .. i+m(i)) at every position. It is
// taken as the minimum of two overlapping power-of-two spans, kept up to
// date as i goes down, so the pass has no inner loop and no data-dependent
// branches (the obvious loop over 3..m(i) mispredicts heavily).
void optimal_parse(Matches& m) {
    const std::size_t n = m.len.size();
    // Costs modulo 2^16 are enough to retrace the path: costs at most 18
    // positions apart differ by less than 200 (cost(j) <= cost(j+1) + 9,
    // and cost(j+1) <= cost(j) + 1), so equal residues mean equal costs.
    std::vector<std::uint16_t> cost16(n + 1);
    // span[t][j % 32] = min cost(j .. j + 2^t - 1); positions past the end
    // read as unreachable.
    std::uint64_t span[5][32];
    for (auto& row : span) std::fill(std::begin(row), std::end(row), UINT64_MAX);
    static const unsigned char kLog2[17] = {0, 0, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3, 3, 3, 3, 3, 4};
    auto store = [&](std::size_t j, std::uint64_t c) {
        const std::size_t s = j & 31;
        span[0][s] = c;
        span[1][s] = std::min(c, span[0][(j + 1) & 31]);
        span[2][s] = std::min(span[1][s], span[1][(j + 2) & 31]);
        span[3][s] = std::min(span[2][s], span[2][(j + 4) & 31]);
        span[4][s] = std::min(span[3][s], span[3][(j + 8) & 31]);
        cost16[j] = static_cast<std::uint16_t>(c);
    };
    store(n, 0);
    for (std::size_t i = n; i-- > 0;) {
        const std::uint64_t literal = span[0][(i + 1) & 31] + 9;
        const unsigned longest = m.len[i];
        const unsigned count = longest >= kMinMatch ? longest - 2 : 1;  // lengths 3..longest
        const unsigned t = kLog2[count];
        const std::uint64_t low = std::min(span[t][(i + kMinMatch) & 31],
                                           span[t][(i + kMinMatch + count - (1u << t)) & 31]);
        const std::uint64_t reference = longest ? low + 17 : UINT64_MAX;
        store(i, std::min(literal, reference));
    }
    // Forward along the cheapest path: each step is an item whose cost adds
    // up. The backward pass guarantees one exists.
    for (std::size_t i = 0; i < n;) {
        const std::uint16_t here = cost16[i];
        unsigned step = 1;
        if (static_cast<std::uint16_t>(cost16[i + 1] + 9) != here) {
            step = kMinMatch;
            while (static_cast<std::uint16_t>(cost16[i + step] + 17) != here) ++step;
        }
        m.len[i] = static_cast<std::uint8_t>(step);
        i += step;
    }
}

void greedy_parse(Matches& m) {
    for (auto& l : m.len)
        if (l == 0) l = 1;
}

class StreamWriter {
public:
    explicit StreamWriter(std::vector<std::uint8_t>& out) : out_(out) {}
    void literal(std::uint8_t c) {
        flag(true);
        out_.push_back(c);
    }
    void reference(unsigned slot, unsigned len) {
        flag(false);
        out_.push_back(static_cast<std::uint8_t>(slot & 0xFF));
        out_.push_back(static_cast<std::uint8_t>(((slot >> 4) & 0xF0) | (len - kMinMatch)));
    }

private:
    void flag(bool bit) {
        if (bits_ == 8) {
            flag_at_ = out_.size();
            out_.push_back(0);
            bits_ = 0;
        }
        if (bit) out_[flag_at_] |= static_cast<std::uint8_t>(1u << bits_);
        ++bits_;
    }
    std::vector<std::uint8_t>& out_;
    std::size_t flag_at_ = 0;
    unsigned bits_ = 8;
};

}  // namespace

std::vector<std::uint8_t> longest_matches(const std::uint8_t* data, std::size_t size, bool wide,
                                          std::size_t slice) {
    return find_matches(data, size, wide, slice ? slice : kSlice).len;
}

std::vector<std::uint8_t> compress(const std::uint8_t* data, std::size_t size, Parse parse) {
    if (static_cast<std::uint64_t>(size) > kMaxInput)
        throw std::length_error("SZDD holds at most 4 GiB - 1 bytes");

    Matches m = find_matches(data, size);
    if (parse == Parse::optimal)
        optimal_parse(m);
    else
        greedy_parse(m);

    std::vector<std::uint8_t> out(kMagic, kMagic + 8);
    out.reserve(kHeaderSize + size + size / 8 + 1);
    out.push_back('A');
    out.push_back(0);  // no missing name character recorded
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(static_cast<std::uint8_t>(static_cast<std::uint64_t>(size) >> shift));

    StreamWriter w(out);
    for (std::size_t i = 0; i < size;) {
        unsigned step = m.len[i];
        if (step == 1) {
            w.literal(data[i]);
        } else {
            // Distance d back from output position i is window slot
            // (kFirstWrite + i - d) mod 4096.
            unsigned slot = static_cast<unsigned>((kFirstWrite + i - m.dist[i]) & (kWindowSize - 1));
            w.reference(slot, step);
        }
        i += step;
    }
    return out;
}

}  // namespace szdd
