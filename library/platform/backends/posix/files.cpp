// Files on POSIX systems: resolving a name once and checking later that the name still
// leads to the open file; files written beside their place and renamed into it.
#include "platform/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
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

std::FILE *create_beside(const std::string &path, std::string *temporary) {
    std::string pattern = path + ".XXXXXX";
    const int fd = mkostemp(pattern.data(), O_CLOEXEC);
    if (fd < 0) return nullptr;
    fchmod(fd, 0644);
    std::FILE *file = fdopen(fd, "wb");
    if (!file) {
        const int saved = errno;
        close(fd);
        unlink(pattern.c_str());
        errno = saved;
        return nullptr;
    }
    *temporary = pattern;
    return file;
}

bool flush_to_disk(std::FILE *file) {
    return std::fflush(file) == 0 && fsync(fileno(file)) == 0;
}

bool replace_file(const std::string &temporary, const std::string &path) {
    return std::rename(temporary.c_str(), path.c_str()) == 0;
}

std::FILE *scratch_file() {
    std::FILE *file = std::tmpfile();
    if (file) fcntl(fileno(file), F_SETFD, FD_CLOEXEC);
    return file;
}

}  // namespace platform
