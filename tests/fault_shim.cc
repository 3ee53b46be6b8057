// SPDX-License-Identifier: ISC
// Loaded into the tool with LD_PRELOAD, makes opens, reads, writes and closes of
// files fail the way a failing disk or network filesystem can, on demand:
//   OMBREK_FAULT=read   a file yields its first 4 bytes, then reads fail (EIO)
//   OMBREK_FAULT=close  closing a file fails (EIO) after it was closed
//   OMBREK_FAULT=short  each positioned write stores one byte only
//   OMBREK_FAULT=zero   each positioned write stores nothing and returns 0
//   OMBREK_FAULT=full   the disk is full from byte 50: a positioned write
//                       stops there, and one that starts there fails (ENOSPC)
//   OMBREK_FAULT=eintr  every other read, positioned read and positioned
//                       write is interrupted (EINTR) before it starts
//   OMBREK_FAULT=trace  each positioned write is made, then reported on
//                       standard error as "pwrite OFFSET LENGTH"
//   OMBREK_FAULT=eio    the first positioned write stores 40 bytes; later ones fail (EIO)
//   OMBREK_FAULT=fsize  each positioned write first lowers the file-size limit to 100
//   OMBREK_FAULT=lease  a non-blocking open fails (EWOULDBLOCK), as under a lease
//   OMBREK_FAULT=eagain a read or positioned read fails (EAGAIN) while the
//                       descriptor has O_NONBLOCK, as a FUSE file's may
// Descriptors 0 to 2 are never touched. With OMBREK_FAULT set, the shim says
// "fault shim loaded" on standard error as the process starts, so a row whose
// shim did not load (a static tool, a path the loader cannot take) fails.

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

bool fault(const char *kind) {
    const char *set = std::getenv("OMBREK_FAULT");
    return set != nullptr && std::strcmp(set, kind) == 0;
}

bool fault(int fd, const char *kind) {
    return fd > STDERR_FILENO && fault(kind);
}

template <typename F> F *next(const char *name) {
    return reinterpret_cast<F *>(dlsym(RTLD_NEXT, name));
}

/// In "eintr" mode, true for every other call, which then fails with EINTR.
bool interrupted(int fd) {
    static bool last = false;
    if (!fault(fd, "eintr"))
        return false;
    last = !last;
    if (last)
        errno = EINTR;
    return last;
}

/// In "eagain" mode, true while `fd` does not block; the read then fails.
bool not_yet(int fd) {
    if (!fault(fd, "eagain") || (fcntl(fd, F_GETFL) & O_NONBLOCK) == 0)
        return false;
    errno = EAGAIN;
    return true;
}

/// In "read" mode, the bytes a read at `at` may yield: none past the first 4.
bool read_fails(int fd, off64_t at, size_t &count) {
    if (!fault(fd, "read"))
        return false;
    if (at >= 4) {
        errno = EIO;
        return true;
    }
    count = std::min<size_t>(count, static_cast<size_t>(4 - at));
    return false;
}

[[gnu::constructor]] void announce() {
    if (std::getenv("OMBREK_FAULT") != nullptr)
        (void)!write(STDERR_FILENO, "fault shim loaded\n", 18);
}

/// A positioned read, with the faults of the mode, at a 32- or 64-bit offset.
template <typename Offset>
ssize_t positioned_read(ssize_t (*real)(int, void *, size_t, Offset), int fd, void *buffer,
                        size_t count, Offset offset) {
    if (interrupted(fd) || not_yet(fd) || read_fails(fd, static_cast<off64_t>(offset), count))
        return -1;
    return real(fd, buffer, count, offset);
}

/// A positioned write, with the faults of the mode, at a 32- or 64-bit offset.
template <typename Offset>
ssize_t positioned_write(ssize_t (*real)(int, const void *, size_t, Offset), int fd,
                         const void *buffer, size_t count, Offset offset) {
    constexpr Offset kFull = 50;
    static int writes = 0;
    const rlimit lowered{100, RLIM_INFINITY}; // the hard limit the tests run with
    if (interrupted(fd))
        return -1;
    if (fault(fd, "zero"))
        return 0;
    if (fault(fd, "short"))
        count = std::min<size_t>(count, 1);
    if (fault(fd, "eio") && ++writes > 1) {
        errno = EIO;
        return -1;
    }
    if (fault(fd, "eio"))
        count = std::min<size_t>(count, 40);
    if (fault(fd, "fsize"))
        setrlimit(RLIMIT_FSIZE, &lowered);
    if (fault(fd, "full")) {
        if (offset >= kFull) {
            errno = ENOSPC;
            return -1;
        }
        count = std::min<size_t>(count, static_cast<size_t>(kFull - offset));
    }
    const ssize_t n = real(fd, buffer, count, offset);
    if (fault(fd, "trace"))
        dprintf(STDERR_FILENO, "pwrite %lld %zu\n", static_cast<long long>(offset), count);
    return n;
}

/// An open, refused in "lease" mode when it would not block.
int opened(int (*real)(const char *, int, ...), const char *path, int flags) {
    if ((flags & O_NONBLOCK) != 0 && fault("lease")) {
        errno = EWOULDBLOCK;
        return -1;
    }
    return real(path, flags);
}

} // namespace

extern "C" ssize_t read(int fd, void *buffer, size_t count) {
    static auto *const real = next<ssize_t(int, void *, size_t)>("read");
    if (interrupted(fd) || not_yet(fd) || read_fails(fd, lseek(fd, 0, SEEK_CUR), count))
        return -1;
    return real(fd, buffer, count);
}

// A 32-bit tool built with 64-bit offsets calls the ...64 forms; a 64-bit one
// the plain forms, which there are the same functions.
extern "C" ssize_t pread(int fd, void *buffer, size_t count, off_t offset) {
    static auto *const real = next<ssize_t(int, void *, size_t, off_t)>("pread");
    return positioned_read(real, fd, buffer, count, offset);
}

extern "C" ssize_t pread64(int fd, void *buffer, size_t count, off64_t offset) {
    static auto *const real = next<ssize_t(int, void *, size_t, off64_t)>("pread64");
    return positioned_read(real, fd, buffer, count, offset);
}

extern "C" ssize_t pwrite(int fd, const void *buffer, size_t count, off_t offset) {
    static auto *const real = next<ssize_t(int, const void *, size_t, off_t)>("pwrite");
    return positioned_write(real, fd, buffer, count, offset);
}

extern "C" ssize_t pwrite64(int fd, const void *buffer, size_t count, off64_t offset) {
    static auto *const real = next<ssize_t(int, const void *, size_t, off64_t)>("pwrite64");
    return positioned_write(real, fd, buffer, count, offset);
}

// The tool never creates a file, so there is no mode to pass on.
extern "C" int open(const char *path, int flags, ...) {
    static auto *const real = next<int(const char *, int, ...)>("open");
    return opened(real, path, flags);
}

extern "C" int open64(const char *path, int flags, ...) {
    static auto *const real = next<int(const char *, int, ...)>("open64");
    return opened(real, path, flags);
}

extern "C" int close(int fd) {
    static auto *const real = next<int(int)>("close");
    const int result = real(fd);
    if (result == 0 && fault(fd, "close")) {
        errno = EIO;
        return -1;
    }
    return result;
}
