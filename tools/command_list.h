// Command lists: the text format of the reference pictures (origin, clear, fill, tri,
// rect, oval, line, poly, picture; blank lines; '#' starts a comment, on its own line or
// after a command, except as the start of a word #RRGGBB after the command's name: a
// shape's colour is a palette index or #RRGGBB), painted onto the drawing surface.
#pragma once

#include <cstdio>
#include <functional>
#include <istream>
#include <string>
#include <vector>

#include "testing.h"

// One command of a list, read and checked.
struct ListCommand {
    enum Kind { origin, clear, fill, shape } kind = shape;
    int origin_x = 0, origin_y = 0;  // origin
    platform::Pixel fill_color = 0;  // fill
    DrawCommand command;             // shape: triangle, rectangle, oval, line, polygon, picture
    std::vector<int32_t> xs, ys;     // a polygon's corners (command points at them when painted)
};

// Reads the list's commands in order and hands each to take. A picture's file is loaded
// as it is read, relative to the folder of the list NAME names. On a bad line, a line longer
// than 4096 characters or a read error stops and returns false with "NAME:LINE: reason"
// in *error.
bool read_command_list(std::istream &in, const std::string &name,
                       const std::function<void(const ListCommand &)> &take, std::string *error);
// Carries one command out on the drawing surface, as the library's drawing calls would.
void paint_list_command(const ListCommand &command);

// Paints every command of the list onto a fresh all-white surface with the origin at
// (300, 270), stopping as read_command_list does.
bool paint_command_list(std::istream &in, const std::string &name, std::string *error);
// The same from an open file; a read error names the system's reason.
bool paint_command_stream(std::FILE *file, const std::string &name, std::string *error);
// The same from a named file; a directory is refused.
bool paint_command_file(const std::string &path, std::string *error);
