// Files on POSIX systems: resolving a name once, checking later that the name still
// leads to the open file, opening regular files only, the program's last word at exit or
// on a terminating signal, and files written beside their place and renamed into it.
#include "platform/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <string>

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

std::FILE *open_regular_file(const char *name) {
    // Non-blocking, so that opening a FIFO with no writer returns at once.
    const int fd = open(name, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return nullptr;
    struct stat info {};
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        close(fd);
        return nullptr;
    }
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    std::FILE *file = fdopen(fd, "r");
    if (!file) close(fd);
    return file;
}

bool write_unbuffered(std::FILE *file, const char *bytes, size_t length) {
    const int fd = fileno(file);
    const off_t start = lseek(fd, 0, SEEK_CUR);
    while (length > 0) {
        const ssize_t written = write(fd, bytes, length);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) {
            const int saved = errno;
            if (start >= 0 && ftruncate(fd, start) == 0) lseek(fd, start, SEEK_SET);
            errno = saved;
            return false;
        }
        bytes += written;
        length -= size_t(written);
    }
    return true;
}

bool write_new_file(const char *name, const char *bytes, size_t length) {
    const int fd = open(name, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) return false;
    bool written = true;
    while (written && length > 0) {
        const ssize_t count = write(fd, bytes, length);
        if (count < 0 && errno == EINTR) continue;
        written = count > 0;
        if (written) {
            bytes += count;
            length -= size_t(count);
        }
    }
    return close(fd) == 0 && written;
}

Backup keep_backup(const char *name, const char *backup) {
    struct stat info {};
    if (lstat(name, &info) != 0 || info.st_size == 0) return Backup::nothing_to_keep;
    // A FIFO or a device is not a recording to keep; writing to it empties nothing.
    if (!S_ISREG(info.st_mode) && !S_ISLNK(info.st_mode)) return Backup::nothing_to_keep;
    if (S_ISLNK(info.st_mode) && (stat(name, &info) != 0 || !S_ISREG(info.st_mode) ||
                                  info.st_size == 0))
        return Backup::nothing_to_keep;
    return rename(name, backup) == 0 ? Backup::kept : Backup::failed;
}

namespace {

constexpr int kEndingSignals[] = {SIGINT, SIGTERM, SIGHUP};
constexpr int kMaxLastWords = 4;
void (*last_words[kMaxLastWords])() = {};
volatile sig_atomic_t last_word_count = 0;
volatile sig_atomic_t ending = 0;
struct sigaction previous_actions[sizeof kEndingSignals / sizeof kEndingSignals[0]];

void say_last_words() {
    if (ending) return;
    ending = 1;
    for (int i = 0; i < last_word_count; ++i) last_words[i]();
}

void on_ending_signal(int signal_number) {
    say_last_words();
    // The signal takes its course as if we had not been here.
    for (size_t i = 0; i < sizeof kEndingSignals / sizeof kEndingSignals[0]; ++i) {
        if (kEndingSignals[i] == signal_number) sigaction(signal_number, &previous_actions[i], nullptr);
    }
    raise(signal_number);
}

void install_handlers() {
    std::atexit(say_last_words);
    for (size_t i = 0; i < sizeof kEndingSignals / sizeof kEndingSignals[0]; ++i) {
        struct sigaction action {};
        action.sa_handler = on_ending_signal;
        sigemptyset(&action.sa_mask);
        sigaction(kEndingSignals[i], &action, &previous_actions[i]);
        // A signal the program ignores (a hang-up under nohup) stays ignored.
        if (previous_actions[i].sa_handler == SIG_IGN) sigaction(kEndingSignals[i], &previous_actions[i], nullptr);
    }
}

}  // namespace

void call_at_program_end(void (*last_word)()) {
    for (int i = 0; i < last_word_count; ++i) {
        if (last_words[i] == last_word) return;
    }
    if (last_word_count == kMaxLastWords) return;
    if (last_word_count == 0) install_handlers();
    last_words[last_word_count] = last_word;
    last_word_count = last_word_count + 1;
}

namespace {

// A new file gets the mode fopen would give it; a replaced one keeps its own.
mode_t mode_for(const std::string &path) {
    struct stat info {};
    if (stat(path.c_str(), &info) == 0) return info.st_mode & 07777;
    const mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

// Names longer than this in a folder are refused by most file systems.
constexpr size_t kLongestName = 255;

std::string folder_of(const std::string &path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

}  // namespace

OutputPlace output_place(const std::string &path) {
    OutputPlace place{path, false};
    for (int hops = 0; hops < 40; ++hops) {
        struct stat info {};
        if (lstat(place.path.c_str(), &info) != 0) return place;  // a new file
        if (!S_ISLNK(info.st_mode)) {
            place.in_place = !S_ISREG(info.st_mode) && !S_ISDIR(info.st_mode);
            return place;
        }
        std::string target(4096, '\0');
        const ssize_t length = readlink(place.path.c_str(), target.data(), target.size());
        if (length <= 0 || size_t(length) >= target.size()) return place;
        target.resize(size_t(length));
        place.path = target[0] == '/' ? target : folder_of(place.path) + target;
    }
    return place;  // a loop of links: renaming fails with the system's own reason
}

namespace {

// An existing file's device and inode; a new one's resolved folder and name.
std::string identity(const std::string &path) {
    const std::string place = output_place(path).path;
    struct stat info {};
    if (stat(place.c_str(), &info) == 0) {
        return std::to_string(info.st_dev) + ":" + std::to_string(info.st_ino);
    }
    const std::string folder = folder_of(place);
    return resolved_path(folder.empty() ? "." : folder.c_str()) + "/" + place.substr(folder.size());
}

}  // namespace

// A device or FIFO is no file two outputs could overwrite each other in.
bool same_file(const std::string &a, const std::string &b) {
    if (output_place(a).in_place) return false;
    return identity(a) == identity(b);
}

std::FILE *create_beside(const std::string &path, std::string *temporary) {
    const std::string folder = folder_of(path);
    std::string name = path.substr(folder.size());
    if (name.size() + 7 > kLongestName) name.resize(kLongestName - 7 - 48);
    std::string pattern = folder + name + ".XXXXXX";
    const int fd = mkostemp(pattern.data(), O_CLOEXEC);
    if (fd < 0) return nullptr;
    fchmod(fd, mode_for(path));
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
