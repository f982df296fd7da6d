// Files the library keeps open: whether an open file still is the one its name names, so
// that a recording notices its file being removed or replaced under it.
#pragma once

#include <cstdio>
#include <string>

namespace platform {

// The absolute path of an existing file, or the name itself when it cannot be resolved.
std::string resolved_path(const char *name);

// True while path names the very file that file has open.
bool still_named(std::FILE *file, const std::string &path);

}  // namespace platform
