// SPDX-License-Identifier: ISC
#include "collection/table.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

using std::string_literals::operator""s;

/// Each row of a table as "LINE:CELL|CELL...", with " !FAULT" after a row
/// that cannot be read; rows apart by newlines.
std::string rows_of(const std::string &table) {
    collection::TableReader reader = collection::read_table(table);
    collection::Row row;
    std::string shown;
    while (collection::next_row(reader, row)) {
        shown += std::to_string(row.line) + ":";
        for (std::size_t i = 0; i < row.cells.size(); ++i)
            shown += (i > 0 ? "|" : "") + row.cells[i];
        shown += row.fault.empty() ? "\n" : " !" + std::string(row.fault) + "\n";
    }
    return shown;
}

TEST(Table, ReadsWhatSpreadsheetsAndEditorsWrite) {
    const std::string cr = " !a CR inside a cell (a line end gone wrong)\n";
    const struct {
        const char *label;
        std::string table, rows;
    } cases[] = {
        {"LF, a last line without one", "a\tb\nc\td", "1:a|b\n2:c|d\n"},
        {"CRLF and CR CR LF", "a\tb\r\nc\r\r\nd\r", "1:a|b\n2:c\n3:d\n"},
        {"a BOM, blank lines", "\xEF\xBB\xBFname\n\n\r\nx\n", "1:name\n4:x\n"},
        {"empty cells, a trailing tab", "\t\ta\t", "1:||a|\n"},
        {"quotes: whole, doubled, empty", "\"a\tb\"\t\"Say \"\"Hi\"\"\"\t\"\"",
         "1:a\tb|Say \"Hi\"|\n"},
        {"a quote inside an unquoted cell is text", "Say \"Hi\"\tx\"", "1:Say \"Hi\"|x\"\n"},
        {"a newline in quotes, counted", "\"a\nb\"\tc\nd", "1:a\nb|c\n3:d\n"},
        {"a lone CR, three CRs", "a\rb\nc\r\r\r\n", "1:a\rb" + cr + "2:c\r" + cr},
        {"text after a closing quote", "\"a\"b\tc", "1:ab|c !text after a cell's closing quote\n"},
        {"a quote never closed", "\"a\tb\n", "1:a\tb\n !a quote that is never closed\n"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(rows_of(c.table), c.rows);
    }
}

TEST(Table, RefusesUtf16AndNulWhole) {
    const struct {
        std::string table;
        const char *says; // a word of the reason, or nothing for a table that is read
    } cases[] = {
        {"\xFF\xFEn\0a\0"s, "little-endian"},
        {"\xFE\xFF\0n\0a"s, "big-endian"},
        {"n\0a\0m\0"s, "little-endian"},
        {"\0n\0a"s, "big-endian"},
        {"name\tx\n\0"s, "NUL"},
        {"name\t\xFF\xFE\n", nullptr},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.table);
        const auto refusal = collection::table_refusal(c.table);
        ASSERT_EQ(refusal.has_value(), c.says != nullptr);
        if (refusal) {
            EXPECT_NE(refusal->find(c.says), std::string_view::npos) << *refusal;
        }
    }
}

TEST(Table, CellIsWrittenEscapedAndQuotedAndReadBackExactly) {
    const struct {
        std::string text, cell;
    } cases[] = {
        {"", ""},
        {"Song", "Song"},
        {"a\\b\tc\nd\re", "a\\\\b\\tc\\nd\\re"},
        {"\x1B[2J\x7F\x01"s, "\\x1B[2J\\x7F\\x01"},
        {"\0"s, "\\x00"},
        {"\xC2\x9B\xC2\xA9", "\\xC2\\x9B\xC2\xA9"}, // C1 CSI escaped; (c) kept
        {"\xEF\xBB\xBFx", "\\xEF\\xBB\\xBFx"},      // U+FEFF, read as a BOM at the start
        {"\xE9t\xE9 \x83\x5E \xE0\x80\x80", "\\xE9t\\xE9 \\x83^ \\xE0\\x80\\x80"},
        {"ファイナル", "ファイナル"},
        {"\"Heroes\"", "\"\"\"Heroes\"\"\""},
        {"Say \"Hi\"\t", "\"Say \"\"Hi\"\"\\t\""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.text);
        char *buffer = nullptr;
        std::size_t size = 0;
        std::FILE *stream = open_memstream(&buffer, &size);
        collection::put_cell(stream, c.text);
        std::fclose(stream);
        const std::string cell(buffer, size);
        std::free(buffer);
        EXPECT_EQ(cell, c.cell);
        const std::string line = cell + "\tend\n";
        collection::TableReader reader = collection::read_table(line);
        collection::Row row;
        ASSERT_TRUE(collection::next_row(reader, row));
        EXPECT_EQ(collection::unescape(row.cells[0]), c.text);
    }
}

TEST(Table, UnescapeRefusesABackslashThatBeginsNoEscape) {
    for (const char *cell : {"\\", "a\\q", "\\x4", "\\xG0", "C:\\Music"}) {
        SCOPED_TRACE(cell);
        EXPECT_FALSE(collection::unescape(cell).has_value());
    }
    EXPECT_EQ(collection::unescape("\\x4a\\x4B"), "JK");
}

} // namespace
