// SPDX-License-Identifier: ISC
#include "collection/table.h"

#include "nsf/print.h"

#include <algorithm>

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
    for (std::size_t quote; (quote = text.find('"')) != std::string_view::npos;) {
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

bool next_row(TableReader &reader, Row &row) {
    std::string_view &text = reader.rest;
    while (!text.empty()) {
        row = {reader.line, {std::string()}, {}};
        std::size_t i = 0;
        bool quoted = false;     // inside quotes
        bool was_quoted = false; // the cell began with a quote, now closed
        for (; i < text.size(); ++i) {
            const char c = text[i];
            std::string &cell = row.cells.back();
            if (quoted) {
                if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
                    cell += '"';
                    ++i;
                } else if (c == '"') {
                    quoted = false;
                    was_quoted = true;
                } else {
                    reader.line += c == '\n' ? 1 : 0;
                    cell += c;
                }
                continue;
            }
            if (c == '\n')
                break;
            if (c == '\t') {
                row.cells.emplace_back();
                was_quoted = false;
            } else if (c == '\r') {
                // One or two CRs before the newline end the line (CRLF, and
                // CR CR LF as Python's csv writes into a Windows text file).
                const std::size_t end = text.find_first_not_of('\r', i);
                const bool line_end = end == std::string_view::npos || text[end] == '\n';
                if (line_end && (end == std::string_view::npos ? text.size() : end) - i <= 2) {
                    i = end == std::string_view::npos ? text.size() : end;
                    break;
                }
                if (row.fault.empty())
                    row.fault = "a CR inside a cell (a line end gone wrong)";
                cell += c;
            } else if (c == '"' && cell.empty() && !was_quoted) {
                quoted = true;
            } else if (was_quoted) {
                if (row.fault.empty())
                    row.fault = "text after a cell's closing quote";
                cell += c;
            } else {
                cell += c;
            }
        }
        if (quoted && row.fault.empty())
            row.fault = "a quote that is never closed";
        text.remove_prefix(std::min(i + 1, text.size()));
        ++reader.line;
        const bool blank = row.cells.size() == 1 && row.cells[0].empty() && !was_quoted;
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
            text += static_cast<char>(hex_value(cell[i + 2]) * 16 + hex_value(cell[i + 3]));
            i += 3;
        } else {
            return std::nullopt;
        }
    }
    return text;
}

} // namespace collection
