// SPDX-License-Identifier: ISC
// Process entry: sets up standard output, runs the argument loop, and makes
// sure everything printed actually reached standard output.

#include "cli/driver.h"

#include <array>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

/// With standard output closed, the next file opened would take its
/// descriptor and output could land in a user's file. Holding the descriptor
/// with /dev/null opened read-only keeps files off it and makes every write
/// to standard output fail, which the end-of-run check then reports.
void hold_closed_stdout() {
    const int fd = open("/dev/null", O_RDONLY);
    if (fd == -1 || fd == STDOUT_FILENO)
        return;
    // Should this fail, the files are still safe: nothing is printed while a
    // file is open for writing, and a read-only one refuses the bytes.
    (void)dup2(fd, STDOUT_FILENO);
    (void)close(fd);
}

/// Flushes and closes standard output. A write that failed earlier in the run
/// or in this last flush (a full disk, a closed descriptor) is reported on
/// standard error, the only channel left, so that a cut-off listing never
/// passes as success.
bool close_stdout() {
    const bool failed_earlier = std::ferror(stdout) != 0;
    if (std::fclose(stdout) != 0) {
        const int error = errno;
        std::fprintf(stderr, "%s: write error on standard output: %s\n", cli::kProgramName,
                     std::strerror(error));
        return false;
    }
    if (failed_earlier) {
        std::fprintf(stderr, "%s: write error on standard output\n", cli::kProgramName);
        return false;
    }
    return true;
}

} // namespace

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
        hold_closed_stdout();
    std::setvbuf(stdout, out_buffer.data(), terminal ? _IOLBF : _IOFBF, out_buffer.size());
    const int status =
        cli::run_ombrek(argc, argv, terminal ? nsf::Display::terminal : nsf::Display::raw);
    return close_stdout() ? status : 1;
}
