// SPDX-License-Identifier: ISC
#include "collection/encoding.h"

#include "nsf/tag_block.h"

#include <cerrno>
#include <cstdint>
#include <vector>

namespace collection {
namespace {

/// iconv_open's failure: the descriptor -1.
bool failed(iconv_t descriptor) {
    return reinterpret_cast<std::intptr_t>(descriptor) == -1; // NOLINT(*-reinterpret-cast)
}

/// `text` converted by `direction`, or nothing where it does not convert.
std::optional<std::string> convert(iconv_t direction, std::string_view text) {
    // A field holds 32 bytes; a cell of a table can be longer, so the room
    // grows with the text: four bytes out for each byte in, and the shift
    // sequences of stateful encodings.
    constexpr std::size_t kGrowth = 4;
    constexpr std::size_t kSpare = 16;
    std::vector<char> out(text.size() * kGrowth + kSpare);
    char *in = const_cast<char *>(text.data()); // NOLINT(*-const-cast): iconv's interface
    std::size_t in_left = text.size();
    char *at = out.data();
    std::size_t out_left = out.size();
    (void)iconv(direction, nullptr, nullptr, nullptr, nullptr); // the initial state
    if (iconv(direction, &in, &in_left, &at, &out_left) == static_cast<std::size_t>(-1) ||
        iconv(direction, nullptr, nullptr, &at, &out_left) == static_cast<std::size_t>(-1))
        return std::nullopt;
    return std::string(out.data(), at);
}

} // namespace

bool is_utf8(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        if (static_cast<unsigned char>(text[i]) < 0x80) { // NOLINT(*-magic-numbers): ASCII
            ++i;
            continue;
        }
        const std::size_t length = nsf::utf8_length(text.substr(i));
        if (length == 0)
            return false;
        i += length;
    }
    return true;
}

Encoding::~Encoding() {
    if (open_) {
        (void)iconv_close(to_utf8_);
        (void)iconv_close(from_utf8_);
    }
}

bool Encoding::open(const char *name) {
    to_utf8_ = iconv_open("UTF-8", name);
    if (failed(to_utf8_))
        return false;
    from_utf8_ = iconv_open(name, "UTF-8");
    if (failed(from_utf8_)) {
        const int error = errno;
        (void)iconv_close(to_utf8_);
        errno = error;
        return false;
    }
    open_ = true;
    return true;
}

std::string Encoding::shown(std::string_view stored) const {
    if (!open_ || is_utf8(stored))
        return std::string(stored);
    return convert(to_utf8_, stored).value_or(std::string(stored));
}

std::optional<std::string> Encoding::stored(std::string_view text, std::string_view old) const {
    const bool old_in_encoding = open_ && !is_utf8(old) && convert(to_utf8_, old).has_value();
    if (!old_in_encoding || !is_utf8(text))
        return std::string(text);
    return convert(from_utf8_, text);
}

} // namespace collection
