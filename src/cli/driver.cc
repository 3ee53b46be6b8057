// SPDX-License-Identifier: ISC
#include "cli/driver.h"

#include "nsf/tag_block.h"
#include "nsf/tag_file.h"

#include <array>
#include <cstdint>
#include <cstdio>
#include <optional>

namespace cli {
namespace {

constexpr char kBanner[] = "Ombrek version " OMBREK_VERSION "\n";
constexpr char kUsageFormat[] = "\nUsage %s : [options] filenames...\n";
constexpr char kOptionList[] = " -t[title]\t\t set title string\n"
                               " -a[artist]\t\t set artist string\n"
                               " -c[copyright]\t\t set copyright string\n"
                               "\n"
                               " -w\t\t\t set strings to file\n"
                               " -v\t\t\t view info in file\n"
                               " -?,-h\t\t\t display this help\n";
constexpr char kUnknownOption[] = "Unknown option\n";

enum class Mode { view, write };

void print_banner() {
    std::fputs(kBanner, stdout);
}

void print_help(const char *program_name, nsf::Display display) {
    nsf::print_shown(display, kUsageFormat, {program_name});
    std::fputs(kOptionList, stdout);
}

} // namespace

int run_ombrek(int argc, const char *const argv[], nsf::Display display) {
    const char *program_name =
        argc > 0 && argv[0] != nullptr && argv[0][0] != '\0' ? argv[0] : kProgramName;
    if (argc <= 1) {
        print_banner();
        print_help(program_name, display);
        return -1;
    }
    Mode mode = Mode::view;
    // The strings set by -t, -a and -c point at the option's text, which lives
    // for the whole run; null means not set, and the file's field is kept.
    // A field takes at most the first 32 bytes of the text, never part of a
    // UTF-8 character.
    std::array<const char *, nsf::kFields.size()> pending{};
    std::optional<std::uint64_t> size_limit; // learnt at the first file written
    for (int i = 1; i < argc; ++i) {
        const char *arg = argv[i];
        if (arg[0] != '-') {
            if (mode == Mode::view) {
                nsf::view_tags(arg, display);
                continue;
            }
            if (!size_limit)
                size_limit = nsf::file_size_limit();
            nsf::apply_tags(arg, pending[nsf::title], pending[nsf::artist], pending[nsf::copyright],
                            display, *size_limit);
            continue;
        }
        // The option letter is the second character; -t, -a and -c take the
        // rest of the argument as their text, the others ignore it.
        switch (arg[1]) {
        case '?':
        case 'h':
            print_banner();
            print_help(program_name, display);
            break;
        case 't': pending[nsf::title] = arg + 2; break;
        case 'a': pending[nsf::artist] = arg + 2; break;
        case 'c': pending[nsf::copyright] = arg + 2; break;
        case 'v': mode = Mode::view; break;
        case 'w': mode = Mode::write; break;
        default: std::fputs(kUnknownOption, stdout); break;
        }
    }
    return 0;
}

} // namespace cli
