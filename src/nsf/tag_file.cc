// SPDX-License-Identifier: ISC
#include "nsf/tag_file.h"

#include "nsf/tag_block.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>
#include <utility>

namespace nsf {
namespace {

constexpr char kOpenErrorView[] = "File open error!(in)\n";
constexpr char kOpenErrorApply[] = "File open error!(apply)\n";
constexpr char kNotNsf[] = "the file is not NSF format\n";
constexpr char kReadError[] = "File read error!(in)\n";
constexpr char kWriteError[] = "File write error!(apply)\n";
constexpr std::string_view kViewFormat =
    "-------- file : %s --------\nTitle : %s\nArtist : %s\nCopyright : %s\n";
constexpr std::string_view kApplyFormat = "-------- file : %s --------\n";

/// How much of a file's head was read, and the error that stopped reading
/// before the end of the file (0 when there was none).
struct HeadRead {
    std::size_t count;
    int error;
};

/// How a head is read: in order, as a view reads a pipe too, or by positioned
/// reads, which fail at once (ESPIPE) on anything that cannot be updated in
/// place.
enum class Access : bool { in_order, positioned };

/// Makes the descriptor `fd`, opened with O_NONBLOCK, wait from now on.
/// Returns false when it already waited, or when that cannot be changed.
bool make_blocking(int fd) {
    const int flags = fcntl(fd, F_GETFL);
    return flags != -1 && (flags & O_NONBLOCK) != 0 &&
           fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != -1;
}

/// Reads the head of the file open at `fd`. A regular file of at least
/// kHeadSize bytes takes one read; the loop only matters for short files and
/// for pipes, which may hand over fewer bytes than asked, or none yet. The
/// first "none yet" (EAGAIN) makes the descriptor wait, as cat's does: a pipe
/// then waits for its writer, and a regular file on a filesystem that honours
/// O_NONBLOCK (FUSE) for its bytes, where poll would report it ready at once.
/// Bytes past the end of the file stay as `head` held them (zero).
HeadRead read_head(int fd, Head &head, Access access) {
    HeadRead got{0, 0};
    while (got.count < head.size()) {
        unsigned char *into = head.data() + got.count;
        const std::size_t wanted = head.size() - got.count;
        const ssize_t n = access == Access::in_order
                              ? read(fd, into, wanted)
                              : pread(fd, into, wanted, static_cast<off_t>(got.count));
        if (n == 0)
            break;
        if (n > 0) {
            got.count += static_cast<std::size_t>(n);
            // Four bytes decide a file that is not NSF; a pipe's writer may
            // never send more, or never close.
            if (got.count >= kSignature.size() && !has_signature({head.data(), got.count}))
                break;
            continue;
        }
        if (errno == EINTR || (errno == EAGAIN && make_blocking(fd)))
            continue;
        got.error = errno;
        break;
    }
    return got;
}

/// Writes `bytes` at `offset`, carrying on after a short or interrupted
/// write. Returns how many were written: all of them, or fewer when a write
/// failed (errno says why) or stored nothing (errno is then EIO).
std::size_t write_at(int fd, std::span<const unsigned char> bytes, off_t offset) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n =
            pwrite(fd, bytes.data() + done, bytes.size() - done, offset + static_cast<off_t>(done));
        if (n > 0) {
            done += static_cast<std::size_t>(n);
        } else if (n == 0 || errno != EINTR) {
            if (n == 0)
                errno = EIO;
            break;
        }
    }
    return done;
}

/// Block offsets [begin, end) of given fields that lie side by side, moved
/// with one positioned write.
struct Stretch {
    std::size_t begin, end;
};

/// Writes into the file open at `fd` the fields that `texts` holds a string
/// for, and no other byte: two runs setting different fields of one file
/// cannot undo each other. `old` is the head as read, `old_size` bytes of it
/// from the file. Returns 0, or the error of a write that failed (EFBIG for
/// one that would pass `size_limit`); the fields are then wholly old or
/// wholly new.
int write_fields(int fd, const Head &old, std::size_t old_size, const Texts &texts,
                 std::uint64_t size_limit) {
    Head head = old;
    const Block block = tag_block(head);
    std::array<Stretch, kFields.size()> stretches{};
    std::size_t count = 0;
    for (Field field : {title, artist, copyright}) {
        if (!texts[field])
            continue;
        put_field(block, field, *texts[field]);
        const FieldSlot slot = kFields[field];
        if (count > 0 && stretches[count - 1].end == slot.offset)
            stretches[count - 1].end += slot.width;
        else
            stretches[count++] = {slot.offset, slot.offset + slot.width};
    }
    if (count == 0)
        return 0;
    // A file that ends inside the block is completed to its end, the kept
    // fields included, so that it holds a whole header afterwards.
    const bool short_file = old_size < kHeadSize;
    if (short_file) {
        stretches[0] = {0, kBlockSize};
        count = 1;
    }
    // Past the limit the kernel would cut the write short part-way through
    // a field; better not to start it.
    if (kBlockOffset + stretches[count - 1].end > size_limit)
        return EFBIG;
    int error = 0;
    const auto write_stretch = [&](const Stretch &stretch) {
        const auto offset = static_cast<off_t>(kBlockOffset + stretch.begin);
        const std::size_t length = stretch.end - stretch.begin;
        const std::size_t done = write_at(fd, block.subspan(stretch.begin, length), offset);
        if (done == length)
            return true;
        error = errno;
        // Put back what this write changed: the old bytes, and the old end of
        // a short file that this write stored bytes past. The cut is made
        // even when the old bytes could not be put back, since every byte
        // written past the old end goes with it; it is made only then, since
        // it sets the file's times and would cut off what another program
        // appended since the read. Should either fail, the disk has failed
        // under us; the write error is reported either way.
        [[maybe_unused]] const bool put_back =
            write_at(fd, tag_block(old).subspan(stretch.begin, done), offset) == done;
        const bool grew = done > 0 && kBlockOffset + stretch.begin + done > old_size;
        [[maybe_unused]] const bool cut_back =
            !grew || ftruncate(fd, static_cast<off_t>(old_size)) == 0;
        return false;
    };
    return std::ranges::all_of(std::span(stretches.data(), count), write_stretch) ? 0 : error;
}

/// Opens `filename` with `flags`. Without O_NONBLOCK, opening a FIFO would
/// wait for a writer; with it, a FIFO with none reads as empty. But a regular
/// file under a lease (an SMB oplock, an NFS delegation) refuses a
/// non-blocking open with EWOULDBLOCK: opened again without it, the lease is
/// broken and its holder waited for, at most the system's lease-break time,
/// as any other program's open waits. A terminal named as a file never
/// becomes the controlling terminal.
int open_file(const char *filename, int flags) {
    const int fd = open(filename, flags | O_NONBLOCK | O_NOCTTY);
    if (fd == -1 && errno == EWOULDBLOCK)
        return open(filename, flags | O_NOCTTY);
    return fd;
}

} // namespace

Result read_tags(const char *filename, Head &head, FileId *id) {
    const int fd = open_file(filename, O_RDONLY);
    if (fd == -1)
        return {Outcome::cannot_open, errno};
    struct stat status {};
    if (id != nullptr) {
        if (fstat(fd, &status) == -1) {
            const int error = errno;
            (void)close(fd);
            return {Outcome::cannot_open, error};
        }
        *id = {status.st_dev, status.st_ino};
    }
    const HeadRead got = read_head(fd, head, Access::in_order);
    // The descriptor was only read from: closing it cannot lose anything, and
    // the tags read are complete whatever close reports.
    (void)close(fd);
    // A file that cannot yield its first four bytes, for whatever reason, fails
    // the signature rule; an error after that is a read error.
    if (!has_signature({head.data(), got.count}))
        return {Outcome::not_nsf, 0};
    if (got.error != 0)
        return {Outcome::read_error, got.error};
    return {Outcome::done, 0};
}

Result write_tags(const char *filename, const Texts &texts, std::uint64_t size_limit) {
    const int fd = open_file(filename, O_RDWR);
    if (fd == -1)
        return {Outcome::cannot_open, errno};
    // The old block is read along with the signature so that a short file
    // keeps its fields when it is completed, and so that a failed write can be
    // undone.
    Head head{};
    const HeadRead got = read_head(fd, head, Access::positioned);
    const bool nsf = has_signature({head.data(), got.count});
    int error = got.error;
    if (nsf && error == 0)
        error = write_fields(fd, head, got.count, texts, size_limit);
    const bool closed = close(fd) == 0;
    if (error == 0 && !closed)
        error = errno;
    if (got.error == ESPIPE)
        return {Outcome::cannot_update, ESPIPE};
    if (!nsf)
        return {Outcome::not_nsf, 0};
    if (error != 0)
        return {Outcome::write_error, error};
    return {Outcome::done, 0};
}

int view_tags(const char *filename, Display display) {
    Head head{};
    const Result result = read_tags(filename, head);
    switch (result.outcome) {
    case Outcome::done: {
        const auto block = tag_block(std::as_const(head));
        print_shown(display, kViewFormat,
                    {filename, field_text(block, title), field_text(block, artist),
                     field_text(block, copyright)});
        return 0;
    }
    case Outcome::cannot_open: std::fputs(kOpenErrorView, stdout); break;
    case Outcome::not_nsf: std::fputs(kNotNsf, stdout); break;
    default: std::fputs(kReadError, stdout); break;
    }
    return -1;
}

int apply_tags(const char *filename, const char *title_text, const char *artist_text,
               const char *copyright_text, Display display, std::uint64_t size_limit) {
    Texts texts;
    const char *given[] = {title_text, artist_text, copyright_text};
    for (Field field : {title, artist, copyright})
        if (given[field] != nullptr)
            texts[field] = given[field];
    // Nothing is printed while the file is open for writing.
    switch (write_tags(filename, texts, size_limit).outcome) {
    case Outcome::done: print_shown(display, kApplyFormat, {filename}); return 0;
    case Outcome::cannot_open:
    case Outcome::cannot_update: std::fputs(kOpenErrorApply, stdout); break;
    case Outcome::not_nsf: std::fputs(kNotNsf, stdout); break;
    default: std::fputs(kWriteError, stdout); break;
    }
    return -1;
}

std::uint64_t file_size_limit() {
    rlimit limit{};
    // This cannot fail for RLIMIT_FSIZE; were it to, the kernel would still
    // enforce the limit, only without the check that keeps fields whole.
    if (getrlimit(RLIMIT_FSIZE, &limit) == -1 || limit.rlim_cur == RLIM_INFINITY)
        return UINT64_MAX;
    return limit.rlim_cur;
}

} // namespace nsf
