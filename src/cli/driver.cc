#include "cli/driver.h"

#include "nsf/tag_block.h"
#include "nsf/tag_file.h"

#include <array>
#include <cstdio>
#include <cstring>

namespace cli {
namespace {

constexpr char kBanner[] = "Ombrek version 0.01\n";
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

/// A string set by -t, -a or -c. Until an option sets it, it is "not set" and
/// its field is kept. It keeps at most 63 bytes of the option's text, more
/// than a 32-byte field can take.
struct Pending {
    std::array<char, 64> text{};
    bool set = false;
};

void set_pending(Pending &pending, const char *text) {
    const std::size_t length = strnlen(text, pending.text.size() - 1);
    std::memcpy(pending.text.data(), text, length);
    pending.text[length] = '\0';
    pending.set = true;
}

const char *pending_text(const Pending &pending) {
    return pending.set ? pending.text.data() : nullptr;
}

void print_banner() {
    std::fputs(kBanner, stdout);
}

void print_help(const char *program_name) {
    std::printf(kUsageFormat, program_name);
    std::fputs(kOptionList, stdout);
}

} // namespace

int run_ombrek(int argc, const char *const argv[]) {
    const char *program_name = argc > 0 && argv[0] != nullptr ? argv[0] : kProgramName;
    if (argc <= 1) {
        print_banner();
        print_help(program_name);
        return -1;
    }
    Mode mode = Mode::view;
    std::array<Pending, nsf::kFields.size()> pending{};
    for (int i = 1; i < argc; ++i) {
        const char *arg = argv[i];
        if (arg[0] != '-') {
            if (mode == Mode::view)
                nsf::view_tags(arg);
            else
                nsf::apply_tags(arg, pending_text(pending[nsf::title]),
                                pending_text(pending[nsf::artist]),
                                pending_text(pending[nsf::copyright]));
            continue;
        }
        // The option letter is the second character; -t, -a and -c take the
        // rest of the argument as their text, the others ignore it.
        switch (arg[1]) {
        case '?':
        case 'h':
            print_banner();
            print_help(program_name);
            break;
        case 't': set_pending(pending[nsf::title], arg + 2); break;
        case 'a': set_pending(pending[nsf::artist], arg + 2); break;
        case 'c': set_pending(pending[nsf::copyright], arg + 2); break;
        case 'v': mode = Mode::view; break;
        case 'w': mode = Mode::write; break;
        default: std::fputs(kUnknownOption, stdout); break;
        }
    }
    return 0;
}

} // namespace cli
