// SPDX-License-Identifier: ISC
#include "nsf/print.h"

#include "nsf/tag_block.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace nsf {
namespace {

constexpr unsigned char kDel = 0x7F;
constexpr unsigned char kC1Lead = 0xC2;
constexpr std::string_view kBom = "\xEF\xBB\xBF";

/// True for C0 and DEL.
bool is_c0(unsigned char byte) {
    return byte < 0x20 || byte == kDel; // NOLINT(*-magic-numbers): the first printable byte
}

/// True when `text` begins with a C1 control, U+0080 to U+009F, which UTF-8
/// writes as 0xC2 0x80 to 0xC2 0x9F and some terminals obey.
bool starts_c1(std::string_view text) {
    return text.size() >= 2 && static_cast<unsigned char>(text[0]) == kC1Lead &&
           (static_cast<unsigned char>(text[1]) & 0xE0) == 0x80; // NOLINT(*-magic-numbers)
}

/// The escape that names `byte`, or null.
const char *named_escape(unsigned char byte) {
    switch (byte) {
    case '\\': return "\\\\";
    case '\t': return "\\t";
    case '\n': return "\\n";
    case '\r': return "\\r";
    default: return nullptr;
    }
}

void put_hex(std::FILE *stream, unsigned char byte) {
    constexpr char kDigits[] = "0123456789ABCDEF";
    constexpr unsigned kDigitBits = 4;
    constexpr unsigned kDigitMask = 0xF;
    putc_unlocked('\\', stream);
    putc_unlocked('x', stream);
    putc_unlocked(kDigits[byte >> kDigitBits], stream);
    putc_unlocked(kDigits[byte & kDigitMask], stream);
}

void put_escaped(std::FILE *stream, std::string_view text) {
    constexpr unsigned char kFirstNonAscii = 0x80;
    for (std::size_t i = 0; i < text.size();) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (const char *named = named_escape(byte)) {
            fputs_unlocked(named, stream);
            ++i;
        } else if (byte < kFirstNonAscii) {
            if (is_c0(byte))
                put_hex(stream, byte);
            else
                putc_unlocked(byte, stream);
            ++i;
        } else {
            // U+FEFF is invisible, and a table that begins with it reads it
            // as a byte-order mark: escaped too.
            const std::string_view rest = text.substr(i);
            const std::size_t length = utf8_length(rest);
            if (length == 0 || starts_c1(rest) || rest.starts_with(kBom)) {
                for (const char escaped : rest.substr(0, std::max<std::size_t>(length, 1)))
                    put_hex(stream, static_cast<unsigned char>(escaped));
            } else {
                fwrite_unlocked(rest.data(), 1, length, stream);
            }
            i += std::max<std::size_t>(length, 1);
        }
    }
}

} // namespace

/// Control characters are C0 (0x00-0x1F), DEL, and C1; each shows on a
/// terminal as one '?'; every other byte, UTF-8 or not, is shown as it is.
void put_shown(std::FILE *stream, std::string_view text, Display display) {
    if (display == Display::raw) {
        fwrite_unlocked(text.data(), 1, text.size(), stream);
        return;
    }
    if (display == Display::escaped) {
        put_escaped(stream, text);
        return;
    }
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        const bool c1 = starts_c1(text.substr(i));
        if (c1)
            ++i;
        putc_unlocked(is_c0(byte) || c1 ? '?' : byte, stream);
    }
}

void print_shown(Display display, std::string_view format,
                 std::initializer_list<std::string_view> texts) {
    for (const std::string_view text : texts) {
        const std::size_t mark = format.find("%s");
        if (mark == std::string_view::npos)
            break;
        fwrite_unlocked(format.data(), 1, mark, stdout);
        put_shown(stdout, text, display);
        format.remove_prefix(mark + 2);
    }
    fwrite_unlocked(format.data(), 1, format.size(), stdout);
}

bool set_up_stdout() {
    // Static, not on the stack, so that the tool runs under a stack limit
    // as small as cat's.
    constexpr std::size_t kOutputBlock = std::size_t{64} * 1024;
    static std::array<char, kOutputBlock> out_buffer;
    const bool terminal = isatty(STDOUT_FILENO) == 1;
    if (!terminal && errno == EBADF) {
        const int fd = open("/dev/null", O_RDONLY);
        // Should this fail, the files are still safe: nothing is printed while
        // a file is open for writing, and a read-only one refuses the bytes.
        if (fd != -1 && fd != STDOUT_FILENO) {
            (void)dup2(fd, STDOUT_FILENO);
            (void)close(fd);
        }
    }
    std::setvbuf(stdout, out_buffer.data(), terminal ? _IOLBF : _IOFBF, out_buffer.size());
    return terminal;
}

bool close_stdout(const char *program) {
    const bool failed_earlier = std::ferror(stdout) != 0;
    if (std::fclose(stdout) != 0) {
        const int error = errno;
        std::fprintf(stderr, "%s: write error on standard output: %s\n", program,
                     std::strerror(error));
        return false;
    }
    if (failed_earlier) {
        std::fprintf(stderr, "%s: write error on standard output\n", program);
        return false;
    }
    return true;
}

} // namespace nsf
