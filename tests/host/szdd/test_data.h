// Input generators shared by the SZDD tests.
#pragma once

#include <cstdint>
#include <dirent.h>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

namespace szdd_test {

using Bytes = std::vector<std::uint8_t>;

inline Bytes bytes(const std::string& s) { return Bytes(s.begin(), s.end()); }

inline Bytes random_bytes(std::size_t n, std::uint32_t seed, unsigned alphabet = 256) {
    std::mt19937 rng(seed);
    Bytes b(n);
    for (auto& c : b) c = static_cast<std::uint8_t>(rng() % alphabet);
    return b;
}

// Data with the texture of real files: runs, text, repeated blocks with
// small changes, and noise.
inline Bytes mixed_bytes(std::size_t n, std::uint32_t seed) {
    std::mt19937 rng(seed);
    static const char* const words[] = {"INT. ", "EXT. ", "DAY", "NIGHT", "the ", "scene ",
                                        "    ", "\r\n", "CUT TO:", "FADE IN"};
    Bytes b;
    while (b.size() < n) {
        switch (rng() % 5) {
        case 0: b.insert(b.end(), 1 + rng() % 300, static_cast<std::uint8_t>(rng() % 3 == 0 ? ' ' : rng()));
            break;
        case 1:
            for (int k = rng() % 40; k-- > 0;) {
                std::string w = words[rng() % 10];
                b.insert(b.end(), w.begin(), w.end());
            }
            break;
        case 2:
            if (b.size() > 20) {
                std::size_t len = 1 + rng() % 200, from = rng() % b.size();
                for (std::size_t k = 0; k < len; ++k) {
                    std::uint8_t c = b[from + k];
                    b.push_back(rng() % 50 == 0 ? static_cast<std::uint8_t>(rng()) : c);
                }
            }
            break;
        case 3:
            for (int k = rng() % 100; k-- > 0;) b.push_back(static_cast<std::uint8_t>(rng()));
            break;
        default:
            for (int k = rng() % 50; k-- > 0;) {
                std::uint32_t v = rng() % 1000;
                for (int s = 0; s < 32; s += 8) b.push_back(static_cast<std::uint8_t>(v >> s));
            }
        }
    }
    b.resize(n);
    return b;
}

inline Bytes read_file(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
}

// Real files: the test program itself and the product's payload data files.
inline std::vector<std::pair<std::string, Bytes>> real_files() {
    std::vector<std::pair<std::string, Bytes>> files;
    files.emplace_back("test program", read_file("/proc/self/exe"));
    if (DIR* dir = opendir(SZDD_PAYLOAD_DIR)) {
        while (dirent* e = readdir(dir)) {
            std::string path = std::string(SZDD_PAYLOAD_DIR) + "/" + e->d_name;
            std::ifstream probe(path, std::ios::binary);
            if (e->d_name[0] != '.' && probe && e->d_type == DT_REG) files.emplace_back(e->d_name, read_file(path));
        }
        closedir(dir);
    }
    return files;
}

}  // namespace szdd_test
