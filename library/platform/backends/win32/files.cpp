// Files the library keeps open, on Windows: a name resolved against the current folder
// once, and the volume and file index compared later to tell whether the name still leads
// to the open file.
#include "platform/files.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <io.h>

#include <string>

namespace platform {

namespace {

bool same_file(const BY_HANDLE_FILE_INFORMATION &a, const BY_HANDLE_FILE_INFORMATION &b) {
    return a.dwVolumeSerialNumber == b.dwVolumeSerialNumber &&
           a.nFileIndexHigh == b.nFileIndexHigh && a.nFileIndexLow == b.nFileIndexLow;
}

}  // namespace

std::string resolved_path(const char *name) {
    const DWORD needed = GetFullPathNameA(name, 0, nullptr, nullptr);
    if (needed == 0) return name;
    std::string path(needed, '\0');
    const DWORD length = GetFullPathNameA(name, needed, path.data(), nullptr);
    if (length == 0 || length >= needed) return name;
    path.resize(length);
    if (GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES) return name;
    return path;
}

bool still_named(std::FILE *file, const std::string &path) {
    HANDLE open_handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));
    BY_HANDLE_FILE_INFORMATION open_file{}, named_file{};
    if (open_handle == INVALID_HANDLE_VALUE ||
        !GetFileInformationByHandle(open_handle, &open_file))
        return false;
    // Opened for reading its identity only, sharing everything, so the check never
    // stands in the way of the program or anyone else.
    HANDLE named = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                               nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (named == INVALID_HANDLE_VALUE) return false;
    const bool got = GetFileInformationByHandle(named, &named_file) != 0;
    CloseHandle(named);
    return got && same_file(open_file, named_file);
}

}  // namespace platform
