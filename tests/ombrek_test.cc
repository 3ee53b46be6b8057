// End-to-end: runs the built tool in a fresh temporary folder and checks its
// exact output, exit status and the bytes of every file before and after.

#include "cli/driver.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
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

const std::string kPartial = "NESM\x1A\x01\x01\x01\0\x80\0\x80\0\x80Partial title"s;

/// The files every case starts from, in a folder of their own.
// clang-format off
const std::map<std::string, std::string> kFiles = {
    {"a.nsf", kDemo}, {"b.nsf", kDemo}, {"ro.nsf", kDemo}, {"bare.nsf", "NESM"},
    {"partial.nsf", kPartial}, {"text.txt", "plain text, no signature"},
    {"lower.nsf", "nesm" + kDemo.substr(4)}, {"three", "NES"}, {"empty", ""}};
// clang-format on

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
    }
    void TearDown() override { fs::remove_all(dir_); }

    /// Lays out kFiles afresh, with ro.nsf read-only and an empty folder "dir".
    void reset() {
        fs::remove_all(dir_ / "t");
        fs::create_directories(dir_ / "t" / "dir");
        fs::permissions(dir_, fs::perms::others_read | fs::perms::others_exec,
                        fs::perm_options::add);
        for (const auto &[name, bytes] : kFiles)
            std::ofstream(dir_ / "t" / name, std::ios::binary) << bytes;
        fs::permissions(dir_ / "t" / "ro.nsf", fs::perms::owner_read | fs::perms::others_read);
    }
    std::map<std::string, std::string> files() {
        std::map<std::string, std::string> found;
        for (const auto &entry : fs::directory_iterator(dir_ / "t"))
            if (entry.is_regular_file())
                found[entry.path().filename()] = slurp(entry.path());
        return found;
    }

    /// Runs the tool in the test folder through sh, as the `%` of `shell`, which
    /// may set limits, feed standard input or redirect standard output.
    Result ombrek(const std::vector<std::string> &args, std::string shell) {
        std::string invocation = "'" OMBREK_BIN "'";
        for (const std::string &arg : args)
            invocation += " '" + arg + "'";
        shell.replace(shell.find('%'), 1, invocation);
        const std::string command =
            "cd " + (dir_ / "t").string() + " && " + shell + " 2>" + (dir_ / "err").string();
        std::FILE *pipe = popen(command.c_str(), "r");
        std::string out(64 * 1024, '\0');
        out.resize(std::fread(out.data(), 1, out.size(), pipe));
        const int status = pclose(pipe);
        return {out, slurp(dir_ / "err"), WEXITSTATUS(status)};
    }

    fs::path dir_;
};

TEST_F(Ombrek, RunsMatchTheirOutputStatusAndFileBytes) {
    const std::string long_artist(5000, 'L');
    const std::string unknown = "Unknown option\n";
    const std::string not_nsf = "the file is not NSF format\n";
    const std::string as_user =
        geteuid() == 0 ? "setpriv --reuid=65534 --regid=65534 --clear-groups" : "";
    const std::string demo_first = tagged(kDemo, "First", "Both", "2026 Ombrek project");
    const std::string demo_new = tagged(kDemo, "New", "Ombrek", "2026 Ombrek project");
    // A sanitized tool would refuse to start with the shim loaded ahead of its runtime.
    const auto fault = [](const std::string &kind) {
        return "ASAN_OPTIONS=verify_asan_link_order=0 LD_PRELOAD='" FAULT_SHIM "' OMBREK_FAULT=" +
               kind + " %";
    };
    const struct {
        const char *label;
        std::vector<std::string> args;
        std::string out;
        std::map<std::string, std::string> changed; // files whose bytes change
        int status = 0;
        std::string shell = "%", err = "";
    } cases[] = {
        {"no arguments: banner and help", {}, help(OMBREK_BIN), {}, 255},
        {"files before any mode are viewed", {"a.nsf"}, demo_shown("a.nsf"), {}},
        {"help between files, letters after it ignored",
         {"a.nsf", "-h", "b.nsf", "-?x"},
         demo_shown("a.nsf") + help(OMBREK_BIN) + demo_shown("b.nsf") + help(OMBREK_BIN),
         {}},
        {"unknown options change nothing",
         {"-", "-x", "-W", "-T", "-V", "a.nsf"},
         unknown + unknown + unknown + unknown + unknown + demo_shown("a.nsf"),
         {}},
        {"a pending title goes to every later file until replaced",
         {"-w", "-tFirst", "-aBoth", "a.nsf", "-tSecond", "b.nsf", "-v", "a.nsf", "b.nsf"},
         written("a.nsf") + written("b.nsf") +
             shown("a.nsf", "First", "Both", "2026 Ombrek project") +
             shown("b.nsf", "Second", "Both", "2026 Ombrek project"),
         {{"a.nsf", demo_first},
          {"b.nsf", tagged(kDemo, "Second", "Both", "2026 Ombrek project")}}},
        {"-t alone empties the title; the next argument is a file name",
         {"-w", "-t", "Separate", "a.nsf"},
         "File open error!(apply)\n" + written("a.nsf"),
         {{"a.nsf", tagged(kDemo, "", "Ombrek", "2026 Ombrek project")}}},
        {"unset strings keep their fields; options after the last file do nothing",
         {"-w", "a.nsf", "-tLate", "-cLate"},
         written("a.nsf"),
         {}},
        {"32 bytes stored whole, shown as 31; longer cut; bytes above 0x7F kept",
         {"-w", "-t" + std::string(32, 'T'), "-a" + long_artist, "-c\xC3\xA9\xFF\x80", "a.nsf",
          "-v", "a.nsf"},
         written("a.nsf") +
             shown("a.nsf", std::string(31, 'T'), std::string(31, 'L'), "\xC3\xA9\xFF\x80"),
         {{"a.nsf", tagged(kDemo, std::string(32, 'T'), long_artist, "\xC3\xA9\xFF\x80")}}},
        {"all strings empty zero the whole block",
         {"-w", "-t", "-a", "-c", "a.nsf"},
         written("a.nsf"),
         {{"a.nsf", tagged(kDemo, "", "", "")}}},
        {"unusable files are reported in view mode",
         {"text.txt", "lower.nsf", "three", "empty", "dir", "missing", ""},
         not_nsf + not_nsf + not_nsf + not_nsf + not_nsf + "File open error!(in)\n" +
             "File open error!(in)\n",
         {}},
        {"unusable files are reported and left alone in write mode, none created",
         {"-w", "-tX", "text.txt", "lower.nsf", "three", "empty", "dir", "missing", ""},
         not_nsf + not_nsf + not_nsf + not_nsf + "File open error!(apply)\n" +
             "File open error!(apply)\n" + "File open error!(apply)\n",
         {}},
        {"short files read as zero past their end and grow to 110 on write",
         {"partial.nsf", "-w", "-aNew", "partial.nsf", "-cC", "bare.nsf"},
         shown("partial.nsf", "Partial title", "", "") + written("partial.nsf") +
             written("bare.nsf"),
         {{"partial.nsf", tagged(kPartial, "Partial title", "New", "")},
          {"bare.nsf", tagged("NESM", "", "New", "C")}}},
        {"a read-only file is viewed but not written",
         {"ro.nsf", "-w", "-tX", "ro.nsf"},
         demo_shown("ro.nsf") + "File open error!(apply)\n",
         {},
         0,
         as_user + " %"},
        {"a write stopped by the file-size limit is reported, not claimed",
         {"-w", "-tX", "bare.nsf", "-v", "bare.nsf"},
         "File write error!(apply)\n" + shown("bare.nsf", "", "", ""),
         {},
         0,
         "trap '' XFSZ && ulimit -f 0 && %"},
        {"a pipe is viewed from its bytes in order",
         {"/dev/stdin"},
         demo_shown("/dev/stdin"),
         {},
         0,
         "cat a.nsf | %"},
        {"a pipe cannot be written in place",
         {"-w", "-tX", "/dev/stdin"},
         "File write error!(apply)\n",
         {},
         0,
         "cat a.nsf | %"},
        {"a read error after the signature is reported and nothing is written",
         {"a.nsf", "-w", "-tX", "a.nsf"},
         "File read error!(in)\nFile write error!(apply)\n",
         {},
         0,
         fault("read")},
        {"a failed close after a write is reported, not claimed; a view ignores it",
         {"-w", "-tNew", "a.nsf", "-v", "b.nsf"},
         "File write error!(apply)\n" + demo_shown("b.nsf"),
         {{"a.nsf", demo_new}},
         0,
         fault("close")},
        {"short writes are carried on to the whole block",
         {"-w", "-tNew", "a.nsf"},
         written("a.nsf"),
         {{"a.nsf", demo_new}},
         0,
         fault("short")},
        {"a full standard output ends with status 1",
         {"-w", "-tNew", "a.nsf"},
         "",
         {{"a.nsf", demo_new}},
         1,
         "% >/dev/full",
         "ombrek: write error on standard output: No space left on device\n"},
        {"a closed standard output never reaches a file",
         {"-w", "-tNew", "a.nsf", "b.nsf"},
         "",
         {{"a.nsf", demo_new}, {"b.nsf", demo_new}},
         1,
         "% >&-",
         "ombrek: write error on standard output: Bad file descriptor\n"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.label);
        reset();
        const Result r = ombrek(c.args, c.shell);
        EXPECT_EQ(r.out, c.out);
        EXPECT_EQ(r.err, c.err);
        EXPECT_EQ(r.status, c.status);
        std::map<std::string, std::string> expected = kFiles;
        for (const auto &[name, bytes] : c.changed)
            expected[name] = bytes;
        EXPECT_EQ(files(), expected);
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
