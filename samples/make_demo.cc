// SPDX-License-Identifier: ISC
// Writes demo.nsf: a complete one-song NSF file whose code plays a square-wave
// tone on the first pulse channel, switching between two notes every 32 frames.
// Usage: make_demo OUTPUT

#include <algorithm>
#include <array>
#include <cstdio>
#include <string_view>

namespace {

constexpr unsigned char lo(unsigned value) {
    return static_cast<unsigned char>(value & 0xFF);
}
constexpr unsigned char hi(unsigned value) {
    return static_cast<unsigned char>(value >> 8);
}

constexpr unsigned kLoad = 0x8000;
constexpr unsigned kInit = 0x8000;
constexpr unsigned kPlay = 0x801E;

// 6502 code, loaded at kLoad.
constexpr std::array<unsigned char, 55> kCode{
    // init: enable pulse 1, 50% duty, constant volume 15, no sweep, A4.
    0xA9, 0x01, 0x8D, 0x15, 0x40, // LDA #$01 / STA $4015
    0xA9, 0xBF, 0x8D, 0x00, 0x40, // LDA #$BF / STA $4000
    0xA9, 0x08, 0x8D, 0x01, 0x40, // LDA #$08 / STA $4001
    0xA9, 0x00, 0x85, 0x00,       // LDA #$00 / STA $00   (frame counter)
    0xA9, 0xFD, 0x8D, 0x02, 0x40, // LDA #$FD / STA $4002 (period low)
    0xA9, 0x00, 0x8D, 0x03, 0x40, // LDA #$00 / STA $4003 (period high)
    0x60,                         // RTS
    // play ($801E): every 32 frames switch between the two periods.
    0xE6, 0x00,       // INC $00
    0xA5, 0x00,       // LDA $00
    0x29, 0x1F,       // AND #$1F
    0xD0, 0x10,       // BNE done
    0xA5, 0x00,       // LDA $00
    0x29, 0x20,       // AND #$20
    0xF0, 0x05,       // BEQ low
    0xA9, 0xA9,       // LDA #$A9  (high note)
    0x4C, 0x33, 0x80, // JMP store
    0xA9, 0xFD,       // low: LDA #$FD
    0x8D, 0x02, 0x40, // store: STA $4002
    0x60,             // done: RTS
};

void put_text(std::array<unsigned char, 128> &header, std::size_t offset, std::string_view text) {
    std::copy_n(text.begin(), std::min<std::size_t>(text.size(), 31), header.begin() + offset);
}

} // namespace

int main(int argc, char *argv[]) {
    if (argc != 2) {
        std::fputs("usage: make_demo OUTPUT\n", stderr);
        return 2;
    }
    std::array<unsigned char, 128> header{
        'N',       'E',       'S',       'M',       0x1A, // signature
        1,                                                // version
        1,                                                // songs
        1,                                                // first song
        lo(kLoad), hi(kLoad), lo(kInit), hi(kInit), lo(kPlay), hi(kPlay),
    };
    put_text(header, 0x0E, "Ombrek Demo Tone");
    put_text(header, 0x2E, "Ombrek");
    put_text(header, 0x4E, "2026 Ombrek project");
    header[0x6E] = lo(16666); // NTSC play rate, microseconds per call
    header[0x6F] = hi(16666);
    header[0x78] = lo(20000); // PAL play rate
    header[0x79] = hi(20000);

    std::FILE *out = std::fopen(argv[1], "wb");
    if (out == nullptr) {
        std::perror(argv[1]);
        return 1;
    }
    const bool written = std::fwrite(header.data(), 1, header.size(), out) == header.size() &&
                         std::fwrite(kCode.data(), 1, kCode.size(), out) == kCode.size();
    if (std::fclose(out) != 0 || !written) {
        std::perror(argv[1]);
        return 1;
    }
    return 0;
}
