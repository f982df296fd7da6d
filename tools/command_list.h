// Command lists: the text format of the reference pictures (origin, clear, fill, tri,
// rect, oval, line; '#' comments and blank lines), painted onto the drawing surface.
#pragma once

#include <istream>
#include <string>

// Paints every command of the list onto a fresh all-white surface with the origin at
// (300, 270). On a bad line stops and returns false with "NAME:LINE: reason" in *error.
bool paint_command_list(std::istream &in, const std::string &name, std::string *error);
bool paint_command_file(const std::string &path, std::string *error);
