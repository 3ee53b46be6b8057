// SPDX-License-Identifier: ISC
#include "nsf/tag_block.h"

#include <algorithm>
#include <cstring>

namespace nsf {

bool has_signature(std::span<const unsigned char> head) {
    return head.size() >= kSignature.size() &&
           std::equal(kSignature.begin(), kSignature.end(), head.begin());
}

std::string_view field_text(std::span<const unsigned char, kBlockSize> block, Field field) {
    const FieldSlot slot = kFields[field];
    const auto *begin = block.data() + slot.offset;
    const auto *end = std::find(begin, begin + slot.width - 1, 0);
    // The field's bytes are shown as they are: the same bytes, seen as chars.
    return {reinterpret_cast<const char *>(begin), // NOLINT(*-reinterpret-cast)
            static_cast<std::size_t>(end - begin)};
}

namespace {

/// The length of the well-formed UTF-8 character of two to four bytes that
/// `text` begins with, or 0 when it begins with none: an ASCII byte, a stray
/// continuation byte, an overlong form, a surrogate or a cut sequence.
std::size_t utf8_length(std::string_view text) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    if (text.empty() || byte(0) < 0xC2 || byte(0) > 0xF4)
        return 0;
    const unsigned char lead = byte(0);
    const std::size_t length = lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    // The second byte's range rules out overlong forms, surrogates and
    // code points past U+10FFFF.
    const unsigned char low = lead == 0xE0 ? 0xA0 : lead == 0xF0 ? 0x90 : 0x80;
    const unsigned char high = lead == 0xED ? 0x9F : lead == 0xF4 ? 0x8F : 0xBF;
    if (text.size() < length || byte(1) < low || byte(1) > high)
        return 0;
    for (std::size_t i = 2; i < length; ++i)
        if (byte(i) < 0x80 || byte(i) > 0xBF)
            return 0;
    return length;
}

/// How many bytes of `text` a field of `width` bytes keeps: all of a text
/// that fits; else `width`, moved back to the first byte of a well-formed
/// UTF-8 character that the cut would split. Other bytes (Latin-1,
/// Shift-JIS, broken sequences) are cut at `width`.
std::size_t kept_length(std::string_view text, std::size_t width) {
    if (text.size() <= width)
        return text.size();
    for (std::size_t start = width; start-- > 0 && width - start < 4;)
        if (utf8_length({text.data() + start, text.size() - start}) > width - start)
            return start;
    return width;
}

} // namespace

void put_field(Block block, Field field, std::string_view text) {
    const FieldSlot slot = kFields[field];
    const std::size_t length = kept_length(text, slot.width);
    unsigned char *begin = block.data() + slot.offset;
    std::memcpy(begin, text.data(), length);
    std::memset(begin + length, 0, slot.width - length);
}

} // namespace nsf
