// SPDX-License-Identifier: ISC
// Process entry: sets up standard output, runs the argument loop, and makes
// sure everything printed actually reached standard output.

#include "cli/driver.h"
#include "nsf/print.h"

#include <array>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <unistd.h>

int main(int argc, char *argv[]) {
    // Output goes out in large blocks when it is not a terminal (one write per
    // few hundred files), and a line at a time when someone is watching. The
    // block is static, not on the stack, so that the tool runs under a stack
    // limit as small as cat's.
    constexpr std::size_t kOutputBlock = std::size_t{64} * 1024;
    static std::array<char, kOutputBlock> out_buffer;
    // A write past the file-size limit (ulimit -f, perhaps lowered while the
    // run goes on) then fails with EFBIG instead of ending the process: a
    // field is put back like after any failed write, and output to a file
    // that reaches the limit gives status 1 and its line on standard error.
    (void)std::signal(SIGXFSZ, SIG_IGN); // cannot fail for this signal
    const bool terminal = isatty(STDOUT_FILENO) == 1;
    if (!terminal && errno == EBADF)
        nsf::hold_closed_stdout();
    std::setvbuf(stdout, out_buffer.data(), terminal ? _IOLBF : _IOFBF, out_buffer.size());
    const int status =
        cli::run_ombrek(argc, argv, terminal ? nsf::Display::terminal : nsf::Display::raw);
    return nsf::close_stdout(cli::kProgramName) ? status : 1;
}
