// SPDX-License-Identifier: ISC
// An independent NSF reader, the game-music playback library (libgme), must
// read the tags the tool writes, and must play the same music after a write
// as before it: proof that only the tag block was touched.

#include "e2e.h"

#include <gme/gme.h>

#include <algorithm>

namespace {

using namespace e2e;

struct Reading {
    std::string title, author, copyright;
    std::vector<short> audio; // the first seconds of track 1, 16-bit stereo
};

Reading read_with_gme(const fs::path &file) {
    constexpr int kRate = 44100, kSeconds = 3;
    Reading r;
    Music_Emu *emu = nullptr;
    const char *error = gme_open_file(file.c_str(), &emu, kRate);
    EXPECT_EQ(error, nullptr) << error;
    if (error != nullptr)
        return r;
    gme_info_t *info = nullptr;
    EXPECT_EQ(gme_track_info(emu, &info, 0), nullptr);
    r.title = info->game; // an NSF's title field names the game
    r.author = info->author;
    r.copyright = info->copyright;
    gme_free_info(info);
    r.audio.resize(std::size_t{2} * kRate * kSeconds);
    EXPECT_EQ(gme_start_track(emu, 0), nullptr);
    EXPECT_EQ(gme_play(emu, static_cast<int>(r.audio.size()), r.audio.data()), nullptr);
    gme_delete(emu);
    return r;
}

TEST_F(Ombrek, LibgmeReadsTheWrittenTagsAndPlaysTheSameMusic) {
    reset();
    const fs::path file = dir_ / "t" / "a.nsf";
    const std::string title = "A title of exactly 32 bytes long";
    const std::string artist = "Zo\xC3\xAB \xFF\x80 Artist";
    const std::string copyright = "2026 \xA9 Ombrek";
    ASSERT_EQ(title.size(), 32U);

    const Reading before = read_with_gme(file);
    EXPECT_EQ(ombrek({"-w", "-t" + title, "-a" + artist, "-c" + copyright, "a.nsf"}, "%").out,
              written("a.nsf"));
    const Reading after = read_with_gme(file);

    // The 32 bytes are stored whole, with no zero; libgme reads all of them,
    // while the tool shows a field's first 31 bytes.
    EXPECT_EQ(after.title, title);
    EXPECT_EQ(after.author, artist);
    EXPECT_EQ(after.copyright, copyright);
    EXPECT_EQ(ombrek({"a.nsf"}, "%").out,
              shown("a.nsf", after.title.substr(0, 31), after.author, after.copyright));

    EXPECT_EQ(before.title, "Ombrek Demo Tone");
    EXPECT_NE(std::count(before.audio.begin(), before.audio.end(), 0),
              static_cast<std::ptrdiff_t>(before.audio.size()))
        << "the sample should not be silent";
    EXPECT_TRUE(after.audio == before.audio) << "the music changed";
}

} // namespace
