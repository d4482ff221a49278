// Independent SZDD decoders must read our containers exactly as we do:
// libmspack's SZDD decompressor and msexpand. The other way round, our
// expander reads what mscompress writes.

#include "szdd.h"
#include "test_data.h"

#include <gtest/gtest.h>
#include <mspack.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

using namespace szdd_test;

namespace {

std::string temp_path(const std::string& name) {
    const char* dir = std::getenv("TMPDIR");
    return std::string(dir ? dir : "/tmp") + "/szdd-decoders-" + std::to_string(::getpid()) + "-" + name;
}

void write_file(const std::string& path, const Bytes& d) {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(d.data()), static_cast<std::streamsize>(d.size()));
}

std::vector<Bytes> samples() {
    std::vector<Bytes> s = {{}, {'x'}, Bytes(5000, ' '), Bytes(20000, 0), random_bytes(30000, 1),
                            random_bytes(30000, 2, 3), mixed_bytes(120000, 3), mixed_bytes(7, 4)};
    for (auto& file : real_files()) s.push_back(std::move(file.second));
    return s;
}

class SzddDecoders : public ::testing::Test {
protected:
    void TearDown() override {
        for (const auto& p : {in_, out_}) std::remove(p.c_str());
    }
    const std::string in_ = temp_path("in"), out_ = temp_path("out");
};

TEST_F(SzddDecoders, LibmspackExpandsOurContainers) {
    msszdd_decompressor* dec = mspack_create_szdd_decompressor(nullptr);
    ASSERT_NE(dec, nullptr);
    for (const Bytes& d : samples()) {
        for (szdd::Parse parse : {szdd::Parse::optimal, szdd::Parse::greedy}) {
            write_file(in_, szdd::compress(d.data(), d.size(), parse));
            msszddd_header* h = dec->open(dec, const_cast<char*>(in_.c_str()));
            ASSERT_NE(h, nullptr);
            EXPECT_EQ(h->format, MSSZDD_FMT_NORMAL);
            EXPECT_EQ(h->length, static_cast<off_t>(d.size()));
            ASSERT_EQ(dec->extract(dec, h, const_cast<char*>(out_.c_str())), MSPACK_ERR_OK);
            dec->close(dec, h);
            EXPECT_TRUE(read_file(out_) == d) << d.size() << " bytes";
        }
    }
    mspack_destroy_szdd_decompressor(dec);
}

TEST_F(SzddDecoders, MsexpandExpandsOurContainers) {
    if (std::string(MSEXPAND).empty()) GTEST_SKIP() << "msexpand not installed";
    for (const Bytes& d : samples()) {
        write_file(in_, szdd::compress(d.data(), d.size()));
        std::string cmd = std::string(MSEXPAND) + " < '" + in_ + "' > '" + out_ + "'";
        ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
        EXPECT_TRUE(read_file(out_) == d) << d.size() << " bytes";
    }
}

TEST_F(SzddDecoders, WeExpandWhatMscompressWrites) {
    if (std::string(MSCOMPRESS).empty()) GTEST_SKIP() << "mscompress not installed";
    for (const Bytes& d : samples()) {
        if (d.size() < 16) continue;  // mscompress writes broken containers for these
        write_file(in_, d);
        std::string cmd = std::string(MSCOMPRESS) + " '" + in_ + "'";  // writes in_ + "_"
        ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
        Bytes c = read_file(in_ + "_"), out;
        std::remove((in_ + "_").c_str());
        ASSERT_EQ(szdd::expand(c.data(), c.size(), out), szdd::Status::ok) << d.size() << " bytes";
        EXPECT_TRUE(out == d);
        EXPECT_LE(szdd::compress(d.data(), d.size()).size(), c.size());
    }
}

}  // namespace
