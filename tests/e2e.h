// SPDX-License-Identifier: ISC
// What the end-to-end tests share: the sample, the tool's expected output,
// and a fixture that runs the built tool in a folder of known files.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <sys/wait.h>

namespace e2e {

namespace fs = std::filesystem;
using std::string_literals::operator""s;

inline std::string slurp(const fs::path &path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

inline const std::string kDemo = slurp(DEMO_NSF);
inline const std::string kHelp =
    " -t[title]\t\t set title string\n -a[artist]\t\t set artist string\n"
    " -c[copyright]\t\t set copyright string\n\n -w\t\t\t set strings to file\n"
    " -v\t\t\t view info in file\n -?,-h\t\t\t display this help\n";

inline std::string help(const std::string &program) {
    return "Ombrek version " OMBREK_VERSION "\n\nUsage " + program + " : [options] filenames...\n" +
           kHelp;
}
inline std::string shown(const std::string &file, const std::string &title,
                         const std::string &artist, const std::string &copyright) {
    return "-------- file : " + file + " --------\nTitle : " + title + "\nArtist : " + artist +
           "\nCopyright : " + copyright + "\n";
}
inline std::string demo_shown(const std::string &file) {
    return shown(file, "Ombrek Demo Tone", "Ombrek", "2026 Ombrek project");
}
inline std::string written(const std::string &file) {
    return "-------- file : " + file + " --------\n";
}

/// `file` with its three fields replaced, computed independently of the tool:
/// each text cut at 32 bytes and zero-padded; the file grows to 110 if shorter.
inline std::string tagged(std::string file, const std::string &title, const std::string &artist,
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

inline const std::string kPartial = "NESM\x1A\x01\x01\x01\0\x80\0\x80\0\x80Partial title"s;

/// A file whose name and tags would take over a terminal: clear the screen,
/// write the clipboard, set the window title, forge a line. The C1 control
/// CSI (0xC2 0x9B) counts as one character; the copyright's bytes are all
/// printable (0xC2 0xA9 is the copyright sign) and are shown as they are.
inline const std::string kEvil = "\x1B[2J\rname\n\xC2\x9B"
                                 "1m.nsf";
inline const std::string kEvilTitle = "\x1B]52;c;b3duZWQ=\x07";
inline const std::string kEvilArtist = "\x1B]0;title\x07\x7F\xC2";
inline const std::string kEvilCopyright = "\xC2\xA9 2026 \xC3\xA9\xFF\x9B";

/// The files every case starts from, in a folder of their own.
// clang-format off
inline const std::map<std::string, std::string> kFiles = {
    {"a.nsf", kDemo}, {"b.nsf", kDemo}, {"ro.nsf", kDemo}, {"bare.nsf", "NESM"},
    {"partial.nsf", kPartial}, {"text.txt", "plain text, no signature"},
    {"lower.nsf", "nesm" + kDemo.substr(4)}, {"three", "NES"}, {"empty", ""},
    {kEvil, tagged(kDemo, kEvilTitle, kEvilArtist, kEvilCopyright)}};
// clang-format on

struct Result {
    std::string out, err;
    int status;
};

class Ombrek : public testing::Test {
  protected:
    void SetUp() override {
        std::string name = (fs::temp_directory_path() / "ombrek-test-XXXXXX").string();
        ASSERT_NE(mkdtemp(name.data()), nullptr);
        dir_ = name;
    }
    void TearDown() override { fs::remove_all(dir_); }

    /// Lays out kFiles afresh, with ro.nsf read-only, an empty folder "dir" and
    /// a FIFO "fifo".
    void reset() {
        fs::remove_all(dir_ / "t");
        fs::create_directories(dir_ / "t" / "dir");
        ASSERT_EQ(mkfifo((dir_ / "t" / "fifo").c_str(), 0644), 0);
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

    /// Runs the tool in the test folder through sh, as each `%` of `shell`, which
    /// may set limits, feed standard input or redirect standard output.
    Result ombrek(const std::vector<std::string> &args, std::string shell) {
        std::string invocation = "'" OMBREK_BIN "'";
        for (const std::string &arg : args)
            invocation += " '" + arg + "'";
        for (auto at = shell.find('%'); at != std::string::npos;
             at = shell.find('%', at + invocation.size()))
            shell.replace(at, 1, invocation);
        const std::string command = "cd '" + (dir_ / "t").string() + "' && " + shell + " 2>'" +
                                    (dir_ / "err").string() + "'";
        std::FILE *pipe = popen(command.c_str(), "r");
        std::string out(64 * 1024, '\0');
        out.resize(std::fread(out.data(), 1, out.size(), pipe));
        const int status = pclose(pipe);
        return {out, slurp(dir_ / "err"), WEXITSTATUS(status)};
    }

    fs::path dir_;
};

} // namespace e2e
