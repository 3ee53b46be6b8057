// SPDX-License-Identifier: ISC
// How the collection commands find the NSF files of a collection.
#pragma once

#include "nsf/tag_file.h"

#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace collection {

/// A file found, by the name it was found under and the file it is.
struct Found {
    std::string name;
    nsf::FileId id;
};

/// Told of each folder that cannot be read, with the system's error.
using Complaint = std::function<void(std::string_view name, int error)>;

/// Every regular file named *.nsf, in any case, at any depth under each of
/// `folders` (a regular file named there stands for itself), in C-locale
/// order of the names as found from the current folder, a relative folder
/// with "./" before it so that no name is read as an option. A file with
/// several names comes once, under the first. Folders whose names begin with
/// "." below a named folder are not entered (a trash folder is not part of a
/// collection); symlinks are not followed.
std::vector<Found> find_nsf_files(std::span<const char *const> folders, const Complaint &complain);

/// `name` as given, or with "./" before it when it is relative and does not
/// begin with "./" or "../" already, or is "." or "..".
std::string as_found(std::string_view name);

} // namespace collection
