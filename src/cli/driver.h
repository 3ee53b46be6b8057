// The argument loop: one pass over the command line, left to right.
#pragma once

namespace cli {

/// The name the usage line shows when the platform passes no argument 0.
inline constexpr char kProgramName[] = "ombrek";

/// Reads the arguments once, in order, viewing or tagging each file name in
/// the mode of that moment. Returns the exit status: -1 when there was no
/// argument after the program name, 0 otherwise, whatever became of the files.
int run_ombrek(int argc, const char *const argv[]);

} // namespace cli
