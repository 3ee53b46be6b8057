// SPDX-License-Identifier: ISC
// The one path by which bytes from files and from the command line (tags,
// file names) reach standard output.
#pragma once

#include <initializer_list>
#include <string_view>

namespace nsf {

/// How untrusted text is shown. Piped or redirected output gets every byte
/// as it is; a terminal gets each control character as '?', as `ls -q` does,
/// so that a tag or a file name cannot clear the screen, set the clipboard or
/// forge a line.
enum class Display : bool { raw, terminal };

/// Prints `format`, one of the program's own messages, on standard output
/// with each "%s" replaced by the next of `texts`, shown as `display` says.
void print_shown(Display display, std::string_view format,
                 std::initializer_list<std::string_view> texts);

} // namespace nsf
