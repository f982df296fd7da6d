// Files the library and its tools keep open: whether an open file still is the one its
// name names, so that a recording notices its file being removed or replaced under it;
// opening only regular files for reading; a last word before the program ends; files
// written whole beside their place and renamed into it, so that a failed write never
// leaves half a file under the name; scratch files.
// Seam: filled by ports/posix/files.cpp (Linux and the browser) or ports/win32/files.cpp.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

namespace platform {

// The absolute path of an existing file, or the name itself when it cannot be resolved.
std::string resolved_path(const char *name);

// True while path names the very file that file has open.
bool still_named(std::FILE *file, const std::string &path);

// Opens name for reading when it is a regular file; nullptr otherwise (missing,
// unreadable, a directory, a FIFO or a device). Never blocks.
std::FILE *open_regular_file(const char *name);

// Writes the bytes straight to the file's descriptor, past its stdio buffer; safe inside
// a signal handler. False when not all of them were written; the file is then cut back to
// where it ended before, so it never keeps a part of them (a half line on a full disk).
bool write_unbuffered(std::FILE *file, const char *bytes, size_t length);

// Creates or empties the named file and writes the bytes to it; safe inside a signal
// handler. False when that failed.
bool write_new_file(const char *name, const char *bytes, size_t length);

// What keep_backup did.
enum class Backup { nothing_to_keep, kept, failed };

// Before name is emptied: when it is a file with something in it, renames it to backup
// (replacing an older backup), so one recording never loses the one before it. Safe
// inside a signal handler.
Backup keep_backup(const char *name, const char *backup);

// Has last_word called once when the program ends: at exit, or on a signal that ends it
// (interrupt, termination, hang-up), after which the signal takes its usual course.
// last_word may run inside a signal handler. Registering the same function again does
// nothing.
void call_at_program_end(void (*last_word)());

// Where a file written whole for path goes. Through symbolic links to the file they lead
// to (which may not exist yet), so a link stays a link; a device or FIFO (/dev/null, NUL)
// has no file to replace and is written into directly (in_place).
struct OutputPlace {
    std::string path;
    bool in_place = false;
};
OutputPlace output_place(const std::string &path);

// True when both names lead to one file: an existing file by its identity, a new one by
// the place it would take. Never for a device or FIFO, which takes any number of writers.
bool same_file(const std::string &a, const std::string &b);

// A new, empty file beside path for binary writing, with the access that path's file has
// (or that a new file gets), not inherited by programs this one starts; its name goes to
// *temporary (short enough for the folder even when path's own name is as long as a name
// may be). nullptr (errno set) on failure.
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
