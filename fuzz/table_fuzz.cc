// SPDX-License-Identifier: ISC
// Fuzzes the table reader, which takes what users and spreadsheets write.
// Invariant: every row it accepts, written back as the export writes cells,
// reads again as the same texts, and writes the same bytes a second time.

#include "collection/table.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

/// The row of `texts` as the export writes it.
std::string written(const std::vector<std::string> &texts) {
    char *buffer = nullptr;
    std::size_t size = 0;
    std::FILE *stream = open_memstream(&buffer, &size);
    for (std::size_t i = 0; i < texts.size(); ++i) {
        if (i > 0)
            std::fputc('\t', stream);
        collection::put_cell(stream, texts[i]);
    }
    std::fputc('\n', stream);
    std::fclose(stream);
    std::string row(buffer, size);
    std::free(buffer);
    return row;
}

/// The texts of the first row of `table`; false when it is not accepted.
bool texts_of(const std::string &table, std::vector<std::string> &texts) {
    collection::TableReader reader = collection::read_table(table);
    collection::Row row;
    if (!collection::next_row(reader, row) || !row.fault.empty())
        return false;
    texts.clear();
    for (const std::string &cell : row.cells) {
        auto text = collection::unescape(cell);
        if (!text)
            return false;
        texts.push_back(*text);
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const std::string table(reinterpret_cast<const char *>(data), size);
    if (collection::table_refusal(table))
        return 0;
    collection::TableReader reader = collection::read_table(table);
    collection::Row row;
    while (collection::next_row(reader, row)) {
        std::vector<std::string> accepted;
        for (const std::string &cell : row.cells)
            if (auto text = collection::unescape(cell))
                accepted.push_back(*text);
        // A row of one empty cell is written as a blank line, which is
        // skipped; the export's rows always have four cells.
        if (!row.fault.empty() || accepted.size() != row.cells.size() ||
            (accepted.size() == 1 && accepted[0].empty()))
            continue;
        const std::string once = written(accepted);
        std::vector<std::string> again;
        if (!texts_of(once, again) || again != accepted || written(again) != once)
            std::abort();
    }
    return 0;
}
