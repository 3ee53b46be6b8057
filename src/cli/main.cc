// SPDX-License-Identifier: ISC
// Process entry: sets up standard output, runs the argument loop, and makes
// sure everything printed actually reached standard output.

#include "cli/driver.h"
#include "nsf/print.h"

#include <csignal>

int main(int argc, char *argv[]) {
    // A write past the file-size limit (ulimit -f, perhaps lowered while the
    // run goes on) then fails with EFBIG instead of ending the process: a
    // field is put back like after any failed write, and output to a file
    // that reaches the limit gives status 1 and its line on standard error.
    (void)std::signal(SIGXFSZ, SIG_IGN); // cannot fail for this signal
    const bool terminal = nsf::set_up_stdout();
    const int status =
        cli::run_ombrek(argc, argv, terminal ? nsf::Display::terminal : nsf::Display::raw);
    return nsf::close_stdout(cli::kProgramName) ? status : 1;
}
