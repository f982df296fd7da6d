// Files on Windows: a name resolved against the current folder once, and the volume and
// file index compared later to tell whether the name still leads to the open file; only
// disk files opened for reading; the program's last word at exit or when its console is
// interrupted or closed; files written beside their place and moved into it; scratch
// files deleted on close.
#include "platform/files.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <fcntl.h>
#include <io.h>

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <string>

namespace platform {

namespace {

bool same_file(const BY_HANDLE_FILE_INFORMATION &a, const BY_HANDLE_FILE_INFORMATION &b) {
    return a.dwVolumeSerialNumber == b.dwVolumeSerialNumber &&
           a.nFileIndexHigh == b.nFileIndexHigh && a.nFileIndexLow == b.nFileIndexLow;
}

// The C library's error number for the system's last error, so callers can say why.
void set_errno_from_last_error() {
    switch (GetLastError()) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME: errno = ENOENT; break;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION: errno = EACCES; break;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS: errno = EEXIST; break;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: errno = ENOSPC; break;
    default: errno = EIO; break;
    }
}

// A C stream on a handle the C library then owns; the handle is closed on failure.
std::FILE *stream_of(HANDLE handle, int flags, const char *mode) {
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), flags);
    if (fd < 0) {
        CloseHandle(handle);
        return nullptr;
    }
    std::FILE *file = _fdopen(fd, mode);
    if (!file) _close(fd);
    return file;
}

// Handles this program opens are not inherited by the programs it starts.
SECURITY_ATTRIBUTES not_inherited() {
    SECURITY_ATTRIBUTES attributes{};
    attributes.nLength = sizeof attributes;
    attributes.bInheritHandle = FALSE;
    return attributes;
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
    const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    HANDLE named = CreateFileA(path.c_str(), 0, share, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
    if (named == INVALID_HANDLE_VALUE) return false;
    const bool got = GetFileInformationByHandle(named, &named_file) != 0;
    CloseHandle(named);
    return got && same_file(open_file, named_file);
}

std::FILE *open_regular_file(const char *name) {
    SECURITY_ATTRIBUTES attributes = not_inherited();
    // A folder cannot be opened this way; devices (CON, NUL, pipes) are not disk files.
    const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    HANDLE handle = CreateFileA(name, GENERIC_READ, share, &attributes, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        set_errno_from_last_error();
        return nullptr;
    }
    if (GetFileType(handle) != FILE_TYPE_DISK) {
        CloseHandle(handle);
        errno = EINVAL;
        return nullptr;
    }
    // As bytes: text mode would take a Ctrl+Z for the end of the file. Readers take
    // CR LF line ends themselves.
    return stream_of(handle, _O_RDONLY | _O_BINARY, "rb");
}

// Through the C library's descriptor, so a text-mode file gets the system's line ends.
bool write_unbuffered(std::FILE *file, const char *bytes, size_t length) {
    const int fd = _fileno(file);
    const long long start = _lseeki64(fd, 0, SEEK_CUR);
    while (length > 0) {
        const unsigned chunk = unsigned(std::min<size_t>(length, 1u << 30));
        const int written = _write(fd, bytes, chunk);
        if (written <= 0) {
            if (start >= 0 && _chsize_s(fd, start) == 0) _lseeki64(fd, start, SEEK_SET);
            return false;
        }
        bytes += written;
        length -= size_t(written);
    }
    return true;
}

bool write_new_file(const char *name, const char *bytes, size_t length) {
    const int fd = _open(name, _O_WRONLY | _O_CREAT | _O_TRUNC | _O_TEXT | _O_NOINHERIT,
                         _S_IREAD | _S_IWRITE);
    if (fd < 0) return false;
    bool written = true;
    while (written && length > 0) {
        const unsigned chunk = unsigned(std::min<size_t>(length, 1u << 30));
        const int count = _write(fd, bytes, chunk);
        written = count > 0;
        if (written) {
            bytes += count;
            length -= size_t(count);
        }
    }
    return _close(fd) == 0 && written;
}

Backup keep_backup(const char *name, const char *backup) {
    WIN32_FILE_ATTRIBUTE_DATA info{};
    if (!GetFileAttributesExA(name, GetFileExInfoStandard, &info)) return Backup::nothing_to_keep;
    if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return Backup::nothing_to_keep;
    if (info.nFileSizeHigh == 0 && info.nFileSizeLow == 0) return Backup::nothing_to_keep;
    return MoveFileExA(name, backup, MOVEFILE_REPLACE_EXISTING) ? Backup::kept : Backup::failed;
}

namespace {

constexpr int kMaxLastWords = 4;
void (*last_words[kMaxLastWords])() = {};
int last_word_count = 0;
volatile LONG ending = 0;

void say_last_words() {
    if (InterlockedExchange(&ending, 1) != 0) return;
    for (int i = 0; i < last_word_count; ++i) last_words[i]();
}

// Ctrl+C, Ctrl+Break or the console window closing: the system then ends the program as
// it would have without us.
BOOL WINAPI on_console_end(DWORD) {
    say_last_words();
    return FALSE;
}

}  // namespace

void call_at_program_end(void (*last_word)()) {
    for (int i = 0; i < last_word_count; ++i) {
        if (last_words[i] == last_word) return;
    }
    if (last_word_count == kMaxLastWords) return;
    if (last_word_count == 0) {
        std::atexit(say_last_words);
        SetConsoleCtrlHandler(on_console_end, TRUE);
    }
    last_words[last_word_count] = last_word;
    last_word_count = last_word_count + 1;
}

OutputPlace output_place(const std::string &path) {
    OutputPlace place{path, false};
    const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    HANDLE handle = CreateFileA(path.c_str(), 0, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        // NUL, CON and their kin are devices in every folder, whether they open this way or not.
        const size_t slash = path.find_last_of("\\/:");
        std::string name = path.substr(slash == std::string::npos ? 0 : slash + 1);
        name = name.substr(0, name.find('.'));
        for (char &c : name) c = char(std::toupper(static_cast<unsigned char>(c)));
        place.in_place = name == "NUL" || name == "CON" || name == "PRN" || name == "AUX";
        return place;
    }
    place.in_place = GetFileType(handle) != FILE_TYPE_DISK;
    CloseHandle(handle);
    return place;
}

bool same_file(const std::string &a, const std::string &b) {
    auto full = [](const std::string &name) {
        std::string path(MAX_PATH * 4, '\0');
        const DWORD length = GetFullPathNameA(name.c_str(), DWORD(path.size()), path.data(), nullptr);
        path.resize(length > 0 && length < path.size() ? length : 0);
        if (path.empty()) path = name;
        for (char &c : path) c = c == '/' ? '\\' : char(std::tolower(static_cast<unsigned char>(c)));
        return path;
    };
    // A device (NUL) is no file two outputs could overwrite each other in.
    return !output_place(a).in_place && full(a) == full(b);
}

std::FILE *create_beside(const std::string &path, std::string *temporary) {
    SECURITY_ATTRIBUTES attributes = not_inherited();
    const unsigned long long seed = GetTickCount64() ^ (GetCurrentProcessId() * 7919ull);
    for (unsigned attempt = 0; attempt < 100; ++attempt) {
        const unsigned long long suffix = (seed + attempt * 104729ull) % 1000000;
        const std::string name = path + "." + std::to_string(suffix);
        HANDLE handle = CreateFileA(name.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &attributes,
                                    CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle == INVALID_HANDLE_VALUE) {
            if (GetLastError() == ERROR_FILE_EXISTS) continue;
            set_errno_from_last_error();
            return nullptr;
        }
        std::FILE *file = stream_of(handle, _O_BINARY | _O_WRONLY, "wb");
        if (!file) {
            DeleteFileA(name.c_str());
            return nullptr;
        }
        *temporary = name;
        return file;
    }
    errno = EEXIST;
    return nullptr;
}

bool flush_to_disk(std::FILE *file) {
    return std::fflush(file) == 0 && _commit(_fileno(file)) == 0;
}

bool replace_file(const std::string &temporary, const std::string &path) {
    if (MoveFileExA(temporary.c_str(), path.c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    set_errno_from_last_error();
    return false;
}

std::FILE *scratch_file() {
    char folder[MAX_PATH + 1], name[MAX_PATH + 1];
    const DWORD length = GetTempPathA(sizeof folder, folder);
    if (length == 0 || length > MAX_PATH || GetTempFileNameA(folder, "kvo", 0, name) == 0) {
        set_errno_from_last_error();
        return nullptr;
    }
    SECURITY_ATTRIBUTES attributes = not_inherited();
    HANDLE handle = CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, &attributes, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        set_errno_from_last_error();
        DeleteFileA(name);
        return nullptr;
    }
    return stream_of(handle, _O_BINARY | _O_RDWR, "w+b");
}

}  // namespace platform
