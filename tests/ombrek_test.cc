// SPDX-License-Identifier: ISC
// End-to-end: runs the built tool in a fresh temporary folder and checks its
// exact output, exit status and the bytes of every file before and after.

#include "cli/driver.h"
#include "e2e.h"
#include "nsf/tag_file.h"

#include <functional>
#include <regex>

#include <unistd.h>

namespace {

using namespace e2e;
using std::string_literals::operator""s;

/// One run of the tool: its arguments and shell, and all it should leave.
struct Row {
    const char *label;
    std::vector<std::string> args;
    std::string out;
    std::map<std::string, std::string> changed; // files whose bytes change
    int status = 0;
    std::string shell = "%", err = "";
    friend void PrintTo(const Row &row, std::ostream *os) { *os << row.label; }
};

std::vector<Row> rows() {
    const std::string long_artist(5000, 'L');
    const std::string final_fantasy = "ファイナルファンタジーIII";      // 3 bytes a character
    const std::string overlong = std::string(30, 'x') + "\xE0\x80\x80"; // no character
    const std::string unknown = "Unknown option\n";
    const std::string not_nsf = "the file is not NSF format\n";
    // Root writes any file; without the capability that lets it, it meets the file's mode as
    // a user does, and can still run the tool from a folder that only root may enter.
    const std::string as_user =
        geteuid() == 0 ? "setpriv --inh-caps=-all --bounding-set=-dac_override,-dac_read_search"
                       : "";
    const std::string demo_first = tagged(kDemo, "First", "Both", "2026 Ombrek project");
    const std::string demo_new = tagged(kDemo, "New", "Ombrek", "2026 Ombrek project");
    // A sanitized tool would refuse to start with the shim loaded ahead of its runtime.
    // LD_PRELOAD splits at blanks, so the shim's folder goes in LD_LIBRARY_PATH.
    const auto fault = [](const std::string &kind) {
        return "env ASAN_OPTIONS=verify_asan_link_order=0 LD_LIBRARY_PATH='" FAULT_SHIM_DIR
               "' LD_PRELOAD=" FAULT_SHIM_NAME " OMBREK_FAULT=" +
               kind + " %";
    };
    // On a terminal every control character shows as '?'; a pipe gets the bytes.
    const std::string evil_shown =
        shown("?[2J?name??1m.nsf", "?]52;c;b3duZWQ=?", "?]0;title??\xC2", kEvilCopyright);
    const std::string terminal = "script -qec \"stty -onlcr; (sleep 0.5; echo MARK >&2; "
                                 "cat a.nsf) | %\" /dev/null </dev/null";
    // Twenty files viewed and twenty written under a limit of eight descriptors.
    std::vector<std::string> forty(20, "a.nsf");
    forty.insert(forty.end(), {"-w", "-tNew"});
    forty.insert(forty.end(), 20, "b.nsf");
    std::string forty_out;
    for (int i = 0; i < 20; ++i)
        forty_out = demo_shown("a.nsf") + forty_out + written("b.nsf");
    return {
        {"no arguments: banner and help", {}, help(OMBREK_BIN), {}, 255},
        {"files before any mode are viewed", {"a.nsf"}, demo_shown("a.nsf"), {}},
        {"help between files sets nothing, whatever letters follow it",
         {"a.nsf", "-h", "-w", "-tX", "-hY", "b.nsf", "-?x"},
         demo_shown("a.nsf") + help(OMBREK_BIN) + help(OMBREK_BIN) + written("b.nsf") +
             help(OMBREK_BIN),
         {{"b.nsf", tagged(kDemo, "X", "Ombrek", "2026 Ombrek project")}}},
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
        {"only the given fields are written, so a run cannot undo another's field",
         {"-w", "a.nsf", "-tT", "bare.nsf", "a.nsf", "-cC", "a.nsf", "-aA", "b.nsf"},
         written("a.nsf") + written("bare.nsf") + written("a.nsf") + written("a.nsf") +
             written("b.nsf"),
         {{"a.nsf", tagged(kDemo, "T", "Ombrek", "C")},
          {"bare.nsf", tagged("NESM", "T", "", "")},
          {"b.nsf", tagged(kDemo, "T", "A", "C")}},
         0,
         fault("trace"),
         "pwrite 14 96\npwrite 14 32\npwrite 14 32\npwrite 78 32\npwrite 14 96\n"},
        {"32 bytes stored whole, shown as 31; longer cut; bytes above 0x7F kept",
         {"-w", "-t" + std::string(32, 'T'), "-a" + long_artist, "-c\xC3\xA9\xFF\x80", "a.nsf",
          "-v", "a.nsf"},
         written("a.nsf") +
             shown("a.nsf", std::string(31, 'T'), std::string(31, 'L'), "\xC3\xA9\xFF\x80"),
         {{"a.nsf", tagged(kDemo, std::string(32, 'T'), long_artist, "\xC3\xA9\xFF\x80")}}},
        {"a longer text is cut before a UTF-8 character the cut would split, and only then",
         {"-w", "-t" + final_fantasy, "-a" + std::string(30, 'a') + "\xF0\x9F\x8E\xB5",
          "-c" + overlong, "a.nsf"},
         written("a.nsf"),
         {{"a.nsf", tagged(kDemo, final_fantasy.substr(0, 30), std::string(30, 'a'),
                           overlong.substr(0, 32))}}},
        {"all strings empty zero the whole block",
         {"-w", "-t", "-a", "-c", "a.nsf"},
         written("a.nsf"),
         {{"a.nsf", tagged(kDemo, "", "", "")}}},
        {"unusable files are reported in view mode; a FIFO or a silent pipe does not block",
         {"text.txt", "lower.nsf", "three", "empty", "dir", "fifo", "/dev/stdin", "missing", ""},
         not_nsf + not_nsf + not_nsf + not_nsf + not_nsf + not_nsf + not_nsf +
             "File open error!(in)\n" + "File open error!(in)\n",
         {},
         0,
         // The writer stays open after its text.
         "{ printf 'hello, not an NSF'; sleep 3 2>&- & } | timeout 2 %"},
        {"unusable files are reported and left alone in write mode, none created",
         {"-w", "-tX", "text.txt", "lower.nsf", "three", "empty", "dir", "fifo", "/dev/stdin",
          "missing", ""},
         not_nsf + not_nsf + not_nsf + not_nsf + "File open error!(apply)\n" +
             "File open error!(apply)\n" + "File open error!(apply)\n" +
             "File open error!(apply)\n" + "File open error!(apply)\n",
         {},
         0,
         "cat a.nsf | timeout 10 %"},
        {"a terminal sees control characters as '?', and each line as it is made",
         {kEvil, "/dev/stdin", "-w", kEvil},
         evil_shown + "MARK\n" + demo_shown("/dev/stdin") + written("?[2J?name??1m.nsf"),
         {},
         0,
         terminal},
        {"a pipe gets names and tags byte for byte",
         {kEvil},
         shown(kEvil, kEvilTitle, kEvilArtist, kEvilCopyright),
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
        {"a write that would pass the file-size limit is not started",
         {"-w", "-tNEWTITLE", "a.nsf", "-aNEWARTIST", "b.nsf", "bare.nsf"},
         written("a.nsf") + "File write error!(apply)\n" + "File write error!(apply)\n",
         {{"a.nsf", tagged(kDemo, "NEWTITLE", "Ombrek", "2026 Ombrek project")}},
         0,
         "prlimit --fsize=46 %"},
        {"a short file is cut back even when its old bytes cannot be put back",
         {"-w", "-tNEWTITLE-NEWTITLE", "-aNEWARTIST", "bare.nsf"},
         "File write error!(apply)\n",
         {},
         0,
         fault("eio")},
        {"a file-size limit lowered during the run: the field is put back, the output fails",
         {"-w", "-cNew", "a.nsf", "-v", "a.nsf", "b.nsf"},
         "",
         {},
         1,
         fault("fsize") + " >../out",
         "ombrek: write error on standard output: File too large\n"},
        {"a write cut short puts the old bytes back",
         {"-w", "-tNEWTITLE", "-aNEWARTIST", "a.nsf", "partial.nsf"},
         "File write error!(apply)\nFile write error!(apply)\n",
         {},
         0,
         fault("full")},
        {"a pipe is viewed from its bytes in order, however they arrive",
         {"/dev/stdin"},
         demo_shown("/dev/stdin"),
         {},
         0,
         "(head -c 6 a.nsf; sleep 0.2; tail -c +7 a.nsf) | %"},
        {"a file under a lease is waited for, not refused",
         {"a.nsf", "-w", "-tNew", "b.nsf"},
         demo_shown("a.nsf") + written("b.nsf"),
         {{"b.nsf", demo_new}},
         0,
         fault("lease")},
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
        {"interrupted reads and writes are made again",
         {"a.nsf", "-w", "-tNew", "a.nsf", "partial.nsf"},
         demo_shown("a.nsf") + written("a.nsf") + written("partial.nsf"),
         {{"a.nsf", demo_new}, {"partial.nsf", tagged(kPartial, "New", "", "")}},
         0,
         fault("eintr")},
        {"a write that stores nothing is a failure, and leaves even a short file's time",
         {"-w", "-tNew", "a.nsf", "bare.nsf"},
         "File write error!(apply)\nFile write error!(apply)\n",
         {},
         0,
         "{ touch -d @1 bare.nsf && timeout 10 " + fault("zero") +
             " && find bare.nsf -mmin +1 >&2; }",
         "bare.nsf\n"},
        {"a file that answers EAGAIN while it does not block is read as cat reads it",
         {"a.nsf", "-w", "-tNew", "b.nsf"},
         demo_shown("a.nsf") + written("b.nsf"),
         {{"b.nsf", demo_new}},
         0,
         "timeout 10 " + fault("eagain")},
        {"no descriptor is left open",
         forty,
         forty_out,
         {{"b.nsf", demo_new}},
         0,
         "(ulimit -n 8 && exec %)"},
        {"a small stack is enough", {"a.nsf"}, demo_shown("a.nsf"), {}, 0, "ulimit -s 64 && %"},
        {"a closed standard output never reaches a file",
         {"-w", "-tNew", "a.nsf", "b.nsf"},
         "",
         {{"a.nsf", demo_new}, {"b.nsf", demo_new}},
         1,
         "% >&-",
         "ombrek: write error on standard output: Bad file descriptor\n"},
        {"a closed standard output is no error when nothing is printed",
         {"-w", "-tNew"},
         "",
         {},
         0,
         "{ % >&- && % <&- >&-; }"},
        {"a write to standard output that fails before the end is reported",
         std::vector<std::string>(300, "-h"),
         "",
         {},
         1,
         // (LeakSanitizer cannot run under strace.)
         "ASAN_OPTIONS=detect_leaks=0 strace -o /dev/null -e trace=write "
         "-e inject=write:error=EIO:when=1 % >/dev/null",
         "ombrek: write error on standard output\n"},
    };
}

class EndToEnd : public Ombrek, public testing::WithParamInterface<Row> {};

TEST_P(EndToEnd, Run) {
    const Row &c = GetParam();
    const bool shim = c.shell.find("OMBREK_FAULT=") != std::string::npos;
    if (shim && OMBREK_STATIC_TOOL)
        GTEST_SKIP() << "a static tool cannot load the fault shim (LD_PRELOAD)";
    reset();
    const Result r = ombrek(c.args, c.shell);
    EXPECT_EQ(r.out, c.out);
    EXPECT_EQ(r.err, (shim ? "fault shim loaded\n" : "") + c.err);
    EXPECT_EQ(r.status, c.status);
    std::map<std::string, std::string> expected = kFiles;
    for (const auto &[name, bytes] : c.changed)
        expected[name] = bytes;
    EXPECT_EQ(files(), expected);
}

/// Each row is a test named by its label, '_' standing for all but letters and digits.
INSTANTIATE_TEST_SUITE_P(Row, EndToEnd, testing::ValuesIn(rows()), [](const auto &row) {
    return std::regex_replace(row.param.label, std::regex("[^A-Za-z0-9]+"), "_");
});

/// What `run` prints on standard output, in this process.
template <typename F> std::string captured(F run) {
    std::fflush(stdout);
    const int saved = dup(1);
    std::string name = (fs::temp_directory_path() / "ombrek-out-XXXXXX").string();
    const int fd = mkstemp(name.data());
    unlink(name.c_str());
    std::FILE *capture = fdopen(fd, "w+");
    dup2(fileno(capture), 1);
    run();
    std::fflush(stdout);
    dup2(saved, 1);
    close(saved);
    std::rewind(capture);
    std::string out(4096, '\0');
    out.resize(std::fread(out.data(), 1, out.size(), capture));
    std::fclose(capture);
    return out;
}

TEST(Driver, MissingOrEmptyArgumentZeroShowsToolName) {
    const char *const none[] = {nullptr};
    const char *const empty[] = {"", nullptr};
    const struct {
        int argc;
        const char *const *argv;
    } cases[] = {{0, none}, {1, empty}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.argc);
        int status = 0;
        EXPECT_EQ(captured([&] { status = cli::run_ombrek(c.argc, c.argv, nsf::Display::raw); }),
                  help("ombrek"));
        EXPECT_EQ(status, -1);
    }
}

TEST_F(Ombrek, FileOperationsReturnZeroOrMinusOne) {
    const auto view = [](const char *file) { return nsf::view_tags(file, nsf::Display::raw); };
    // A title ends at byte 46; a short file is completed to 110, past the limit.
    const auto title = [](const char *file) {
        return nsf::apply_tags(file, "T", nullptr, nullptr, nsf::Display::raw, 46);
    };
    const struct {
        const char *file;
        std::function<int(const char *)> operation;
        int result;
    } cases[] = {
        {"a.nsf", view, 0},     {"text.txt", view, -1},  {"a.nsf", title, 0},
        {"missing", title, -1}, {"bare.nsf", title, -1},
    };
    reset();
    for (const auto &c : cases) {
        SCOPED_TRACE(c.file);
        int result = 0;
        captured([&] { result = c.operation((dir_ / "t" / c.file).c_str()); });
        EXPECT_EQ(result, c.result);
    }
}

} // namespace
