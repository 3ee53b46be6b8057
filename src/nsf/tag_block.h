// SPDX-License-Identifier: ISC
// The only bytes of an NSF file this tool looks at: the signature at its start
// and the tag block, the three fixed-width text fields that follow it.
#pragma once

#include <array>
#include <cstddef>
#include <span>
#include <string_view>

namespace nsf {

/// The four bytes every accepted file begins with. The format's full signature
/// has a fifth byte (0x1A) that is deliberately not checked, so files that
/// differ only there are still accepted.
inline constexpr std::array<unsigned char, 4> kSignature{'N', 'E', 'S', 'M'};

/// The text fields of the tag block, in the order they lie in the file.
enum Field : std::size_t { title, artist, copyright };

/// Where one text field lies inside the tag block.
struct FieldSlot {
    std::size_t offset;
    std::size_t width;
};

/// The tag block layout: three 32-byte fields, title, artist, copyright.
inline constexpr std::array<FieldSlot, 3> kFields{{{0, 32}, {32, 32}, {64, 32}}};

/// File offset of the tag block (the title field).
inline constexpr std::size_t kBlockOffset = 14;

/// Size of the tag block, which is always read and written whole.
inline constexpr std::size_t kBlockSize = kFields.back().offset + kFields.back().width;

/// Bytes from the start of a file to the end of its tag block: one read of
/// this many serves both the signature rule and the block.
inline constexpr std::size_t kHeadSize = kBlockOffset + kBlockSize;

static_assert(kFields[title].offset == 0 &&
                  kFields[artist].offset == kFields[title].offset + kFields[title].width &&
                  kFields[copyright].offset == kFields[artist].offset + kFields[artist].width,
              "the fields must tile the tag block with no gap or overlap");
static_assert(kSignature.size() <= kBlockOffset, "the signature lies before the tag block");

/// The first kHeadSize bytes of a file.
using Head = std::array<unsigned char, kHeadSize>;

/// A view of the tag block inside a Head.
using Block = std::span<unsigned char, kBlockSize>;

/// The tag block inside `head`.
inline Block tag_block(Head &head) {
    return Block(head.data() + kBlockOffset, kBlockSize);
}
inline std::span<const unsigned char, kBlockSize> tag_block(const Head &head) {
    return std::span<const unsigned char, kBlockSize>(head.data() + kBlockOffset, kBlockSize);
}

/// True when `head`, the bytes actually read from the start of a file, begins
/// with the signature. Fewer than four bytes never pass.
bool has_signature(std::span<const unsigned char> head);

/// The text a field shows: its bytes up to the first zero, and never more than
/// width - 1 bytes, because the last byte of every field is read as zero
/// whatever the file holds there.
std::string_view field_text(std::span<const unsigned char, kBlockSize> block, Field field);

/// The text a field stores: its bytes up to the first zero, all 32 of them
/// when it holds none (the view shows at most 31).
std::string_view stored_text(std::span<const unsigned char, kBlockSize> block, Field field);

/// The length of the well-formed UTF-8 character of two to four bytes that
/// `text` begins with, or 0 when it begins with none: an ASCII byte, a stray
/// continuation byte, an overlong form, a surrogate or a cut sequence.
std::size_t utf8_length(std::string_view text);

/// Replaces a whole field with `text`: its bytes, then zeros to the end of the
/// field. Text longer than the field keeps only its first width bytes, or
/// fewer where that cut would split a UTF-8 character or keep one in the
/// field's last byte, which is never shown: that character then goes whole
/// (a text of exactly the field's width fills it with no zero); the next
/// field is never touched.
void put_field(Block block, Field field, std::string_view text);

} // namespace nsf
