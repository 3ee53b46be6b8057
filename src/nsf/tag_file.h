// SPDX-License-Identifier: ISC
// The two file operations: show a file's tags, or store new ones in place.
// Each opens, uses and closes its file within the call and prints its own
// result or failure message on standard output.
#pragma once

#include "nsf/print.h"
#include "nsf/tag_block.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>
#include <sys/types.h>

namespace nsf {

/// What became of one file operation, for a caller that reports it in its
/// own words.
enum class Outcome { done, cannot_open, not_nsf, read_error, cannot_update, write_error };

/// An outcome and the system's error behind it (0 when there is none, as for
/// a file that is not NSF).
struct Result {
    Outcome outcome;
    int error;
};

/// A file as the system knows it: two names of one file (hard links) give
/// the same identity.
struct FileId {
    dev_t device;
    ino_t inode;
    friend bool operator==(const FileId &, const FileId &) = default;
};

/// The texts to store, one per field; a field without one is kept.
using Texts = std::array<std::optional<std::string_view>, kFields.size()>;

/// Reads the head of the NSF file `filename` into `head`, zeros past the end
/// of a short file, as view_tags reads it. With `id`, also learns which file
/// the name leads to (one more system call).
Result read_tags(const char *filename, Head &head, FileId *id = nullptr);

/// Writes into the NSF file `filename` the fields that `texts` holds a text
/// for, as apply_tags does, and returns what happened; the file is closed.
Result write_tags(const char *filename, const Texts &texts, std::uint64_t size_limit);

/// Prints the title, artist and copyright of the NSF file `filename`. Opening
/// waits for nothing but a lease holder; a pipe is read as its bytes arrive,
/// up to four that are not the signature, and a FIFO with no writer reads as
/// empty. Returns 0 when they were printed, -1 after a failure message.
int view_tags(const char *filename, Display display);

/// Replaces, in place, the fields of the NSF file `filename` that a string is
/// given for; a null string keeps its field, whose bytes are then not written
/// at all, so a run that sets another field at the same time loses nothing
/// (unless the file is shorter than the header, which is completed whole).
/// A file that cannot be updated in place (a pipe, a FIFO, a terminal) is
/// refused before anything is read, and a write that would end past
/// `size_limit` bytes is not started. A write cut short puts the old bytes
/// back, so each field is either wholly old or wholly new.
/// Returns 0 when the fields were written, -1 after a failure message.
int apply_tags(const char *filename, const char *title, const char *artist, const char *copyright,
               Display display, std::uint64_t size_limit);

/// The largest file size this process may write (RLIMIT_FSIZE), learnt once
/// before the first write of a run. A write past it would be cut short
/// part-way through a field; should the limit be lowered later in the run,
/// such a write fails (EFBIG, SIGXFSZ being ignored) and is put back.
std::uint64_t file_size_limit();

} // namespace nsf
