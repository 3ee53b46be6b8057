// SPDX-License-Identifier: ISC
#include "collection/table.h"

#include "nsf/print.h"

#include <algorithm>
#include <utility>

namespace collection {
namespace {

constexpr std::string_view kBom = "\xEF\xBB\xBF";

int hex_value(char digit) {
    if (digit >= '0' && digit <= '9')
        return digit - '0';
    if (digit >= 'a' && digit <= 'f')
        return digit - 'a' + 10; // NOLINT(*-magic-numbers)
    if (digit >= 'A' && digit <= 'F')
        return digit - 'A' + 10; // NOLINT(*-magic-numbers)
    return -1;
}

} // namespace

void put_cell(std::FILE *stream, std::string_view text) {
    if (text.find('"') == std::string_view::npos) {
        nsf::put_shown(stream, text, nsf::Display::escaped);
        return;
    }
    putc_unlocked('"', stream);
    for (std::size_t quote = text.find('"'); quote != std::string_view::npos;
         quote = text.find('"')) {
        nsf::put_shown(stream, text.substr(0, quote), nsf::Display::escaped);
        fputs_unlocked("\"\"", stream);
        text.remove_prefix(quote + 1);
    }
    nsf::put_shown(stream, text, nsf::Display::escaped);
    putc_unlocked('"', stream);
}

std::optional<std::string_view> table_refusal(std::string_view table) {
    // Excel's "Unicode Text" is UTF-16 with a byte-order mark; without one,
    // its ASCII shows as every other byte zero.
    if (table.starts_with("\xFF\xFE"))
        return "it is UTF-16 (little-endian), as Excel's \"Unicode Text\"; save it as UTF-8";
    if (table.starts_with("\xFE\xFF"))
        return "it is UTF-16 (big-endian); save it as UTF-8";
    const std::size_t zero = table.find('\0');
    if (zero == std::string_view::npos)
        return std::nullopt;
    if (table.size() >= 2 && table[0] != '\0' && table[1] == '\0')
        return "it is UTF-16 (little-endian); save it as UTF-8";
    if (table.size() >= 2 && table[0] == '\0' && table[1] != '\0')
        return "it is UTF-16 (big-endian); save it as UTF-8";
    return "it holds a NUL byte, which no text table does";
}

TableReader read_table(std::string_view table) {
    if (table.starts_with(kBom))
        table.remove_prefix(kBom.size());
    return {table, 1};
}

namespace {

/// Where the line end that begins at `at` (a CR) ends: past the newline of
/// one or two CRs before it (CRLF, and CR CR LF as Python's csv writes into
/// a Windows text file), or at the end of the text; npos for a CR that ends
/// no line.
std::size_t line_end(std::string_view text, std::size_t at) {
    const std::size_t end = std::min(text.find_first_not_of('\r', at), text.size());
    const bool ends_line = end == text.size() || text[end] == '\n';
    return ends_line && end - at <= 2 ? end : std::string_view::npos;
}

/// Reads a quoted cell's text from `text` at `at`, past its opening quote,
/// into `cell`, a doubled quote as one; returns where its closing quote
/// is, or npos when it has none. Newlines in it are counted in `line`.
std::size_t read_quoted(std::string_view text, std::size_t at, std::string &cell,
                        std::size_t &line) {
    for (; at < text.size(); ++at) {
        if (text[at] == '"' && (at + 1 == text.size() || text[at + 1] != '"'))
            return at;
        if (text[at] == '"')
            ++at;
        line += text[at] == '\n' ? 1 : 0;
        cell += text[at];
    }
    return std::string_view::npos;
}

/// Reads the cells of the row that `text` begins with into `row`; returns
/// where the row ends (at its newline, or the end of the text), and whether
/// its last cell was quoted. Newlines in quotes are counted in `line`.
std::pair<std::size_t, bool> read_cells(std::string_view text, Row &row, std::size_t &line) {
    const auto fault = [&](std::string_view why) {
        if (row.fault.empty())
            row.fault = why;
    };
    std::size_t i = 0;
    bool closed = false; // the cell began with a quote, now closed
    for (; i < text.size() && text[i] != '\n'; ++i) {
        std::string &cell = row.cells.back();
        const char c = text[i];
        if (c == '\t') {
            row.cells.emplace_back();
            closed = false;
        } else if (c == '"' && cell.empty() && !closed) {
            i = read_quoted(text, i + 1, cell, line);
            closed = i != std::string_view::npos;
            if (!closed) {
                fault("a quote that is never closed");
                return {text.size(), false};
            }
        } else if (c == '\r' && line_end(text, i) != std::string_view::npos) {
            return {line_end(text, i), closed};
        } else {
            if (c == '\r')
                fault("a CR inside a cell (a line end gone wrong)");
            else if (closed)
                fault("text after a cell's closing quote");
            cell += c;
        }
    }
    return {i, closed};
}

} // namespace

bool next_row(TableReader &reader, Row &row) {
    std::string_view &text = reader.rest;
    while (!text.empty()) {
        row = {reader.line, {std::string()}, {}};
        const auto [end, quoted] = read_cells(text, row, reader.line);
        text.remove_prefix(std::min(end + 1, text.size()));
        ++reader.line;
        const bool blank = row.cells.size() == 1 && row.cells[0].empty() && !quoted;
        if (!blank || !row.fault.empty())
            return true;
    }
    return false;
}

std::optional<std::string> unescape(std::string_view cell) {
    std::string text;
    text.reserve(cell.size());
    for (std::size_t i = 0; i < cell.size(); ++i) {
        if (cell[i] != '\\') {
            text += cell[i];
            continue;
        }
        const char kind = i + 1 < cell.size() ? cell[i + 1] : '\0';
        if (kind == '\\' || kind == 't' || kind == 'n' || kind == 'r') {
            text += kind == '\\' ? '\\' : kind == 't' ? '\t' : kind == 'n' ? '\n' : '\r';
            ++i;
        } else if (kind == 'x' && i + 3 < cell.size() && hex_value(cell[i + 2]) >= 0 &&
                   hex_value(cell[i + 3]) >= 0) {
            constexpr int kHexBase = 16;
            text += static_cast<char>(hex_value(cell[i + 2]) * kHexBase + hex_value(cell[i + 3]));
            i += 3;
        } else {
            return std::nullopt;
        }
    }
    return text;
}

} // namespace collection
