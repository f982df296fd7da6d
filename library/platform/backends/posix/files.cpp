// Files the library keeps open: resolving a name once, and checking later that the name
// still leads to the open file.
#include "platform/files.h"

#include <sys/stat.h>

#include <cstdlib>

namespace platform {

std::string resolved_path(const char *name) {
    char *resolved = realpath(name, nullptr);
    std::string path = resolved ? resolved : name;
    std::free(resolved);
    return path;
}

bool still_named(std::FILE *file, const std::string &path) {
    struct stat open_file {}, named_file {};
    if (fstat(fileno(file), &open_file) != 0) return false;
    if (stat(path.c_str(), &named_file) != 0) return false;
    return open_file.st_dev == named_file.st_dev && open_file.st_ino == named_file.st_ino;
}

}  // namespace platform
