// SPDX-License-Identifier: ISC
// Tags that are not UTF-8, read and written in one named encoding (iconv),
// as Japanese rips hold theirs in CP932.
#pragma once

#include <iconv.h>
#include <optional>
#include <string>
#include <string_view>

namespace collection {

/// True when `text` is all ASCII and well-formed UTF-8 characters.
bool is_utf8(std::string_view text);

/// Converts between UTF-8 and one encoding; without one, converts nothing.
class Encoding {
  public:
    Encoding() = default;
    Encoding(const Encoding &) = delete;
    Encoding &operator=(const Encoding &) = delete;
    Encoding(Encoding &&) = delete;
    Encoding &operator=(Encoding &&) = delete;
    ~Encoding();

    /// Uses the iconv encoding `name`; false (errno set) when iconv has none.
    bool open(const char *name);

    /// The text a field shows: UTF-8 as it is, anything else converted from
    /// the encoding where it converts whole, else its bytes.
    std::string shown(std::string_view stored) const;

    /// The bytes that store `text` in a field that held `old`: `text`
    /// itself, unless `old` was in the encoding (not UTF-8, but converting)
    /// and `text` is UTF-8, which is then converted; nothing when the
    /// encoding cannot hold it.
    std::optional<std::string> stored(std::string_view text, std::string_view old) const;

  private:
    bool open_ = false; // both directions opened
    iconv_t to_utf8_{};
    iconv_t from_utf8_{};
};

} // namespace collection
