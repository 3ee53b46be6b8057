// SPDX-License-Identifier: ISC
#include "rename/name.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(Name, EveryFilesystemTakesIt) {
    std::string long_title;
    for (int i = 0; i < 85; ++i)
        long_title += "Ж"; // 170 bytes
    const struct {
        const char *label;
        std::string format, title, artist, copyright;
        std::optional<std::string> name;
    } cases[] = {
        {"artist - title", "", "Song", "Ann", "", "Ann - Song.nsf"},
        {"no artist", "", "Song", "", "", "Song.nsf"},
        {"<?> is no artist", "", "Song", "<?>", "", "Song.nsf"},
        {"no title keeps the name", "", "", "Ann", "", std::nullopt},
        {"<?> is no title", "", "<?>", "Ann", "", std::nullopt},
        {"each refused character", "", "a<b>c:d\"e/f\\g|h?i*j", "", "", "a_b_c_d_e_f_g_h_i_j.nsf"},
        {"control characters, C1 too", "", "a\tb\x1B\x7F\xC2\x9B", "", "", "a_b___.nsf"},
        {"bytes that are not UTF-8", "", "\xE9t\xE9 \x83\x5E", "", "", "_t_ _^.nsf"},
        {"UTF-8 kept", "", "ファイナル ©", "", "", "ファイナル ©.nsf"},
        {"leading blanks go", "", "  Song", "", "", "Song.nsf"},
        {"only blanks: no name", "", "   ", "", "", std::nullopt},
        {"DOS devices, any case", "", "con", "", "", "con_.nsf"},
        {"COM1", "", "COM1", "", "", "COM1_.nsf"},
        {"a device's name inside a longer one", "", "x", "Lpt9", "", "Lpt9 - x.nsf"},
        {"a device before a dot", "%t", "LPT9.mix", "", "", "LPT9_.mix.nsf"},
        {"not a device", "", "COM0", "", "", "COM0.nsf"},
        {"a leading dot stays, for the caller", "", ".hack", "", "", ".hack.nsf"},
        {"the format's letters", "%c - %t (%a) 100%%", "T", "A", "C", "C - T (A) 100%.nsf"},
        {"255 bytes, cut at a character", "%t%t", long_title, "", "",
         long_title + long_title.substr(0, 250 - 170) + ".nsf"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(rename_nsf::name_for(c.format, {c.title, c.artist, c.copyright}), c.name);
    }
}

TEST(Name, FormatTakesOnlyItsLetters) {
    for (const auto &[format, valid] :
         {std::pair{"%a - %t", true}, {"%%t", true}, {"%x", false}, {"ends %", false}}) {
        SCOPED_TRACE(format);
        EXPECT_EQ(rename_nsf::valid_format(format), valid);
    }
}

} // namespace
