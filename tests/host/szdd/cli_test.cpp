// The szdd command as the build uses it: files in, files out, a message and
// a non-zero exit code when something is wrong, and no output file then.

#include "szdd.h"
#include "test_data.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

using namespace szdd_test;

namespace {

class SzddCli : public ::testing::Test {
protected:
    std::string path(const std::string& name) {
        return std::string("/tmp/szdd-cli-") + std::to_string(::getpid()) + "-" + name;
    }
    void TearDown() override {
        for (const char* n : {"a", "a.sz", "a.out", "bad", "bad.out"}) std::remove(path(n).c_str());
    }
    // Exit code of `szdd args`; stderr goes to `err`.
    int run(const std::string& args, std::string& err) {
        std::string errfile = path("stderr");
        std::string cmd = std::string(SZDD_TOOL) + " " + args + " 2> " + errfile;
        int status = std::system(cmd.c_str());
        err = read(errfile);
        std::remove(errfile.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    static void write(const std::string& p, const std::string& s) { std::ofstream(p, std::ios::binary) << s; }
    static std::string read(const std::string& p) {
        std::ifstream f(p, std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    }
    static bool exists(const std::string& p) { return ::access(p.c_str(), F_OK) == 0; }
};

TEST_F(SzddCli, CompressThenExpand) {
    Bytes d = mixed_bytes(40000, 11);
    write(path("a"), std::string(d.begin(), d.end()));
    std::string err;
    ASSERT_EQ(run("compress " + path("a") + " " + path("a.sz"), err), 0) << err;
    std::string c = read(path("a.sz"));
    EXPECT_EQ(Bytes(c.begin(), c.end()), szdd::compress(d.data(), d.size()));
    ASSERT_EQ(run("expand " + path("a.sz") + " " + path("a.out"), err), 0) << err;
    EXPECT_EQ(read(path("a.out")), std::string(d.begin(), d.end()));
}

TEST_F(SzddCli, FailuresAreReported) {
    std::string err;
    EXPECT_EQ(run("", err), 2);
    EXPECT_NE(err.find("usage"), std::string::npos);
    EXPECT_EQ(run("squeeze a b", err), 2);

    EXPECT_EQ(run("compress " + path("missing") + " " + path("a.sz"), err), 1);
    EXPECT_NE(err.find("cannot open"), std::string::npos) << err;
    EXPECT_FALSE(exists(path("a.sz")));

    write(path("bad"), "MZ this is not a container");
    EXPECT_EQ(run("expand " + path("bad") + " " + path("bad.out"), err), 1);
    EXPECT_NE(err.find("not an SZDD file"), std::string::npos) << err;
    EXPECT_FALSE(exists(path("bad.out")));

    Bytes d(1000, 'z');
    Bytes c = szdd::compress(d.data(), d.size());
    write(path("bad"), std::string(c.begin(), c.end() - 1));
    EXPECT_EQ(run("expand " + path("bad") + " " + path("bad.out"), err), 1);
    EXPECT_NE(err.find("ends before"), std::string::npos) << err;
    EXPECT_FALSE(exists(path("bad.out")));

    write(path("a"), "abc");
    EXPECT_EQ(run("compress " + path("a") + " /nonexistent-dir/x", err), 1);
    EXPECT_NE(err.find("cannot create"), std::string::npos) << err;
}

}  // namespace
