// szdd: build-time SZDD compressor and expander.
//   szdd compress IN OUT   writes IN as an SZDD container (optimal parse)
//   szdd expand IN OUT     expands an SZDD container
//   szdd crc-table OUT ID FILE [ID FILE...]
//                          writes the CRC-32 of each FILE as a table of
//                          little-endian 32-bit pairs (ID, CRC), in order
//   szdd sum-table OUT FILE|- [FILE|-...]
//                          writes the size and CRC-32 of each FILE as
//                          little-endian 32-bit pairs (SIZE, CRC), in order;
//                          "-" (a file not carried) gives FFFFFFFF, 0
// Exit code 0 on success, 1 on any failure (message on stderr), 2 on usage.

#include "szdd.h"

#include "common/crc32.h"

#include <cerrno>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

const char* const kUsage =
    "usage: szdd compress IN OUT    write IN as an SZDD container\n"
    "       szdd compress --greedy IN OUT   (greedy parse, for comparison)\n"
    "       szdd expand IN OUT      expand an SZDD container\n"
    "       szdd crc-table OUT ID FILE [ID FILE...]   CRC-32 of each FILE, by ID\n"
    "       szdd sum-table OUT FILE|- [FILE|-...]     size and CRC-32 of each FILE\n";

struct File {
    std::FILE* f;
    explicit File(std::FILE* f) : f(f) {}
    ~File() {
        if (f) std::fclose(f);
    }
    File(const File&) = delete;
    File& operator=(const File&) = delete;
};

bool read_file(const char* path, std::vector<std::uint8_t>& data) {
    File in(std::fopen(path, "rb"));
    if (!in.f) {
        std::fprintf(stderr, "szdd: cannot open %s: %s\n", path, std::strerror(errno));
        return false;
    }
    data.clear();
    std::uint8_t buf[1 << 16];
    std::size_t got;
    while ((got = std::fread(buf, 1, sizeof buf, in.f)) > 0) data.insert(data.end(), buf, buf + got);
    if (std::ferror(in.f)) {
        std::fprintf(stderr, "szdd: cannot read %s: %s\n", path, std::strerror(errno));
        return false;
    }
    return true;
}

bool write_file(const char* path, const std::vector<std::uint8_t>& data) {
    std::FILE* f = std::fopen(path, "wb");
    if (!f) {
        std::fprintf(stderr, "szdd: cannot create %s: %s\n", path, std::strerror(errno));
        return false;
    }
    bool ok = data.empty() || std::fwrite(data.data(), 1, data.size(), f) == data.size();
    ok = (std::fclose(f) == 0) && ok;
    if (!ok) {
        std::fprintf(stderr, "szdd: cannot write %s: %s\n", path, std::strerror(errno));
        std::remove(path);  // no half-written output left behind
    }
    return ok;
}

int compress_file(const char* in_path, const char* out_path, szdd::Parse parse) {
    std::vector<std::uint8_t> data;
    if (!read_file(in_path, data)) return 1;
    if (data.size() > szdd::kMaxInput) {
        std::fprintf(stderr, "szdd: %s is too large for SZDD (4 GiB - 1 bytes at most)\n", in_path);
        return 1;
    }
    return write_file(out_path, szdd::compress(data.data(), data.size(), parse)) ? 0 : 1;
}

int expand_file(const char* in_path, const char* out_path) {
    std::vector<std::uint8_t> data, out;
    if (!read_file(in_path, data)) return 1;
    szdd::Status status = szdd::expand(data.data(), data.size(), out);
    if (status != szdd::Status::ok) {
        std::fprintf(stderr, "szdd: %s: %s\n", in_path, szdd::describe(status));
        return 1;
    }
    return write_file(out_path, out) ? 0 : 1;
}

// The payload checksum table the setup program reads: for each file, its
// id and the CRC-32 of its bytes, both 32-bit little-endian.
int crc_table(const std::vector<std::string>& args) {
    std::vector<std::uint8_t> table, data;
    for (std::size_t i = 2; i + 1 < args.size(); i += 2) {
        char* end = nullptr;
        unsigned long id = std::strtoul(args[i].c_str(), &end, 10);
        if (args[i].empty() || *end != '\0' || id > 0xFFFF) {
            std::fprintf(stderr, "szdd: %s is no resource id\n", args[i].c_str());
            return 1;
        }
        if (!read_file(args[i + 1].c_str(), data)) return 1;
        std::uint32_t crc = crc32_update(0, data.data(), data.size());
        for (std::uint32_t value : {std::uint32_t(id), crc})
            for (int shift = 0; shift < 32; shift += 8) table.push_back(std::uint8_t(value >> shift));
    }
    return write_file(args[1].c_str(), table) ? 0 : 1;
}

// The table of what the setup program writes, for the uninstaller: the
// size and CRC-32 of each installed file as it lies on disk (the expanded
// bytes), both 32-bit little-endian, in catalogue order.
int sum_table(const std::vector<std::string>& args) {
    std::vector<std::uint8_t> table, data;
    for (std::size_t i = 2; i < args.size(); ++i) {
        std::uint32_t size = 0xFFFFFFFFu, crc = 0;
        if (args[i] != "-") {
            if (!read_file(args[i].c_str(), data)) return 1;
            if (data.size() >= 0xFFFFFFFFu) {
                std::fprintf(stderr, "szdd: %s is too large\n", args[i].c_str());
                return 1;
            }
            size = std::uint32_t(data.size());
            crc = crc32_update(0, data.data(), data.size());
        }
        for (std::uint32_t value : {size, crc})
            for (int shift = 0; shift < 32; shift += 8) table.push_back(std::uint8_t(value >> shift));
    }
    return write_file(args[1].c_str(), table) ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 3 && args[0] == "compress")
        return compress_file(args[1].c_str(), args[2].c_str(), szdd::Parse::optimal);
    if (args.size() == 4 && args[0] == "compress" && args[1] == "--greedy")
        return compress_file(args[2].c_str(), args[3].c_str(), szdd::Parse::greedy);
    if (args.size() == 3 && args[0] == "expand") return expand_file(args[1].c_str(), args[2].c_str());
    if (args.size() >= 4 && args.size() % 2 == 0 && args[0] == "crc-table") return crc_table(args);
    if (args.size() >= 3 && args[0] == "sum-table") return sum_table(args);
    std::fputs(kUsage, stderr);
    return 2;
}
