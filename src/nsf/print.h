// SPDX-License-Identifier: ISC
// The one path by which bytes from files and from the command line (tags,
// file names) reach the user.
#pragma once

#include <cstdio>
#include <initializer_list>
#include <string_view>

namespace nsf {

/// How untrusted text is shown. Piped or redirected output gets every byte
/// as it is; a terminal gets each control character as '?', as `ls -q` does,
/// so that a tag or a file name cannot clear the screen, set the clipboard or
/// forge a line. Escaped text keeps every byte and stays one line of UTF-8:
/// \\, \t, \n, \r, and \xHH for every other control character (C0, DEL, C1),
/// U+FEFF, and every byte that is not part of a UTF-8 character.
enum class Display : unsigned char { raw, terminal, escaped };

/// Prints `format`, one of the program's own messages, on standard output
/// with each "%s" replaced by the next of `texts`, shown as `display` says.
void print_shown(Display display, std::string_view format,
                 std::initializer_list<std::string_view> texts);

/// Sets up standard output for a run, once: large blocks when it is not a
/// terminal (one write per few hundred files), a line at a time when someone
/// is watching. A closed standard output is held with /dev/null opened
/// read-only, so that the next file opened cannot take its descriptor and
/// receive output, and every write to it fails, which close_stdout then
/// reports. Returns true when a terminal is listening.
bool set_up_stdout();

/// Flushes and closes standard output. A write that failed earlier in the run
/// or in this last flush (a full disk, a closed descriptor) is reported on
/// standard error as `program`'s, the only channel left, so that a cut-off
/// listing never passes as success. Returns false then.
bool close_stdout(const char *program);

/// Prints `text` on `stream`, shown as `display` says.
void put_shown(std::FILE *stream, std::string_view text, Display display);

} // namespace nsf
