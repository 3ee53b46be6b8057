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

void put_field(Block block, Field field, std::string_view text) {
    const FieldSlot slot = kFields[field];
    const std::size_t length = std::min(text.size(), slot.width);
    unsigned char *begin = block.data() + slot.offset;
    std::memcpy(begin, text.data(), length);
    std::memset(begin + length, 0, slot.width - length);
}

} // namespace nsf
