// SPDX-License-Identifier: ISC
#include "rename/name.h"

#include "nsf/tag_block.h"

#include <algorithm>
#include <cctype>

namespace rename_nsf {
namespace {

constexpr std::string_view kSuffix = ".nsf";
constexpr std::size_t kLongestName = 255; // bytes, on every filesystem
constexpr std::string_view kUnknown = "<?>";
constexpr std::string_view kRefused = "<>:\"/\\|?*";
constexpr unsigned char kDel = 0x7F, kC1Lead = 0xC2, kFirstNonAscii = 0x80, kLastC1 = 0x9F;

/// `text` with each character no filesystem takes as _.
std::string cleaned(std::string_view text) {
    std::string name;
    for (std::size_t i = 0; i < text.size();) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte < kFirstNonAscii) {
            const bool refused =
                byte < ' ' || byte == kDel || kRefused.find(text[i]) != std::string_view::npos;
            name += refused ? '_' : text[i];
            ++i;
            continue;
        }
        const std::size_t length = nsf::utf8_length(text.substr(i));
        const bool c1 =
            byte == kC1Lead && length == 2 && static_cast<unsigned char>(text[i + 1]) <= kLastC1;
        if (length == 0 || c1) {
            name += '_';
            i += length == 0 ? 1 : length;
            continue;
        }
        name.append(text.substr(i, length));
        i += length;
    }
    return name;
}

/// True when `base`, up to its first dot, names a DOS device: CON, PRN,
/// AUX, NUL, COM1-9 or LPT1-9, in any case.
bool reserved(std::string_view base) {
    std::string stem(base.substr(0, base.find('.')));
    std::transform(stem.begin(), stem.end(), stem.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    if (stem == "CON" || stem == "PRN" || stem == "AUX" || stem == "NUL")
        return true;
    return stem.size() == 4 && (stem.starts_with("COM") || stem.starts_with("LPT")) &&
           stem[3] >= '1' && stem[3] <= '9';
}

/// The longest start of `text` of at most `limit` bytes that splits no
/// UTF-8 character.
std::string_view cut(std::string_view text, std::size_t limit) {
    std::size_t end = 0;
    while (end < text.size()) {
        const std::size_t length = std::max<std::size_t>(nsf::utf8_length(text.substr(end)), 1);
        if (end + length > limit)
            break;
        end += length;
    }
    return text.substr(0, end);
}

} // namespace

bool valid_format(std::string_view format) {
    for (std::size_t at = format.find('%'); at != std::string_view::npos;
         at = format.find('%', at + 2))
        if (at + 1 == format.size() ||
            std::string_view("tac%").find(format[at + 1]) == std::string_view::npos)
            return false;
    return true;
}

std::optional<std::string> name_for(std::string_view format, Tags tags) {
    for (std::string_view &tag : tags)
        if (tag == kUnknown)
            tag = {};
    const std::string_view title = tags[0];
    const std::string_view artist = tags[1];
    if (title.empty())
        return std::nullopt;
    if (format.empty())
        format = artist.empty() ? "%t" : "%a - %t";
    std::string base;
    for (std::size_t i = 0; i < format.size(); ++i) {
        if (format[i] != '%' || i + 1 == format.size()) {
            base += format[i];
            continue;
        }
        const char letter = format[++i];
        base += letter == 't' ? tags[0] : letter == 'a' ? tags[1] : letter == 'c' ? tags[2] : "%";
    }
    base = cleaned(base);
    base.erase(0, base.find_first_not_of(' '));
    if (base.empty())
        return std::nullopt;
    if (reserved(base))
        base.insert(std::min(base.find('.'), base.size()), "_");
    return std::string(cut(base, kLongestName - kSuffix.size())) + std::string(kSuffix);
}

} // namespace rename_nsf
