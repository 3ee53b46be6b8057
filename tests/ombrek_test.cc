// End-to-end: runs the built tool in a fresh temporary folder and checks its
// exact output, exit status and the bytes of every file before and after.

#include "cli/driver.h"
#include "e2e.h"

#include <unistd.h>

namespace {

using namespace e2e;
using std::string_literals::operator""s;

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
