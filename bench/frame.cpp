// Reads the command lists of bench/frames into memory: the same words and numbers as
// the reference pictures' lists, checked the same way.
#include "frame.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace {

bool parse_int(const std::string &token, long long min, long long max, int *out) {
    if (token.empty()) return false;
    errno = 0;
    char *end = nullptr;
    long long value = std::strtoll(token.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || value < min || value > max) return false;
    *out = int(value);
    return true;
}

bool parse_all(const std::vector<std::string> &tokens, size_t count, long long min,
               long long max, std::vector<int> *values) {
    if (tokens.size() != count) return false;
    values->assign(count, 0);
    for (size_t i = 0; i < count; ++i)
        if (!parse_int(tokens[i], min, max, &(*values)[i])) return false;
    return true;
}

struct ShapeWord {
    const char *word;
    DrawKind kind;
    size_t numbers;  // colour, width and the coordinates
    int min_width;
};

constexpr ShapeWord kShapes[] = {{"tri", kind_triangle, 8, 0},
                                 {"rect", kind_rectangle, 6, 0},
                                 {"oval", kind_oval, 6, 0},
                                 {"line", kind_line, 6, 1}};

// One non-blank, non-comment line as a step; an empty string or the reason it is bad.
std::string parse_step(const std::string &line, FrameStep *step) {
    std::istringstream words(line);
    std::string word, token;
    words >> word;
    std::vector<std::string> tokens;
    while (words >> token) tokens.push_back(token);
    std::vector<int> v;
    if (word == "clear") {
        if (!tokens.empty()) return "clear takes no numbers";
        step->kind = FrameStep::clear;
        return "";
    }
    if (word == "origin") {
        if (!parse_all(tokens, 2, INT_MIN, INT_MAX, &v)) return "origin needs two integers";
        step->kind = FrameStep::origin;
        step->origin_x = v[0];
        step->origin_y = v[1];
        return "";
    }
    if (word == "fill") {
        if (!parse_all(tokens, 3, 0, 255, &v)) return "fill needs three values 0 to 255";
        step->kind = FrameStep::fill;
        step->fill_color = platform::rgb(uint8_t(v[0]), uint8_t(v[1]), uint8_t(v[2]));
        return "";
    }
    for (const ShapeWord &shape : kShapes) {
        if (word != shape.word) continue;
        if (!parse_all(tokens, shape.numbers, INT_MIN, INT_MAX, &v))
            return word + " needs " + std::to_string(shape.numbers) + " integers";
        if (v[0] < 0 || v[0] >= kColorCount) return "colour must be 0 to 23";
        if (v[1] < shape.min_width) return "width must be at least " + std::to_string(shape.min_width);
        step->kind = FrameStep::shape;
        DrawCommand &c = step->command;
        c.kind = shape.kind;
        c.color = v[0];
        c.width = v[1];
        c.x1 = v[2];
        c.y1 = v[3];
        c.x2 = v[4];
        c.y2 = v[5];
        if (shape.numbers == 8) {
            c.x3 = v[6];
            c.y3 = v[7];
        }
        return "";
    }
    return "unknown command '" + word + "'";
}

std::string base_name(const std::string &path) {
    size_t slash = path.find_last_of('/');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    size_t dot = name.find_last_of('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

}  // namespace

bool read_frame(const std::string &path, Frame *frame, std::string *error) {
    std::ifstream in(path);
    if (!in) {
        *error = "cannot open " + path;
        return false;
    }
    Frame read;
    read.name = base_name(path);
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        if (line.find_first_not_of(" \t\r") == std::string::npos || line[0] == '#') continue;
        FrameStep step;
        std::string reason = parse_step(line, &step);
        if (!reason.empty()) {
            *error = path + ":" + std::to_string(number) + ": " + reason;
            return false;
        }
        read.shapes += step.kind == FrameStep::shape;
        read.steps.push_back(step);
    }
    *frame = std::move(read);
    return true;
}

std::vector<std::string> frame_paths() {
    return {std::string(KANVO_FRAMES) + "/night.txt", std::string(KANVO_FRAMES) + "/busy.txt"};
}
