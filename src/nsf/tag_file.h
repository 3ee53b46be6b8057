// The two file operations: show a file's tags, or store new ones in place.
// Each opens, uses and closes its file within the call and prints its own
// result or failure message on standard output.
#pragma once

namespace nsf {

/// Prints the title, artist and copyright of the NSF file `filename`.
/// Returns 0 when they were printed, -1 after a failure message.
int view_tags(const char *filename);

/// Replaces the tag block of the NSF file `filename` in place, one field per
/// string; a null string keeps its field exactly as the file holds it.
/// Returns 0 when the block was written, -1 after a failure message.
int apply_tags(const char *filename, const char *title, const char *artist, const char *copyright);

} // namespace nsf
