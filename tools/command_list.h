// Command lists: the text format of the reference pictures (origin, clear, fill, tri,
// rect, oval, line; blank lines; '#' starts a comment, on its own line or after a
// command), painted onto the drawing surface.
#pragma once

#include <cstdio>
#include <istream>
#include <string>

// Paints every command of the list onto a fresh all-white surface with the origin at
// (300, 270). On a bad line, a line longer than 4096 characters or a read error stops and
// returns false with "NAME:LINE: reason" in *error.
bool paint_command_list(std::istream &in, const std::string &name, std::string *error);
// The same from an open file; a read error names the system's reason.
bool paint_command_stream(std::FILE *file, const std::string &name, std::string *error);
// The same from a named file; a directory is refused.
bool paint_command_file(const std::string &path, std::string *error);
