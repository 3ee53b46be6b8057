// SPDX-License-Identifier: ISC
// What both fuzz targets share: a scratch folder of their own, whole-file
// reads and writes, and a check that stops the run with a named reason.
#pragma once

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace scratch {

/// Makes a fresh folder under the temporary directory, works inside it from
/// now on, removes it at exit, and sends standard output to /dev/null (the
/// targets check files, not what the tool prints).
inline void enter() {
    static std::filesystem::path folder;
    std::string name = (std::filesystem::temp_directory_path() / "ombrek-fuzz-XXXXXX").string();
    if (mkdtemp(name.data()) == nullptr || std::freopen("/dev/null", "w", stdout) == nullptr) {
        std::perror("ombrek fuzz setup");
        std::abort();
    }
    folder = name;
    std::filesystem::current_path(folder);
    std::atexit([] { std::filesystem::remove_all(folder); });
}

inline std::string slurp(const char *path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

inline void spill(const char *path, const std::string &bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

/// Aborts with `what` when `ok` is false, so libFuzzer keeps the input.
inline void require(bool ok, const char *what) {
    if (!ok) {
        std::fprintf(stderr, "broken invariant: %s\n", what);
        std::abort();
    }
}

/// True when `after` is what a run may make of `before`: the file unchanged,
/// or, for a file that begins with the signature, only bytes 14 to 109 changed
/// and the file grown to at least 110 bytes, the gap before 14 read as zeros.
inline bool only_block_changed(const std::string &before, const std::string &after) {
    if (after == before)
        return true;
    std::string padded = before;
    if (padded.size() < 110)
        padded.resize(110, '\0');
    return before.compare(0, 4, "NESM") == 0 && after.size() == padded.size() &&
           after.compare(0, 14, padded, 0, 14) == 0 &&
           after.compare(110, std::string::npos, padded, 110) == 0;
}

} // namespace scratch
