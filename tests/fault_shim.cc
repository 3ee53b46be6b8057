// Loaded into the tool with LD_PRELOAD, makes reads, writes and closes of
// files fail the way a failing disk or network filesystem can, on demand:
//   OMBREK_FAULT=read   a file yields its first 4 bytes, then reads fail (EIO)
//   OMBREK_FAULT=close  closing a file fails (EIO) after it was closed
//   OMBREK_FAULT=short  each positioned write stores one byte only
// Descriptors 0 to 2 are never touched.

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <unistd.h>

namespace {

bool fault(int fd, const char *kind) {
    const char *set = std::getenv("OMBREK_FAULT");
    return fd > STDERR_FILENO && set != nullptr && std::strcmp(set, kind) == 0;
}

template <typename F> F *next(const char *name) {
    return reinterpret_cast<F *>(dlsym(RTLD_NEXT, name));
}

} // namespace

extern "C" ssize_t read(int fd, void *buffer, size_t count) {
    static auto *const real = next<ssize_t(int, void *, size_t)>("read");
    if (fault(fd, "read")) {
        const off_t at = lseek(fd, 0, SEEK_CUR);
        if (at >= 4) {
            errno = EIO;
            return -1;
        }
        count = std::min<size_t>(count, static_cast<size_t>(4 - at));
    }
    return real(fd, buffer, count);
}

extern "C" ssize_t pwrite(int fd, const void *buffer, size_t count, off_t offset) {
    static auto *const real = next<ssize_t(int, const void *, size_t, off_t)>("pwrite");
    return real(fd, buffer, fault(fd, "short") && count > 1 ? 1 : count, offset);
}

extern "C" ssize_t pwrite64(int fd, const void *buffer, size_t count, off_t offset) {
    return pwrite(fd, buffer, count, offset);
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
