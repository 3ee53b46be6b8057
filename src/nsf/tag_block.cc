// SPDX-License-Identifier: ISC
#include "nsf/tag_block.h"

#include <algorithm>
#include <cstring>

namespace nsf {

bool has_signature(std::span<const unsigned char> head) {
    return head.size() >= kSignature.size() &&
           std::equal(kSignature.begin(), kSignature.end(), head.begin());
}

namespace {

/// A field's bytes up to the first zero among its first `limit`.
std::string_view text_within(std::span<const unsigned char, kBlockSize> block, Field field,
                             std::size_t limit) {
    const auto *begin = block.data() + kFields[field].offset;
    const auto *end = std::find(begin, begin + limit, 0);
    // The field's bytes are shown as they are: the same bytes, seen as chars.
    return {reinterpret_cast<const char *>(begin), // NOLINT(*-reinterpret-cast)
            static_cast<std::size_t>(end - begin)};
}

} // namespace

std::string_view field_text(std::span<const unsigned char, kBlockSize> block, Field field) {
    return text_within(block, field, kFields[field].width - 1);
}

std::string_view stored_text(std::span<const unsigned char, kBlockSize> block, Field field) {
    return text_within(block, field, kFields[field].width);
}

namespace {

// UTF-8 byte ranges: a character of two to four bytes starts with a lead
// byte and goes on with continuation bytes.
constexpr unsigned char kFirstLead = 0xC2, kFirstLead3 = 0xE0, kFirstLead4 = 0xF0, kLastLead = 0xF4;
constexpr unsigned char kSurrogateLead = 0xED;
constexpr unsigned char kFirstContinuation = 0x80, kLastContinuation = 0xBF;

} // namespace

std::size_t utf8_length(std::string_view text) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    if (text.empty() || byte(0) < kFirstLead || byte(0) > kLastLead)
        return 0;
    const unsigned char lead = byte(0);
    const std::size_t length = lead < kFirstLead3 ? 2 : lead < kFirstLead4 ? 3 : 4;
    // The second byte's range rules out overlong forms (E0, F0), surrogates
    // (ED) and code points past U+10FFFF (F4).
    unsigned char low = kFirstContinuation;
    unsigned char high = kLastContinuation;
    if (lead == kFirstLead3)
        low = 0xA0; // NOLINT(*-magic-numbers): E0 80..9F would be overlong
    else if (lead == kFirstLead4)
        low = 0x90; // NOLINT(*-magic-numbers): F0 80..8F would be overlong
    else if (lead == kSurrogateLead)
        high = 0x9F; // NOLINT(*-magic-numbers): ED A0..BF are surrogates
    else if (lead == kLastLead)
        high = 0x8F; // NOLINT(*-magic-numbers): F4 90.. is past U+10FFFF
    if (text.size() < length || byte(1) < low || byte(1) > high)
        return 0;
    for (std::size_t i = 2; i < length; ++i)
        if (byte(i) < kFirstContinuation || byte(i) > kLastContinuation)
            return 0;
    return length;
}

namespace {

/// How many bytes of `text` a field of `width` bytes keeps: all of a text
/// that fits; else `width`, moved back to the first byte of a well-formed
/// UTF-8 character that the cut would split or that would end in the last
/// byte, which a view never shows (it would show the character's first
/// bytes alone). Other bytes (Latin-1, Shift-JIS, broken sequences) are cut
/// at `width`.
std::size_t kept_length(std::string_view text, std::size_t width) {
    constexpr std::size_t kLongestCharacter = 4;
    if (text.size() <= width)
        return text.size();
    for (std::size_t start = width; start-- > 0 && width - start <= kLongestCharacter;)
        if (utf8_length({text.data() + start, text.size() - start}) >= width - start)
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
