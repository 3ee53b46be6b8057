// SPDX-License-Identifier: ISC
#include "nsf/print.h"

#include <cstdio>

namespace nsf {
namespace {

/// Control characters are C0 (0x00-0x1F), DEL, and C1 (U+0080-U+009F), which
/// UTF-8 writes as 0xC2 0x80 to 0xC2 0x9F and some terminals obey. Each shows
/// as one '?'; every other byte, UTF-8 or not, is shown as it is.
void put_text(std::string_view text, Display display) {
    if (display == Display::raw) {
        fwrite_unlocked(text.data(), 1, text.size(), stdout);
        return;
    }
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        const bool c0 = byte < 0x20 || byte == 0x7F;
        const bool c1 = byte == 0xC2 && i + 1 < text.size() &&
                        (static_cast<unsigned char>(text[i + 1]) & 0xE0) == 0x80;
        if (c1)
            ++i;
        putc_unlocked(c0 || c1 ? '?' : byte, stdout);
    }
}

} // namespace

void print_shown(Display display, std::string_view format,
                 std::initializer_list<std::string_view> texts) {
    for (const std::string_view text : texts) {
        const std::size_t mark = format.find("%s");
        if (mark == std::string_view::npos)
            break;
        fwrite_unlocked(format.data(), 1, mark, stdout);
        put_text(text, display);
        format.remove_prefix(mark + 2);
    }
    fwrite_unlocked(format.data(), 1, format.size(), stdout);
}

} // namespace nsf
