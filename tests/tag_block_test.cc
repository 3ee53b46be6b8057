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

} // namespace
