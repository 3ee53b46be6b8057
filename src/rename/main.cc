// SPDX-License-Identifier: ISC
// ombrek-rename: renames NSF files after their tags, in their own folders,
// to names every filesystem takes, never over anything.

#include "collection/encoding.h"
#include "collection/files.h"
#include "collection/table.h"
#include "nsf/print.h"
#include "nsf/tag_block.h"
#include "nsf/tag_file.h"
#include "rename/name.h"

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <numeric>
#include <set>
#include <string>
#include <string_view>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

constexpr char kUsage[] =
    "usage: ombrek-rename [-n] [-f FORMAT] [--encoding=NAME] [--] [FOLDER...]\n"
    "\n"
    "Renames each NSF file under the FOLDERs (default: the current folder), at\n"
    "any depth, named *.nsf in any case, in its own folder, to \"ARTIST - TITLE.nsf\"\n"
    "(\"TITLE.nsf\" when it has no artist), or to FORMAT with %t, %a, %c and %%,\n"
    "then .nsf. A file with no title keeps its name; a tag of <?> counts as none.\n"
    "Names are made for every filesystem: < > : \" / \\ | ? *, control characters\n"
    "and bytes that are not UTF-8 become _. A file keeps its name, with a line,\n"
    "when the new name is taken by anything or would begin with a dot.\n"
    "\n"
    "  -n               print the renames, and rename nothing\n"
    "  -f FORMAT        the new name's form\n"
    "  --encoding=NAME  read tags that are not UTF-8 as NAME (an iconv name)\n"
    "  -h               print this help\n"
    "\n"
    "Prints each rename as the old name and the new, separated by a tab. Status: 0;\n"
    "1 when a file kept its name for a reason above or failed; 2 on a wrong\n"
    "argument. See ombrek-rename(1).\n";

/// Why a file keeps its name; each is counted.
enum Reason : std::size_t { taken, hidden, unreadable, failed, kReasons };
constexpr std::array<std::string_view, kReasons> kSaid{
    "the new name is taken", "the new name would hide it", "", "it could not be renamed"};
constexpr std::array<std::string_view, kReasons> kCounted{"name taken", "would be hidden",
                                                          "not read", "rename failed"};

struct Options {
    bool dry_run = false;
    std::string_view format;
    const char *encoding = nullptr;
    std::vector<const char *> folders;
};

/// Where a line goes, and whether a terminal is listening there.
struct Out {
    std::FILE *stream;
    bool terminal;
};

void put_name(const Out &out, std::string_view name) {
    if (out.terminal)
        nsf::put_shown(out.stream, name, nsf::Display::terminal);
    else
        collection::put_cell(out.stream, name);
}

/// A run: its options, what the dry run has renamed so far, and the counts.
struct Run {
    const Options &options;
    const collection::Encoding &encoding;
    Out out, err;
    std::set<std::string> claimed{}, freed{}; // new and old names of a dry run
    std::size_t renamed = 0, unchanged = 0;
    std::array<std::size_t, kReasons> kept{};
};

void keep(Run &run, std::string_view old, Reason reason, std::string_view said,
          std::string_view name = {}) {
    std::fputs("ombrek-rename: ", run.err.stream);
    put_name(run.err, old);
    std::fprintf(run.err.stream, ": kept: %.*s", static_cast<int>(said.size()), said.data());
    if (!name.empty()) {
        std::fputs(": ", run.err.stream);
        put_name(run.err, name);
    }
    std::fputc('\n', run.err.stream);
    ++run.kept[reason];
}

/// Renames `from` to `to`, never over anything: renameat2's RENAME_NOREPLACE;
/// where the filesystem lacks it, a hard link then the old name's removal;
/// where it has neither (FAT), a check that `to` is free, then rename, which
/// another process could beat. Returns 0 or the error.
int rename_new(const std::string &from, const std::string &to) {
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return errno;
    if (link(from.c_str(), to.c_str()) == 0) {
        if (unlink(from.c_str()) == 0)
            return 0;
        const int error = errno;
        (void)unlink(to.c_str());
        return error;
    }
    if (errno == EEXIST)
        return EEXIST;
    struct stat status {};
    if (lstat(to.c_str(), &status) == 0)
        return EEXIST;
    return std::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

/// Renames `from` to `to`, the same file under another case of its name on a
/// filesystem that ignores case: through a free name of its own, since the
/// new name finds the old file.
int rename_case(const std::string &from, const std::string &to) {
    const std::string folder = from.substr(0, from.rfind('/') + 1);
    const std::string step = folder + "ombrek-rename-" + std::to_string(getpid()) + ".nsf";
    if (const int error = rename_new(from, step); error != 0)
        return error;
    const int error = rename_new(step, to);
    if (error != 0)
        (void)rename_new(step, from);
    return error;
}

/// True when `path` differs from `old` only in case and names no entry of
/// its own: on a filesystem that ignores case, it finds the old file itself.
/// (FUSE filesystems give each name an inode of its own, so the folder's
/// entries tell, not inodes.)
bool same_file_other_case(const std::string &path, const std::string &old) {
    const std::size_t slash = old.rfind('/') + 1;
    const std::string_view a = std::string_view(old).substr(slash);
    const std::string_view b = std::string_view(path).substr(slash);
    struct stat status {};
    if (a.size() != b.size() || strncasecmp(a.data(), b.data(), a.size()) != 0 ||
        lstat(path.c_str(), &status) == -1)
        return false;
    DIR *dir = opendir(old.substr(0, slash).c_str());
    if (dir == nullptr)
        return false;
    bool listed = false;
    while (const dirent *entry = readdir(dir))
        listed = listed || b == entry->d_name;
    (void)closedir(dir); // read only: nothing to lose
    return !listed;
}

void rename_one(Run &run, const collection::Found &file) {
    nsf::Head head{};
    if (const nsf::Result read = nsf::read_tags(file.name.c_str(), head);
        read.outcome != nsf::Outcome::done) {
        const std::string why =
            read.outcome == nsf::Outcome::not_nsf
                ? std::string("the file is not NSF format")
                : std::string("it cannot be read: ") + std::strerror(read.error);
        return keep(run, file.name, unreadable, why);
    }
    const auto block = nsf::tag_block(std::as_const(head));
    std::array<std::string, 3> shown;
    for (nsf::Field field : {nsf::title, nsf::artist, nsf::copyright})
        shown[field] = run.encoding.shown(nsf::stored_text(block, field));
    const auto base = rename_nsf::name_for(run.options.format, {shown[0], shown[1], shown[2]});
    const std::string folder = file.name.substr(0, file.name.rfind('/') + 1);
    if (!base || folder + *base == file.name) {
        ++run.unchanged;
        return;
    }
    const std::string path = folder + *base;
    if (base->starts_with('.'))
        return keep(run, file.name, hidden, kSaid[hidden], path);
    const bool case_only = same_file_other_case(path, file.name);
    if (run.options.dry_run) {
        // The run learns that a name is taken from the rename itself.
        struct stat status {};
        const bool exists = !case_only && lstat(path.c_str(), &status) == 0;
        if (run.claimed.contains(path) || (exists && !run.freed.contains(path)))
            return keep(run, file.name, taken, kSaid[taken], path);
        run.claimed.insert(path);
        run.freed.insert(file.name);
    } else if (const int error =
                   case_only ? rename_case(file.name, path) : rename_new(file.name, path);
               error != 0) {
        return keep(run, file.name, error == EEXIST ? taken : failed,
                    error == EEXIST ? kSaid[taken]
                                    : std::string(kSaid[failed]) + ": " + std::strerror(error),
                    path);
    }
    put_name(run.out, file.name);
    std::fputc('\t', run.out.stream);
    put_name(run.out, path);
    std::fputc('\n', run.out.stream);
    ++run.renamed;
}

/// The line that ends a run, when it found a file; returns how many kept
/// their names for a reason.
std::size_t summarize(const Run &run, bool nothing_found) {
    const std::size_t kept = std::accumulate(run.kept.begin(), run.kept.end(), std::size_t{0});
    if (nothing_found)
        return kept;
    std::fprintf(stderr, "ombrek-rename: %zu %s, %zu kept", run.renamed,
                 run.options.dry_run ? "to be renamed" : "renamed", kept);
    const char *separator = " (";
    for (std::size_t reason = 0; reason < kReasons; ++reason) {
        if (run.kept[reason] > 0) {
            std::fprintf(stderr, "%s%zu %s", separator, run.kept[reason], kCounted[reason].data());
            separator = ", ";
        }
    }
    std::fprintf(stderr, "%s, %zu unchanged\n", kept > 0 ? ")" : "", run.unchanged);
    return kept;
}

/// Reads the options; false on a wrong one.
bool read_options(int argc, char *argv[], Options &options) {
    constexpr std::string_view kEncoding = "--encoding=";
    int i = 1;
    for (; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--") {
            ++i;
            break;
        }
        if (arg == "-n") {
            options.dry_run = true;
        } else if (arg.starts_with("-f")) {
            if (arg.size() == 2 && i + 1 == argc)
                return false;
            options.format = arg.size() > 2 ? arg.substr(2) : std::string_view(argv[++i]);
            if (options.format.empty() || !rename_nsf::valid_format(options.format))
                return false;
        } else if (arg.starts_with(kEncoding) && arg.size() > kEncoding.size()) {
            options.encoding = argv[i] + kEncoding.size();
        } else if (arg.starts_with('-')) {
            return false;
        } else {
            options.folders.push_back(argv[i]);
        }
    }
    options.folders.insert(options.folders.end(), argv + i, argv + argc);
    if (options.folders.empty())
        options.folders.push_back(".");
    return true;
}

} // namespace

int main(int argc, char *argv[]) {
    const bool terminal = nsf::set_up_stdout();
    if (argc > 1 && (std::string_view(argv[1]) == "-h" || std::string_view(argv[1]) == "--help")) {
        std::fputs(kUsage, stdout);
        return nsf::close_stdout("ombrek-rename") ? 0 : 1;
    }
    Options options;
    if (!read_options(argc, argv, options)) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    const Out err{stderr, isatty(STDERR_FILENO) == 1};
    collection::Encoding encoding;
    if (options.encoding != nullptr && !encoding.open(options.encoding)) {
        std::fputs("ombrek-rename: ", stderr);
        put_name(err, options.encoding);
        std::fprintf(stderr, ": no such encoding: %s\n", std::strerror(errno));
        return 2;
    }
    Run run{options, encoding, {stdout, terminal}, err};
    bool unreadable_folder = false;
    const auto files =
        collection::find_nsf_files(options.folders, [&](std::string_view name, int error) {
            std::fputs("ombrek-rename: ", stderr);
            put_name(err, name);
            std::fprintf(stderr, ": %s\n", std::strerror(error));
            unreadable_folder = true;
        });
    for (const collection::Found &file : files)
        rename_one(run, file);
    const std::size_t kept = summarize(run, files.empty());
    const int status = kept > 0 || unreadable_folder ? 1 : 0;
    return nsf::close_stdout("ombrek-rename") ? status : 1;
}
