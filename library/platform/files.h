// Files the library and its tools keep open: whether an open file still is the one its
// name names, so that a recording notices its file being removed or replaced under it;
// files written whole beside their place and renamed into it, so that a failed write
// never leaves half a file under the name; scratch files. Each system has its own
// (backends/posix/files.cpp, backends/win32/files.cpp).
#pragma once

#include <cstdio>
#include <string>

namespace platform {

// The absolute path of an existing file, or the name itself when it cannot be resolved.
std::string resolved_path(const char *name);

// True while path names the very file that file has open.
bool still_named(std::FILE *file, const std::string &path);

// A new, empty file beside path for binary writing, readable by everyone, not inherited by
// programs this one starts; its name goes to *temporary. nullptr (errno set) on failure.
std::FILE *create_beside(const std::string &path, std::string *temporary);

// Writes file's buffered data and has the system put it on the disk. false (errno set)
// on failure.
bool flush_to_disk(std::FILE *file);

// Renames temporary to path, replacing any file there. false (errno set) on failure.
bool replace_file(const std::string &temporary, const std::string &path);

// An anonymous binary file for reading and writing, removed when closed, not inherited by
// programs this one starts. nullptr (errno set) on failure.
std::FILE *scratch_file();

}  // namespace platform
