// szdd: build-time SZDD compressor and expander.
//   szdd compress IN OUT   writes IN as an SZDD container (optimal parse)
//   szdd expand IN OUT     expands an SZDD container
// Exit code 0 on success, 1 on any failure (message on stderr), 2 on usage.

#include "szdd.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

const char* const kUsage =
    "usage: szdd compress IN OUT    write IN as an SZDD container\n"
    "       szdd compress --greedy IN OUT   (greedy parse, for comparison)\n"
    "       szdd expand IN OUT      expand an SZDD container\n";

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

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 3 && args[0] == "compress")
        return compress_file(args[1].c_str(), args[2].c_str(), szdd::Parse::optimal);
    if (args.size() == 4 && args[0] == "compress" && args[1] == "--greedy")
        return compress_file(args[2].c_str(), args[3].c_str(), szdd::Parse::greedy);
    if (args.size() == 3 && args[0] == "expand") return expand_file(args[1].c_str(), args[2].c_str());
    std::fputs(kUsage, stderr);
    return 2;
}
