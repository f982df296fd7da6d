// Reads command lists line by line and paints each command through the renderer, so
// that pictures made from a list show exactly what the library's drawing calls paint.
#include "command_list.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <vector>

#include "kanvo_internal.h"

namespace {

constexpr int kStartOriginX = 300;
constexpr int kStartOriginY = 270;

bool parse_int(const std::string &token, long min, long max, int *out) {
    if (token.empty()) return false;
    errno = 0;
    char *end = nullptr;
    long long value = strtoll(token.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || value < min || value > max) return false;
    *out = int(value);
    return true;
}

struct Shape {
    uint32_t kind;
    int numbers;  // colour, width and the coordinates
    int min_width;
};

bool shape_for(const std::string &word, Shape *shape) {
    if (word == "tri") *shape = {kind_triangle, 8, 0};
    else if (word == "rect") *shape = {kind_rectangle, 6, 0};
    else if (word == "oval") *shape = {kind_oval, 6, 0};
    else if (word == "line") *shape = {kind_line, 6, 1};
    else return false;
    return true;
}

// Runs one non-empty, non-comment line; returns an empty string or the reason it is bad.
std::string run_line(const std::string &line) {
    std::istringstream words(line);
    std::string word, token;
    words >> word;
    std::vector<std::string> tokens;
    while (words >> token) tokens.push_back(token);
    auto numbers = [&](size_t count, std::vector<int> *values, long min, long max) {
        if (tokens.size() != count) return false;
        values->resize(count);
        for (size_t i = 0; i < count; ++i)
            if (!parse_int(tokens[i], min, max, &(*values)[i])) return false;
        return true;
    };
    std::vector<int> v;
    if (word == "clear") {
        if (!tokens.empty()) return "clear takes no numbers";
        clear_surface();
        return "";
    }
    if (word == "origin") {
        if (!numbers(2, &v, INT_MIN, INT_MAX)) return "origin needs two integers";
        origin_x = v[0];
        origin_y = v[1];
        return "";
    }
    if (word == "fill") {
        if (!numbers(3, &v, 0, 255)) return "fill needs three values 0 to 255";
        surface_dc->fill_rect(0, 0, kSurfaceWidth, kSurfaceHeight, platform::rgb(v[0], v[1], v[2]));
        return "";
    }
    Shape shape;
    if (!shape_for(word, &shape)) return "unknown command '" + word + "'";
    if (!numbers(size_t(shape.numbers), &v, INT_MIN, INT_MAX))
        return word + " needs " + std::to_string(shape.numbers) + " integers";
    if (v[0] < 0 || v[0] >= kColorCount) return "colour must be 0 to 23";
    if (v[1] < shape.min_width) return "width must be at least " + std::to_string(shape.min_width);
    DrawCommand command;
    command.kind = shape.kind;
    command.color = v[0];
    command.width = v[1];
    command.x1 = v[2];
    command.y1 = v[3];
    command.x2 = v[4];
    command.y2 = v[5];
    if (shape.numbers == 8) {
        command.x3 = v[6];
        command.y3 = v[7];
    }
    render_command(command);
    return "";
}

bool is_blank(const std::string &line) {
    return line.find_first_not_of(" \t\r") == std::string::npos;
}

}  // namespace

bool paint_command_list(std::istream &in, const std::string &name, std::string *error) {
    ensure_surface();
    surface_bitmap->fill(platform::kWhite);
    origin_x = kStartOriginX;
    origin_y = kStartOriginY;
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        if (is_blank(line) || line[0] == '#') continue;
        std::string reason = run_line(line);
        if (!reason.empty()) {
            if (error) *error = name + ":" + std::to_string(number) + ": " + reason;
            return false;
        }
    }
    return true;
}

bool paint_command_file(const std::string &path, std::string *error) {
    std::ifstream in(path);
    if (!in) {
        if (error) *error = "cannot open " + path;
        return false;
    }
    return paint_command_list(in, path, error);
}
