// SPDX-License-Identifier: ISC
// Fuzzes the two file operations on arbitrary file contents and tag texts.
// Input: one byte whose low three bits say which of title, artist and
// copyright are set and whose fourth says whether the output is shown as on
// a terminal, three bytes giving their lengths (0 to 47), the texts, then the
// file's contents.

#include "nsf/tag_file.h"
#include "scratch.h"

#include <cstdint>
#include <cstring>
#include <string>

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    scratch::enter();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    if (size < 4)
        return 0;
    const std::string input(reinterpret_cast<const char *>(data), size);
    std::string texts[3];
    const char *set[3] = {};
    std::size_t at = 4;
    for (int field = 0; field < 3; ++field) {
        const std::size_t length = std::min<std::size_t>(data[1 + field] % 48, size - at);
        texts[field] = input.substr(at, length);
        at += length;
        if ((data[0] >> field & 1) != 0)
            set[field] = texts[field].c_str(); // a C string: it ends at its first zero
    }
    const std::string before = input.substr(at);
    const char *path = "file.nsf";
    scratch::spill(path, before);

    const nsf::Display display = (data[0] & 8) != 0 ? nsf::Display::terminal : nsf::Display::raw;
    nsf::view_tags(path, display);
    scratch::require(scratch::slurp(path) == before, "a view changed the file");

    const int status = nsf::apply_tags(path, set[0], set[1], set[2], display, UINT64_MAX);
    const std::string after = scratch::slurp(path);
    const bool nsf = before.compare(0, 4, "NESM") == 0;
    scratch::require(scratch::only_block_changed(before, after),
                     "a write changed bytes outside the block");
    scratch::require((status == 0) == nsf, "success reported for a file that was not written");
    if (!nsf)
        return 0;
    if (set[0] == nullptr && set[1] == nullptr && set[2] == nullptr) {
        scratch::require(after == before, "a write with no string changed the file");
        return 0;
    }
    scratch::require(after.size() == std::max<std::size_t>(before.size(), 110),
                     "a written file is not at least 110 bytes long");
    for (int field = 0; field < 3; ++field) {
        const std::size_t offset = 14 + 32 * static_cast<std::size_t>(field);
        const std::string stored = after.substr(offset, 32);
        if (set[field] == nullptr) {
            std::string old = before.size() > offset ? before.substr(offset, 32) : "";
            old.resize(32, '\0');
            scratch::require(stored == old, "a field with no string lost its bytes");
        } else {
            // A longer text loses at most the four bytes of a UTF-8
            // character that the 32-byte cut would split or leave in the
            // field's last byte, which is never shown.
            const std::string text(set[field]);
            const std::size_t kept = strnlen(stored.c_str(), 32);
            scratch::require(text.compare(0, kept, stored, 0, kept) == 0 &&
                                 (kept == text.size() || (text.size() > 32 && kept + 4 >= 32)) &&
                                 stored.find_first_not_of('\0', kept) == std::string::npos,
                             "a field does not hold its string, cut at 32 bytes or just before");
        }
    }
    return 0;
}
