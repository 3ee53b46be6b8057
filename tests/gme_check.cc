// An independent NSF reader, the game-music playback library (libgme), must
// read the tags the tool writes, and must play the same music after a write
// as before it: proof that only the tag block was touched.

#include <gme/gme.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

namespace fs = std::filesystem;

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

std::string ombrek(const std::string &args) {
    std::FILE *pipe = popen(("'" OMBREK_BIN "' " + args).c_str(), "r");
    std::string out(4096, '\0');
    out.resize(std::fread(out.data(), 1, out.size(), pipe));
    pclose(pipe);
    return out;
}

TEST(Libgme, ReadsTheWrittenTagsAndPlaysTheSameMusic) {
    const fs::path file = fs::temp_directory_path() / ("ombrek-gme-" + std::to_string(getpid()));
    fs::copy_file(DEMO_NSF, file, fs::copy_options::overwrite_existing);
    const std::string title = "A title of exactly 32 bytes long";
    const std::string artist = "Zo\xC3\xAB \xFF\x80 Artist";
    const std::string copyright = "2026 \xA9 Ombrek";
    ASSERT_EQ(title.size(), 32U);

    const Reading before = read_with_gme(file);
    EXPECT_EQ(
        ombrek("-w '-t" + title + "' '-a" + artist + "' '-c" + copyright + "' " + file.string()),
        "-------- file : " + file.string() + " --------\n");
    const Reading after = read_with_gme(file);
    const std::string shown = ombrek(file.string());
    fs::remove(file);

    // The 32 bytes are stored whole, with no zero; libgme reads all of them,
    // while the tool shows a field's first 31 bytes.
    EXPECT_EQ(after.title, title);
    EXPECT_EQ(after.author, artist);
    EXPECT_EQ(after.copyright, copyright);
    EXPECT_EQ(shown, "-------- file : " + file.string() +
                         " --------\nTitle : " + after.title.substr(0, 31) +
                         "\nArtist : " + after.author + "\nCopyright : " + after.copyright + "\n");

    EXPECT_EQ(before.title, "Ombrek Demo Tone");
    EXPECT_NE(std::count(before.audio.begin(), before.audio.end(), 0),
              static_cast<std::ptrdiff_t>(before.audio.size()))
        << "the sample should not be silent";
    EXPECT_TRUE(after.audio == before.audio) << "the music changed";
}

} // namespace
