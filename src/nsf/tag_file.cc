#include "nsf/tag_file.h"

#include "nsf/tag_block.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/types.h>
#include <unistd.h>

namespace nsf {
namespace {

constexpr char kOpenErrorView[] = "File open error!(in)\n";
constexpr char kOpenErrorApply[] = "File open error!(apply)\n";
constexpr char kNotNsf[] = "the file is not NSF format\n";
constexpr char kReadError[] = "File read error!(in)\n";
constexpr char kWriteError[] = "File write error!(apply)\n";
constexpr char kViewFormat[] =
    "-------- file : %s --------\nTitle : %.*s\nArtist : %.*s\nCopyright : %.*s\n";
constexpr char kApplyFormat[] = "-------- file : %s --------\n";

/// How much of a file's head was read, and whether reading stopped on an error
/// rather than at the end of the file.
struct HeadRead {
    std::size_t count;
    bool failed;
};

/// Reads the head of the file open at `fd`. A regular file of at least
/// kHeadSize bytes takes one read; the loop only matters for short files and
/// for pipes, which may hand over fewer bytes than asked. Bytes past the end
/// of the file stay as `head` held them (zero).
HeadRead read_head(int fd, Head &head) {
    HeadRead got{0, false};
    while (got.count < head.size()) {
        const ssize_t n = read(fd, head.data() + got.count, head.size() - got.count);
        if (n == 0)
            break;
        if (n == -1) {
            if (errno == EINTR)
                continue;
            got.failed = true;
            break;
        }
        got.count += static_cast<std::size_t>(n);
    }
    return got;
}

/// Writes all of `block` at kBlockOffset with positioned writes. A short
/// write is continued; one that cannot go on fails.
bool write_block(int fd, std::span<const unsigned char> block) {
    auto offset = static_cast<off_t>(kBlockOffset);
    while (!block.empty()) {
        const ssize_t n = pwrite(fd, block.data(), block.size(), offset);
        if (n == -1 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        block = block.subspan(static_cast<std::size_t>(n));
        offset += n;
    }
    return true;
}

int text_length(std::string_view text) {
    return static_cast<int>(text.size());
}

} // namespace

int view_tags(const char *filename) {
    const int fd = open(filename, O_RDONLY);
    if (fd == -1) {
        std::fputs(kOpenErrorView, stdout);
        return -1;
    }
    Head head{};
    const HeadRead got = read_head(fd, head);
    // A file that cannot yield its first four bytes, for whatever reason, fails
    // the signature rule; an error after that is a read error.
    const char *failure = !has_signature({head.data(), got.count}) ? kNotNsf
                          : got.failed                             ? kReadError
                                                                   : nullptr;
    if (failure == nullptr) {
        const Block block = tag_block(head);
        const std::string_view name = field_text(block, title);
        const std::string_view author = field_text(block, artist);
        const std::string_view notice = field_text(block, copyright);
        std::printf(kViewFormat, filename, text_length(name), name.data(), text_length(author),
                    author.data(), text_length(notice), notice.data());
    } else {
        std::fputs(failure, stdout);
    }
    // The descriptor was only read from: closing it cannot lose anything, and
    // the tags shown are complete whatever close reports.
    (void)close(fd);
    return failure == nullptr ? 0 : -1;
}

int apply_tags(const char *filename, const char *title_text, const char *artist_text,
               const char *copyright_text) {
    const int fd = open(filename, O_RDWR);
    if (fd == -1) {
        std::fputs(kOpenErrorApply, stdout);
        return -1;
    }
    // The old block is read along with the signature so that fields no string
    // was given for are written back exactly as they were.
    Head head{};
    const HeadRead got = read_head(fd, head);
    const bool nsf = has_signature({head.data(), got.count});
    bool written = false;
    if (nsf && !got.failed) {
        const Block block = tag_block(head);
        const char *texts[] = {title_text, artist_text, copyright_text};
        for (Field field : {title, artist, copyright})
            if (texts[field] != nullptr)
                put_field(block, field, texts[field]);
        written = write_block(fd, block);
    }
    // Nothing is printed while the file is open for writing.
    if (close(fd) == -1)
        written = false;
    if (!nsf) {
        std::fputs(kNotNsf, stdout);
        return -1;
    }
    if (!written) {
        std::fputs(kWriteError, stdout);
        return -1;
    }
    std::printf(kApplyFormat, filename);
    return 0;
}

} // namespace nsf
