// End-to-end: runs the built tool in a fresh temporary folder and checks its
// exact output, exit status and the bytes of every file before and after.

#include "cli/driver.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using std::string_literals::operator""s;

std::string slurp(const fs::path &path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

const std::string kDemo = slurp(DEMO_NSF);
const std::string kHelp =
    " -t[title]\t\t set title string\n -a[artist]\t\t set artist string\n"
    " -c[copyright]\t\t set copyright string\n\n -w\t\t\t set strings to file\n"
    " -v\t\t\t view info in file\n -?,-h\t\t\t display this help\n";

std::string help(const std::string &program) {
    return "Ombrek version 0.01\n\nUsage " + program + " : [options] filenames...\n" + kHelp;
}
std::string shown(const std::string &file, const std::string &title, const std::string &artist,
                  const std::string &copyright) {
    return "-------- file : " + file + " --------\nTitle : " + title + "\nArtist : " + artist +
           "\nCopyright : " + copyright + "\n";
}
std::string demo_shown(const std::string &file) {
    return shown(file, "Ombrek Demo Tone", "Ombrek", "2026 Ombrek project");
}
std::string written(const std::string &file) {
    return "-------- file : " + file + " --------\n";
}

/// `file` with its three fields replaced, computed independently of the tool:
/// each text cut at 32 bytes and zero-padded; the file grows to 110 if shorter.
std::string tagged(std::string file, const std::string &title, const std::string &artist,
                   const std::string &copyright) {
    if (file.size() < 110)
        file.resize(110, '\0');
    std::size_t at = 14;
    for (std::string text : {title, artist, copyright}) {
        text.resize(32, '\0');
        file.replace(at, 32, text);
        at += 32;
    }
    return file;
}

struct Result {
    std::string out, err;
    int status;
};

class Ombrek : public testing::Test {
  protected:
    void SetUp() override {
        char name[] = "/tmp/ombrek-test-XXXXXX";
        ASSERT_NE(mkdtemp(name), nullptr);
        dir_ = name;
        fs::permissions(dir_, fs::perms::others_read | fs::perms::others_exec,
                        fs::perm_options::add);
        put("a.nsf", kDemo);
        put("b.nsf", kDemo);
    }
    void TearDown() override { fs::remove_all(dir_); }

    void put(const std::string &name, const std::string &bytes) {
        std::ofstream(dir_ / name, std::ios::binary) << bytes;
    }
    std::string get(const std::string &name) { return slurp(dir_ / name); }

    /// Runs the tool in the test folder through sh: `before` may set limits or
    /// feed standard input, `after` may redirect standard output.
    Result ombrek(const std::vector<std::string> &args, const std::string &before = "",
                  const std::string &after = "") {
        std::string command = "cd " + dir_.string() + " && " + before + " '" OMBREK_BIN "'";
        for (const std::string &arg : args)
            command += " '" + arg + "'";
        command += " " + after + " 2>" + dir_.string() + ".err";
        std::FILE *pipe = popen(command.c_str(), "r");
        std::string out(64 * 1024, '\0');
        out.resize(std::fread(out.data(), 1, out.size(), pipe));
        const int status = pclose(pipe);
        Result result{out, slurp(dir_.string() + ".err"), WEXITSTATUS(status)};
        fs::remove(dir_.string() + ".err");
        return result;
    }

    fs::path dir_;
};

TEST_F(Ombrek, NoArgumentsPrintsBannerAndHelpWithStatus255) {
    const Result r = ombrek({});
    EXPECT_EQ(r.out, help(OMBREK_BIN));
    EXPECT_EQ(r.status, 255);
}

TEST_F(Ombrek, ArgumentsAreReadOnceLeftToRight) {
    const std::string long_title(5000, 'L');
    const struct {
        const char *label;
        std::vector<std::string> args;
        std::string out;
        std::string a_after; // a.nsf's bytes afterwards
    } cases[] = {
        {"files before any mode are viewed", {"a.nsf"}, demo_shown("a.nsf"), kDemo},
        {"help between files, letters after it ignored",
         {"a.nsf", "-h", "b.nsf", "-?x"},
         demo_shown("a.nsf") + help(OMBREK_BIN) + demo_shown("b.nsf") + help(OMBREK_BIN),
         kDemo},
        {"unknown options change nothing",
         {"-", "-x", "-W", "-T", "-V", "a.nsf"},
         "Unknown option\n"s + "Unknown option\n" + "Unknown option\n" + "Unknown option\n" +
             "Unknown option\n" + demo_shown("a.nsf"),
         kDemo},
        {"a pending title goes to every later file until replaced",
         {"-w", "-tFirst", "-aBoth", "a.nsf", "-tSecond", "b.nsf", "-v", "a.nsf", "b.nsf"},
         written("a.nsf") + written("b.nsf") +
             shown("a.nsf", "First", "Both", "2026 Ombrek project") +
             shown("b.nsf", "Second", "Both", "2026 Ombrek project"),
         tagged(kDemo, "First", "Both", "2026 Ombrek project")},
        {"-t alone empties the title; the next argument is a file name",
         {"-w", "-t", "Separate", "a.nsf"},
         "File open error!(apply)\n" + written("a.nsf"),
         tagged(kDemo, "", "Ombrek", "2026 Ombrek project")},
        {"unset strings keep their fields; options after the last file do nothing",
         {"-w", "a.nsf", "-tLate", "-cLate"},
         written("a.nsf"),
         kDemo},
        {"32 bytes stored whole, shown as 31; longer cut; bytes above 0x7F kept",
         {"-w", "-t" + std::string(32, 'T'), "-a" + long_title, "-c\xC3\xA9\xFF\x80", "a.nsf", "-v",
          "a.nsf"},
         written("a.nsf") +
             shown("a.nsf", std::string(31, 'T'), std::string(31, 'L'), "\xC3\xA9\xFF\x80"),
         tagged(kDemo, std::string(32, 'T'), long_title, "\xC3\xA9\xFF\x80")},
        {"all strings empty zero the whole block",
         {"-w", "-t", "-a", "-c", "a.nsf"},
         written("a.nsf"),
         tagged(kDemo, "", "", "")},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.label);
        put("a.nsf", kDemo);
        put("b.nsf", kDemo);
        const Result r = ombrek(c.args);
        EXPECT_EQ(r.out, c.out);
        EXPECT_EQ(r.err, "");
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(get("a.nsf"), c.a_after);
    }
}

TEST_F(Ombrek, FilesThatCannotBeUsedAreReportedAndLeftAlone) {
    const std::vector<std::pair<std::string, std::string>> files = {
        {"text.txt", "plain text, no signature"},
        {"lower.nsf", "nesm" + kDemo.substr(4)},
        {"three", "NES"},
        {"empty", ""}};
    std::string expected;
    for (const char *mode : {"-v", "-w"})
        expected += "the file is not NSF format\n"s + "the file is not NSF format\n" +
                    "the file is not NSF format\n" + "the file is not NSF format\n" +
                    (mode == "-v"s ? "the file is not NSF format\n" : "File open error!(apply)\n") +
                    (mode == "-v"s ? "File open error!(in)\n" : "File open error!(apply)\n") +
                    (mode == "-v"s ? "File open error!(in)\n" : "File open error!(apply)\n");
    for (const auto &[name, bytes] : files)
        put(name, bytes);
    fs::create_directory(dir_ / "dir");
    std::vector<std::string> args;
    for (const char *mode : {"-v", "-w"}) {
        args.push_back(mode);
        args.push_back("-tX");
        for (const char *name : {"text.txt", "lower.nsf", "three", "empty", "dir", "missing", ""})
            args.push_back(name);
    }
    const Result r = ombrek(args);
    EXPECT_EQ(r.out, expected);
    EXPECT_EQ(r.status, 0);
    for (const auto &[name, bytes] : files)
        EXPECT_EQ(get(name), bytes) << name;
    EXPECT_FALSE(fs::exists(dir_ / "missing"));
}

TEST_F(Ombrek, ShortFilesReadAsZeroPastTheirEndAndGrowTo110OnWrite) {
    const std::string partial = "NESM\x1A\x01\x01\x01\0\x80\0\x80\0\x80Partial title"s;
    put("partial.nsf", partial);
    put("bare.nsf", "NESM");
    const Result r = ombrek({"partial.nsf", "-w", "-aNew", "partial.nsf", "-cC", "bare.nsf"});
    EXPECT_EQ(r.out, shown("partial.nsf", "Partial title", "", "") + written("partial.nsf") +
                         written("bare.nsf"));
    EXPECT_EQ(get("partial.nsf"), tagged(partial, "Partial title", "New", ""));
    EXPECT_EQ(get("bare.nsf"), tagged("NESM", "", "New", "C"));
}

TEST_F(Ombrek, ReadOnlyFileIsViewedButNotWritten) {
    fs::permissions(dir_ / "a.nsf",
                    fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    const Result r =
        ombrek({"a.nsf", "-w", "-tX", "a.nsf"},
               geteuid() == 0 ? "setpriv --reuid=65534 --regid=65534 --clear-groups" : "");
    EXPECT_EQ(r.out, demo_shown("a.nsf") + "File open error!(apply)\n");
    EXPECT_EQ(get("a.nsf"), kDemo);
}

TEST_F(Ombrek, FailedWriteIsReportedNotClaimed) {
    put("bare.nsf", "NESM");
    Result r =
        ombrek({"-w", "-tX", "bare.nsf", "-v", "bare.nsf"}, "trap '' XFSZ && ulimit -f 0 &&");
    EXPECT_EQ(r.out, "File write error!(apply)\n" + shown("bare.nsf", "", "", ""));
    EXPECT_EQ(get("bare.nsf"), "NESM");
    // A pipe cannot be positioned: viewing reads the right bytes, writing fails.
    r = ombrek({"/dev/stdin"}, "cat " DEMO_NSF " |");
    EXPECT_EQ(r.out, demo_shown("/dev/stdin"));
    r = ombrek({"-w", "-tX", "/dev/stdin"}, "cat " DEMO_NSF " |");
    EXPECT_EQ(r.out, "File write error!(apply)\n");
}

TEST_F(Ombrek, UnwritableStandardOutputEndsWithStatus1) {
    for (const char *redirect : {">/dev/full", ">&-"}) {
        SCOPED_TRACE(redirect);
        put("a.nsf", kDemo);
        const Result r = ombrek({"a.nsf", "-w", "-tNew", "a.nsf", "b.nsf"}, "", redirect);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        EXPECT_EQ(get("a.nsf"), tagged(kDemo, "New", "Ombrek", "2026 Ombrek project"));
        EXPECT_EQ(get("b.nsf"), tagged(kDemo, "New", "Ombrek", "2026 Ombrek project"));
    }
}

TEST(Driver, MissingArgumentZeroShowsToolName) {
    std::fflush(stdout);
    const int saved = dup(1);
    std::FILE *capture = std::tmpfile();
    dup2(fileno(capture), 1);
    const char *const argv[] = {nullptr};
    const int status = cli::run_ombrek(0, argv);
    std::fflush(stdout);
    dup2(saved, 1);
    close(saved);
    std::rewind(capture);
    std::string out(4096, '\0');
    out.resize(std::fread(out.data(), 1, out.size(), capture));
    std::fclose(capture);
    EXPECT_EQ(out, help("ombrek"));
    EXPECT_EQ(status, -1);
}

} // namespace
