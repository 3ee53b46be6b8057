// SPDX-License-Identifier: ISC
// ombrek-tsv: the tags of a collection as a table to edit anywhere, and back
// into the files. Export reads each file once; import writes only the fields
// whose text differs from the file's own.

#include "collection/encoding.h"
#include "collection/files.h"
#include "collection/table.h"
#include "nsf/print.h"
#include "nsf/tag_block.h"
#include "nsf/tag_file.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <initializer_list>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

constexpr char kProgram[] = "ombrek-tsv";
constexpr char kUsage[] =
    "usage: ombrek-tsv export [--encoding=NAME] [FOLDER...] >FILE\n"
    "       ombrek-tsv import [-n] [--encoding=NAME] [FILE]\n"
    "\n"
    "export  prints a table of the NSF files under the FOLDERs (default: the\n"
    "        current folder), at any depth, named *.nsf in any case: a header\n"
    "        line, then each file's name, title, artist and copyright, separated\n"
    "        by tabs, as spreadsheets read them. \\, control characters and bytes\n"
    "        that are not UTF-8 are written \\\\, \\t, \\n, \\r and \\xHH.\n"
    "import  reads such a table from FILE (default: standard input) and writes\n"
    "        into each file the fields whose text differs from the file's own.\n"
    "\n"
    "  -n               print each field that would change; write nothing\n"
    "  --encoding=NAME  show a tag that is not UTF-8 converted from NAME (an\n"
    "                   iconv name, such as CP932), and write it back so\n"
    "  -h               print this help\n"
    "\n"
    "Status: 0; 1 when a file or a row was left out, refused or failed (each\n"
    "said on standard error); 2 on a wrong argument. See ombrek-tsv(1).\n";
constexpr char kHeader[] = "name\ttitle\tartist\tcopyright\n";
constexpr std::array<std::string_view, nsf::kFields.size()> kFieldNames{"title", "artist",
                                                                        "copyright"};

/// Where a message's or a line's pieces go, and how a name or a tag is
/// shown there: as a table cell, or on a terminal as ombrek shows it.
struct Out {
    std::FILE *stream;
    bool terminal;
};

/// A piece of a line: the program's own words, or a name or a tag.
struct Piece {
    std::string_view text;
    bool theirs = false;
};
Piece theirs(std::string_view text) {
    return {text, true};
}

void put_line(const Out &out, std::initializer_list<Piece> pieces) {
    for (const Piece &piece : pieces) {
        if (!piece.theirs)
            fwrite_unlocked(piece.text.data(), 1, piece.text.size(), out.stream);
        else if (out.terminal)
            nsf::put_shown(out.stream, piece.text, nsf::Display::terminal);
        else
            collection::put_cell(out.stream, piece.text);
    }
    putc_unlocked('\n', out.stream);
}

/// Why a file operation failed, in a user's words.
std::string failure(const nsf::Result &result) {
    const std::string reason = result.error != 0 ? std::strerror(result.error) : "";
    switch (result.outcome) {
    case nsf::Outcome::cannot_open: return "cannot be opened: " + reason;
    case nsf::Outcome::not_nsf: return "the file is not NSF format";
    case nsf::Outcome::read_error: return "cannot be read: " + reason;
    case nsf::Outcome::cannot_update:
        return "cannot be updated in place (a pipe, a FIFO or a terminal)";
    default: return "cannot be written: " + reason;
    }
}

struct Options {
    bool dry_run = false;
    const char *encoding = nullptr;
    std::vector<const char *> operands;
};

int run_export(const Options &options, const collection::Encoding &encoding, const Out &err) {
    int status = 0;
    std::vector<const char *> folders = options.operands;
    if (folders.empty())
        folders.push_back(".");
    const auto files = collection::find_nsf_files(folders, [&](std::string_view name, int error) {
        put_line(err, {{"ombrek-tsv: "}, theirs(name), {": "}, {std::strerror(error)}});
        status = 1;
    });
    std::fputs(kHeader, stdout);
    for (const collection::Found &file : files) {
        nsf::Head head{};
        const nsf::Result result = nsf::read_tags(file.name.c_str(), head);
        if (result.outcome != nsf::Outcome::done) {
            put_line(err, {{"ombrek-tsv: "}, theirs(file.name), {": "}, {failure(result)}});
            status = 1;
            continue;
        }
        collection::put_cell(stdout, file.name);
        const auto block = nsf::tag_block(std::as_const(head));
        for (nsf::Field field : {nsf::title, nsf::artist, nsf::copyright}) {
            putc_unlocked('\t', stdout);
            collection::put_cell(stdout, encoding.shown(nsf::stored_text(block, field)));
        }
        putc_unlocked('\n', stdout);
    }
    return status;
}

/// Reads the whole of the file open at `fd` into `text`; false (errno set)
/// when a read fails.
bool read_all(int fd, std::string &text) {
    constexpr std::size_t kChunk = std::size_t{64} * 1024;
    for (;;) {
        const std::size_t size = text.size();
        text.resize(size + kChunk);
        const ssize_t n = read(fd, text.data() + size, kChunk);
        text.resize(size + static_cast<std::size_t>(n > 0 ? n : 0));
        if (n == 0)
            return true;
        if (n == -1 && errno != EINTR)
            return false;
    }
}

/// The columns of a table: where the name and each field stand, if they do.
struct Columns {
    std::size_t count = 0;
    std::optional<std::size_t> name;
    std::array<std::optional<std::size_t>, nsf::kFields.size()> fields;
};

/// The columns a header row names; or the reason it cannot be read.
std::optional<std::string> read_header(const std::vector<std::string> &cells, Columns &columns) {
    columns = {cells.size(), {}, {}};
    for (std::size_t i = 0; i < cells.size(); ++i) {
        std::optional<std::size_t> *slot = cells[i] == "name" ? &columns.name : nullptr;
        for (std::size_t field = 0; field < kFieldNames.size(); ++field)
            if (cells[i] == kFieldNames[field])
                slot = &columns.fields[field];
        if (slot == nullptr)
            return "the header names a column " + cells[i] +
                   "; the columns are name, title, artist and copyright";
        if (slot->has_value())
            return "the header names the column " + cells[i] + " twice";
        *slot = i;
    }
    return std::nullopt;
}

/// An import under way: how it runs, and what it has done so far.
struct Import {
    const Options &options;
    const collection::Encoding &encoding;
    Out out, err;
    std::uint64_t size_limit;
    Columns columns{nsf::kFields.size() + 1, 0, {1, 2, 3}};
    std::map<std::pair<dev_t, ino_t>, std::size_t> seen{}; // each file's first line
    std::size_t written = 0, unchanged = 0, refused = 0;
};

/// The texts of a row's fields, a missing cell's none; or why a cell
/// cannot be read.
using FieldTexts = std::array<std::optional<std::string>, nsf::kFields.size()>;
std::string_view read_fields(const Columns &columns, const collection::Row &row,
                             FieldTexts &texts) {
    for (std::size_t field = 0; field < texts.size(); ++field) {
        const auto column = columns.fields[field];
        // A missing cell keeps its field: spreadsheets drop trailing empty cells.
        if (!column || *column >= row.cells.size())
            continue;
        texts[field] = collection::unescape(row.cells[*column]);
        if (!texts[field])
            return "a cell holds a \\ that begins no escape (write \\\\ for one)";
    }
    return {};
}

/// Puts into `changes` each field of `texts` that differs from the file's,
/// as it would be stored (converted, and cut as ombrek cuts), its bytes kept
/// in `stored`. Says so of a text that is cut. Returns why the file cannot
/// take one, or nothing.
std::string changed_fields(Import &run, std::string_view line, std::string_view name,
                           const nsf::Head &head, const FieldTexts &texts, nsf::Head &after,
                           nsf::Texts &changes) {
    const auto block = nsf::tag_block(head);
    after = head;
    for (nsf::Field field : {nsf::title, nsf::artist, nsf::copyright}) {
        const std::string_view old = nsf::stored_text(block, field);
        if (!texts[field] || run.encoding.shown(old) == *texts[field])
            continue;
        const auto bytes = run.encoding.stored(*texts[field], old);
        if (!bytes)
            return "the " + std::string(kFieldNames[field]) + " cannot be written in " +
                   run.options.encoding;
        nsf::put_field(nsf::tag_block(after), field, *bytes);
        const std::string_view kept = nsf::stored_text(nsf::tag_block(std::as_const(after)), field);
        if (kept == old)
            continue;
        if (kept.size() < bytes->size())
            put_line(run.err, {{"ombrek-tsv: "},
                               {line},
                               theirs(name),
                               {": the "},
                               {kFieldNames[field]},
                               {" is longer than 32 bytes; stored: "},
                               theirs(run.encoding.shown(kept))});
        changes[field] = kept;
    }
    return {};
}

/// Imports one row: reads its file, and writes (or, with -n, shows) the
/// fields it changes.
void import_row(Import &run, const collection::Row &row) {
    const std::string line = "line " + std::to_string(row.line) + ": ";
    std::string name = row.cells[0];
    // The reason, in up to three pieces printed as they stand.
    const auto refuse = [&](std::string_view why, std::string_view more = {},
                            std::string_view rest = {}) {
        put_line(run.err, {{"ombrek-tsv: "}, {line}, theirs(name), {": "}, {why}, {more}, {rest}});
        ++run.refused;
    };
    if (!row.fault.empty())
        return refuse(row.fault);
    if (row.cells.size() > run.columns.count)
        return refuse("more cells than the table has columns");
    if (*run.columns.name >= row.cells.size())
        return refuse("no name");
    const auto unescaped = collection::unescape(row.cells[*run.columns.name]);
    name = unescaped.value_or(name);
    if (!unescaped)
        return refuse("the name holds a \\ that begins no escape (write \\\\ for one)");
    FieldTexts texts;
    if (const std::string_view fault = read_fields(run.columns, row, texts); !fault.empty())
        return refuse(fault);
    nsf::Head head{};
    nsf::FileId id{};
    if (const nsf::Result read = nsf::read_tags(name.c_str(), head, &id);
        read.outcome != nsf::Outcome::done)
        return refuse(failure(read));
    const auto [earlier, added] = run.seen.try_emplace({id.device, id.inode}, row.line);
    if (!added)
        return refuse("the file of line ", std::to_string(earlier->second), ", by another name");
    nsf::Head after{};
    nsf::Texts changes;
    if (const std::string why = changed_fields(run, line, name, head, texts, after, changes);
        !why.empty())
        return refuse(why);
    if (std::none_of(changes.begin(), changes.end(), [](const auto &c) { return c.has_value(); })) {
        ++run.unchanged;
        return;
    }
    if (run.options.dry_run) {
        const auto block = nsf::tag_block(std::as_const(head));
        for (nsf::Field field : {nsf::title, nsf::artist, nsf::copyright})
            if (changes[field])
                put_line(run.out, {theirs(name),
                                   {"\t"},
                                   {kFieldNames[field]},
                                   {"\t"},
                                   theirs(run.encoding.shown(nsf::stored_text(block, field))),
                                   {"\t"},
                                   theirs(run.encoding.shown(*changes[field]))});
        ++run.written;
        return;
    }
    if (const nsf::Result done = nsf::write_tags(name.c_str(), changes, run.size_limit);
        done.outcome != nsf::Outcome::done)
        return refuse(failure(done));
    put_line(run.out, {theirs(name)});
    ++run.written;
}

/// Reads the table `source` ("-": standard input) whole into `table`;
/// false, with a line, when it cannot be read or is refused whole.
bool read_source(const char *source, std::string &table, const Out &err) {
    const bool from_stdin = std::string_view(source) == "-";
    const int fd = from_stdin ? STDIN_FILENO : open(source, O_RDONLY | O_CLOEXEC);
    const bool read = fd != -1 && read_all(fd, table);
    const int error = errno;
    if (fd != -1 && !from_stdin)
        (void)close(fd); // read only: nothing to lose
    if (!read) {
        put_line(err, {{"ombrek-tsv: "}, theirs(source), {": "}, {std::strerror(error)}});
        return false;
    }
    if (const auto refusal = collection::table_refusal(table)) {
        put_line(err,
                 {{"ombrek-tsv: "}, theirs(source), {": "}, {*refusal}, {": nothing written"}});
        return false;
    }
    return true;
}

int run_import(const Options &options, const collection::Encoding &encoding, const Out &out,
               const Out &err) {
    std::string table;
    if (!read_source(options.operands.empty() ? "-" : options.operands[0], table, err))
        return 1;
    Import run{options, encoding, out, err, options.dry_run ? 0 : nsf::file_size_limit()};
    collection::TableReader reader = collection::read_table(table);
    collection::Row row;
    for (bool first = true; collection::next_row(reader, row); first = false) {
        // A first row that names a column "name" is the header; without
        // one, the columns are the four in order.
        const bool header =
            first && row.fault.empty() &&
            std::find(row.cells.begin(), row.cells.end(), "name") != row.cells.end();
        if (!header) {
            import_row(run, row);
            continue;
        }
        if (const auto fault = read_header(row.cells, run.columns); fault || !run.columns.name) {
            put_line(err, {{"ombrek-tsv: line 1: "},
                           {fault.value_or("the header names no column name")},
                           {": nothing written"}});
            return 1;
        }
    }
    std::fprintf(stderr, "ombrek-tsv: %zu files %s, %zu unchanged, %zu refused\n", run.written,
                 options.dry_run ? "to be written" : "written", run.unchanged, run.refused);
    return run.refused > 0 ? 1 : 0;
}

/// Reads the options after the subcommand; false on a wrong one.
bool read_options(int argc, char *argv[], bool import, Options &options) {
    constexpr std::string_view kEncoding = "--encoding=";
    int i = 2;
    for (; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--") {
            ++i;
            break;
        }
        if (arg.starts_with(kEncoding) && arg.size() > kEncoding.size())
            options.encoding = argv[i] + kEncoding.size();
        else if (import && arg == "-n")
            options.dry_run = true;
        else if (arg.starts_with('-') && arg != "-")
            return false;
        else
            options.operands.push_back(argv[i]);
    }
    options.operands.insert(options.operands.end(), argv + i, argv + argc);
    return !import || options.operands.size() <= 1;
}

} // namespace

int main(int argc, char *argv[]) {
    // A write past the file-size limit fails with EFBIG and is put back, as
    // in ombrek.
    (void)std::signal(SIGXFSZ, SIG_IGN); // cannot fail for this signal
    const Out out{stdout, nsf::set_up_stdout()};
    const Out err{stderr, isatty(STDERR_FILENO) == 1};

    const std::string_view command = argc > 1 ? argv[1] : "";
    Options options;
    const bool import = command == "import";
    if (command == "-h" || command == "--help") {
        std::fputs(kUsage, stdout);
        return nsf::close_stdout(kProgram) ? 0 : 1;
    }
    if ((!import && command != "export") || !read_options(argc, argv, import, options)) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    collection::Encoding encoding;
    if (options.encoding != nullptr && !encoding.open(options.encoding)) {
        put_line(err, {{"ombrek-tsv: "},
                       theirs(options.encoding),
                       {": no such encoding: "},
                       {std::strerror(errno)}});
        return 2;
    }
    const int status =
        import ? run_import(options, encoding, out, err) : run_export(options, encoding, err);
    return nsf::close_stdout(kProgram) ? status : 1;
}
