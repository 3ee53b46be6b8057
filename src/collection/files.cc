// SPDX-License-Identifier: ISC
#include "collection/files.h"

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_set>

namespace collection {
namespace {

bool has_nsf_suffix(std::string_view name) {
    constexpr std::string_view kSuffix = ".nsf";
    if (name.size() < kSuffix.size())
        return false;
    return std::equal(kSuffix.begin(), kSuffix.end(), name.end() - kSuffix.size(),
                      [](char want, char got) {
                          return want == (got >= 'A' && got <= 'Z' ? got - 'A' + 'a' : got);
                      });
}

/// An entry of a folder as the walk needs it: what it is, and its inode.
struct Entry {
    unsigned char type;
    ino_t inode;
};

/// What `entry` of the folder open at `fd` is. A folder's type comes with
/// its entry on most filesystems; a file named *.nsf is asked for its inode
/// (a FUSE filesystem lists every entry with one unknown inode), so that two
/// names of one file are told apart. Nothing (DT_UNKNOWN) when it is gone
/// since it was listed.
Entry entry_of(int fd, const dirent &entry) {
    if (entry.d_type != DT_UNKNOWN && entry.d_type != DT_REG)
        return {entry.d_type, entry.d_ino};
    if (entry.d_type == DT_REG && !has_nsf_suffix(entry.d_name))
        return {DT_REG, 0};
    struct stat status {};
    if (fstatat(fd, entry.d_name, &status, AT_SYMLINK_NOFOLLOW) == -1)
        return {DT_UNKNOWN, 0};
    const unsigned char type = S_ISDIR(status.st_mode)   ? DT_DIR
                               : S_ISREG(status.st_mode) ? DT_REG
                                                         : DT_LNK;
    return {type, status.st_ino};
}

/// Adds the NSF files under the folder `path` to `found`, and walks its
/// folders. Each folder is read whole and closed before the next is opened,
/// so the depth of a tree costs no descriptors.
void walk(const std::string &path, std::vector<Found> &found, const Complaint &complain) {
    const int fd = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR *dir = fd == -1 ? nullptr : fdopendir(fd);
    struct stat folder {};
    if (dir == nullptr || fstat(fd, &folder) == -1) {
        complain(path, errno);
        if (dir != nullptr)
            (void)closedir(dir);
        else if (fd != -1)
            (void)close(fd);
        return;
    }
    std::vector<std::string> below;
    const std::string prefix = path.back() == '/' ? path : path + '/';
    for (;;) {
        errno = 0;
        const dirent *entry = readdir(dir);
        if (entry == nullptr)
            break;
        const std::string_view name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        const Entry what = entry_of(fd, *entry);
        // A regular file lies on its folder's filesystem.
        if (what.type == DT_REG && has_nsf_suffix(name))
            found.push_back({prefix + entry->d_name, {folder.st_dev, what.inode}});
        else if (what.type == DT_DIR && name.front() != '.')
            below.push_back(prefix + entry->d_name);
    }
    if (errno != 0)
        complain(path, errno);
    (void)closedir(dir); // read only: nothing to lose
    for (const std::string &folder_below : below)
        walk(folder_below, found, complain);
}

struct IdHash {
    std::size_t operator()(const nsf::FileId &id) const noexcept {
        return std::hash<ino_t>{}(id.inode) ^ (std::hash<dev_t>{}(id.device) << 1U);
    }
};

} // namespace

std::string as_found(std::string_view name) {
    const bool plain = name.starts_with('/') || name.starts_with("./") || name.starts_with("../") ||
                       name == "." || name == "..";
    return plain ? std::string(name) : "./" + std::string(name);
}

std::vector<Found> find_nsf_files(std::span<const char *const> folders, const Complaint &complain) {
    std::vector<Found> found;
    for (const char *folder : folders) {
        const std::string path = as_found(folder);
        struct stat status {};
        if (stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode))
            found.push_back({path, {status.st_dev, status.st_ino}});
        else
            walk(path, found, complain);
    }
    std::sort(found.begin(), found.end(),
              [](const Found &a, const Found &b) { return a.name < b.name; });
    std::unordered_set<nsf::FileId, IdHash> seen;
    seen.reserve(found.size());
    std::erase_if(found, [&](const Found &file) { return !seen.insert(file.id).second; });
    return found;
}

} // namespace collection
