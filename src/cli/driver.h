// SPDX-License-Identifier: ISC
// The argument loop: one pass over the command line, left to right.
#pragma once

#include "nsf/print.h"

namespace cli {

/// The name the usage line shows when the platform passes no argument 0, or
/// an empty one.
inline constexpr char kProgramName[] = "ombrek";

/// Reads the arguments once, in order, viewing or tagging each file name in
/// the mode of that moment. Returns the exit status: -1 when there was no
/// argument after the program name, 0 otherwise, whatever became of the files.
/// `display` says whether a terminal is listening, decided once per run.
int run_ombrek(int argc, const char *const argv[], nsf::Display display);

} // namespace cli
