// SPDX-License-Identifier: ISC
#include "nsf/tag_block.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using std::string_literals::operator""s;

std::span<const unsigned char> bytes(const std::string &text) {
    return {reinterpret_cast<const unsigned char *>(text.data()), text.size()};
}

TEST(TagBlock, SignatureIsFourUpperCaseBytes) {
    const struct {
        std::string head;
        bool accepted;
    } cases[] = {
        {"NESM\x1A", true}, {"NESM\x00"s, true}, {"NESMx", true},
        {"NESM", true},     {"nesm\x1A", false}, {"NESm\x1A", false},
        {"NES", false},     {"", false},         {"\x1ANESM", false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.head);
        EXPECT_EQ(nsf::has_signature(bytes(c.head)), c.accepted);
    }
}

TEST(TagBlock, FieldShowsTextUpToFirstZeroAndAtMost31Bytes) {
    const struct {
        std::string stored; // the field's 32 bytes, zero-padded
        std::string shown;
    } cases[] = {
        {"", ""},
        {"Song", "Song"},
        {"\0after a zero"s, ""},
        {"ab\0cd"s, "ab"},
        {std::string(31, 'x'), std::string(31, 'x')},
        {std::string(32, 'y'), std::string(31, 'y')},
        {"\xC3\xA9t\xC3\xA9 \xFF\x80", "\xC3\xA9t\xC3\xA9 \xFF\x80"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.shown);
        for (nsf::Field field : {nsf::title, nsf::artist, nsf::copyright}) {
            nsf::Head head{};
            head.fill('#'); // neighbours without zeros must not leak into a field
            nsf::Block block = nsf::tag_block(head);
            std::string stored = c.stored;
            stored.resize(32, '\0');
            stored.copy(reinterpret_cast<char *>(block.data() + nsf::kFields[field].offset), 32);
            EXPECT_EQ(nsf::field_text(block, field), c.shown);
        }
    }
}

TEST(TagBlock, PutFieldZeroFillsAndCutsAtFieldWidth) {
    const std::size_t lengths[] = {0, 1, 31, 32, 33, 63, 5000};
    for (const std::size_t length : lengths) {
        SCOPED_TRACE(length);
        const std::string text(length, 'A');
        for (nsf::Field field : {nsf::title, nsf::artist, nsf::copyright}) {
            nsf::Head head{};
            head.fill(0xEE);
            nsf::put_field(nsf::tag_block(head), field, text);
            std::string field_bytes = text.substr(0, 32);
            field_bytes.resize(32, '\0');
            std::string expected(110, '\xEE');
            expected.replace(14 + nsf::kFields[field].offset, 32, field_bytes);
            EXPECT_EQ(std::string(head.begin(), head.end()), expected);
        }
    }
}

TEST(TagBlock, LongTextIsCutBeforeAUtf8CharacterTheViewWouldSplit) {
    // The text is `at` bytes of 'a', then `tail`; the field keeps `kept` bytes.
    const struct {
        const char *label;
        std::size_t at;
        std::string tail;
        std::size_t kept;
    } cases[] = {
        {"2 bytes split by the cut", 31, "\xC3\xA9z", 31},
        {"2 bytes ending at the cut", 30, "\xC3\xA9z", 30},
        {"3 bytes split by the cut", 30, "\xE3\x81\x82", 30},
        {"3 bytes ending at the cut", 29, "\xE3\x81\x82z", 29},
        {"4 bytes split by the cut", 29, "\xF0\x9F\x8E\xB5", 29},
        {"4 bytes ending at the cut", 28, "\xF0\x9F\x8E\xB5z", 28},
        {"a character before the last byte stays", 28, "\xE3\x81\x82zz", 32},
        {"a text of exactly 32 bytes is stored whole", 30, "\xC3\xA9", 32},
        {"C2 80, the first 2-byte character", 30, "\xC2\x80z", 30},
        {"DF BF, the last 2-byte character", 30, "\xDF\xBFz", 30},
        {"C0 and C1 are overlong", 29, "\xC0\x80\xC1\xBF", 32},
        {"E0 A0 80, the first 3-byte character", 29, "\xE0\xA0\x80z", 29},
        {"E0 80-9F are overlong", 29, "\xE0\x9F\xBFz", 32},
        {"EF BF BF, the last 3-byte character", 29, "\xEF\xBF\xBFz", 29},
        {"ED 9F BF, below the surrogates", 29, "\xED\x9F\xBFz", 29},
        {"ED A0-BF are surrogates", 29, "\xED\xA0\x80z", 32},
        {"F0 90 80 80, the first 4-byte character", 28, "\xF0\x90\x80\x80z", 28},
        {"F0 80-8F are overlong", 28, "\xF0\x8F\xBF\xBFz", 32},
        {"F4 8F BF BF, U+10FFFF", 28, "\xF4\x8F\xBF\xBFz", 28},
        {"F4 90 and above are past U+10FFFF", 28, "\xF4\x90\x80\x80z", 32},
        {"F5 and above lead nothing", 28, "\xF5\x80\x80\x80z", 32},
        {"a stray continuation byte", 30, "\x80\xBFz", 32},
        {"a second byte outside 80-BF", 30, "\xC3\x7F\xC3\xC0", 32},
        {"a third byte outside 80-BF", 29, "\xE3\x81\x7F\xE3\x81\xC0", 32},
        {"a fourth byte outside 80-BF", 28, "\xF0\x9F\x8E\xC0z", 32},
        {"a sequence cut by the text's end", 31, "\xE3\x81", 32},
        {"Latin-1", 30, "\xE9t\xE9", 32},
        {"Shift-JIS", 28, "\x83\x5E\x83\x43\x83\x67", 32},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.label);
        const std::string text = std::string(c.at, 'a') + c.tail;
        nsf::Head head{};
        nsf::put_field(nsf::tag_block(head), nsf::artist, text);
        std::string expected = text.substr(0, c.kept);
        expected.resize(32, '\0');
        EXPECT_EQ(std::string(head.begin() + 46, head.begin() + 78), expected);
    }
}

} // namespace
