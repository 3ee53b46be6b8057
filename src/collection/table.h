// SPDX-License-Identifier: ISC
// The tag table: one line per file, tab-separated cells, written so that
// spreadsheets and Python's csv module read each cell as its text, and read
// as they write it back.
#pragma once

#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace collection {

/// Writes `text` as one cell: escaped (\\, \t, \n, \r, \xHH) so that the
/// line stays one line of UTF-8 and every byte survives, and in double
/// quotes, each " doubled, when it holds a ", as spreadsheets write it.
void put_cell(std::FILE *stream, std::string_view text);

/// Why a whole table cannot be read (UTF-16, a NUL byte), or nothing.
std::optional<std::string_view> table_refusal(std::string_view table);

/// Reads a table's rows, one after another, from its text.
struct TableReader {
    std::string_view rest; ///< the text not yet read
    std::size_t line = 1;  ///< the line the next row begins on
};

/// A table as it is read, its UTF-8 byte-order mark left out.
TableReader read_table(std::string_view table);

/// One row: the line it began on, its cells as they stand between the tabs
/// (unquoted, still escaped), and why it cannot be read, if it cannot.
struct Row {
    std::size_t line = 0;
    std::vector<std::string> cells;
    std::string_view fault;
};

/// Reads the next row that is not blank into `row`; false at the end. A row
/// ends at a newline outside quotes, with the one or two CRs before it
/// (CRLF, CR CR LF); a CR elsewhere outside quotes is a fault.
bool next_row(TableReader &reader, Row &row);

/// The text of an escaped cell, or nothing when a backslash begins no
/// escape.
std::optional<std::string> unescape(std::string_view cell);

} // namespace collection
