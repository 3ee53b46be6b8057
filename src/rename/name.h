// SPDX-License-Identifier: ISC
// The name a file takes from its tags: one that FAT, exFAT, NTFS, SMB and
// every flash cart take.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace rename_nsf {

/// The tags a name is made from, as shown (converted where asked).
using Tags = std::array<std::string_view, 3>; // title, artist, copyright

/// True when `format` uses only %t, %a, %c and %%.
bool valid_format(std::string_view format);

/// The file name `format` gives for `tags`, ".nsf" included (a format of
/// nothing stands for "%a - %t", or "%t" when there is no artist; a tag of
/// "<?>" counts as empty): each of < > : " / \ | ? *, each control character
/// and each byte that is not part of a UTF-8 character becomes _, leading
/// blanks go, a name that DOS devices reserve gets a _, and a name longer
/// than 255 bytes is cut at a character. Nothing when there is no title, or
/// nothing is left of the name.
std::optional<std::string> name_for(std::string_view format, Tags tags);

} // namespace rename_nsf
