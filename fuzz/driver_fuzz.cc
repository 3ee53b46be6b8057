// SPDX-License-Identifier: ISC
// Fuzzes the argument loop with arbitrary argument vectors. Input: arguments
// separated by zero bytes. An argument that begins with '-' is passed as it
// is; any other names one of the scratch folder's files, chosen by its first
// byte modulo 8 ('0' to '7' pick them in the order of kNames), so the run
// never reaches a file outside the folder.

#include "cli/driver.h"
#include "scratch.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace {

const std::string kDemo = std::string("NESM\x1a\x01\x01\x01\x00\x80\x00\x80\x00\x80", 14) +
                          "Title" + std::string(27, '\0') + "Artist" + std::string(26, '\0') +
                          std::string(32, 'C') + std::string(40, '\xea');

// clang-format off
const std::array<std::pair<const char *, std::string>, 5> kFiles{{
    {"demo.nsf", kDemo}, {"short.nsf", kDemo.substr(0, 30)}, {"bare.nsf", "NESM"},
    {"text.txt", "not an NSF file"}, {"ne", "NE"}}};
// clang-format on
constexpr std::array<const char *, 8> kNames{"demo.nsf", "short.nsf", "bare.nsf", "text.txt",
                                             "ne",       "missing",   "folder",   ""};

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    scratch::enter();
    std::filesystem::create_directory("folder");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    for (const auto &[name, bytes] : kFiles)
        scratch::spill(name, bytes);
    std::vector<std::string> args{"ombrek"};
    const std::string input(reinterpret_cast<const char *>(data), size);
    for (std::size_t at = 0; at <= input.size() && args.size() < 64;) {
        const std::size_t end = std::min(input.find('\0', at), input.size());
        std::string arg = input.substr(at, end - at);
        if (arg.empty() || arg[0] != '-')
            arg = kNames[static_cast<unsigned char>(arg.empty() ? 0 : arg[0]) % kNames.size()];
        args.push_back(arg);
        at = end + 1;
    }
    if (size == 0)
        args.resize(1);
    std::vector<const char *> argv(args.size());
    std::transform(args.begin(), args.end(), argv.begin(), [](auto &arg) { return arg.c_str(); });
    const int argc = static_cast<int>(argv.size());
    argv.push_back(nullptr);

    const int status = cli::run_ombrek(argc, argv.data(), nsf::Display::terminal);
    scratch::require(status == (argc <= 1 ? -1 : 0), "wrong exit status");
    for (const auto &[name, bytes] : kFiles)
        scratch::require(scratch::only_block_changed(bytes, scratch::slurp(name)),
                         "a file changed outside its tag block");
    scratch::require(!std::filesystem::exists("missing"), "a file was created");
    return 0;
}
