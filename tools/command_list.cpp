// Reads command lists line by line and paints each command through the renderer, so
// that pictures made from a list show exactly what the library's drawing calls paint.
#include "command_list.h"

#include <sys/stat.h>

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <streambuf>
#include <vector>


namespace {

constexpr int kStartOriginX = 300;
constexpr int kStartOriginY = 270;

// No list line is anywhere near this long; a file that never ends a line (a device)
// is refused instead of filling memory.
constexpr size_t kLongestLine = 4096;

enum class Number { ok, not_a_number, out_of_range };

Number parse_int(const std::string &token, long min, long max, int *out) {
    if (token.empty()) return Number::not_a_number;
    errno = 0;
    char *end = nullptr;
    long long value = strtoll(token.c_str(), &end, 10);
    if (end == token.c_str() || *end != '\0') return Number::not_a_number;
    if (errno == ERANGE || value < min || value > max) return Number::out_of_range;
    *out = int(value);
    return Number::ok;
}

// A word from the list as it can be shown on a terminal: printable characters as they
// are, others as \xNN, and no more than a few dozen of them.
std::string printable(const std::string &word) {
    constexpr size_t kShown = 32;
    std::string shown;
    for (size_t i = 0; i < word.size() && i < kShown; ++i) {
        const unsigned char c = static_cast<unsigned char>(word[i]);
        if (c >= 0x20 && c < 0x7F) {
            shown += char(c);
        } else {
            char escaped[5];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
            shown += escaped;
        }
    }
    if (word.size() > kShown) shown += "...";
    return shown;
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

// A colour written #RRGGBB, as the value KANVO_rgb gives; false for anything else.
bool parse_hex_color(const std::string &token, int *color) {
    if (token.size() != 7 || token[0] != '#') return false;
    for (size_t i = 1; i < 7; ++i)
        if (!std::isxdigit(static_cast<unsigned char>(token[i]))) return false;
    *color = KANVO_RGB_FLAG | int(std::strtol(token.c_str() + 1, nullptr, 16));
    return true;
}

// The folder part of a list's name ("" when it has none).
std::string folder_of(const std::string &name) {
    const size_t slash = name.find_last_of("/\\");
    return slash == std::string::npos ? "" : name.substr(0, slash + 1);
}

// Reads one non-empty, non-comment line; returns an empty string or the reason it is bad.
std::string parse_line(const std::string &line, const std::string &name, ListCommand *command) {
    std::istringstream words(line);
    std::string word, token;
    words >> word;
    std::vector<std::string> tokens;
    while (words >> token) tokens.push_back(token);
    int hex_color = -1;
    if (!tokens.empty() && parse_hex_color(tokens[0], &hex_color)) tokens[0] = std::to_string(hex_color);
    // The reason when the numbers are not count integers in [min, max], else "".
    std::vector<int> v;
    auto numbers = [&](size_t count, long min, long max, const std::string &wanted) -> std::string {
        if (tokens.size() != count) return wanted;
        v.resize(count);
        for (size_t i = 0; i < count; ++i) {
            const Number number = parse_int(tokens[i], min, max, &v[i]);
            if (number == Number::out_of_range) return tokens[i] + " is out of range";
            if (number == Number::not_a_number) return wanted;
        }
        return "";
    };
    std::string reason;
    if (word == "clear") {
        if (!tokens.empty()) return "clear takes no numbers";
        command->kind = ListCommand::clear;
        return "";
    }
    if (word == "origin") {
        if (!(reason = numbers(2, INT_MIN, INT_MAX, "origin needs two integers")).empty()) return reason;
        command->kind = ListCommand::origin;
        command->origin_x = v[0];
        command->origin_y = v[1];
        return "";
    }
    if (word == "fill") {
        if (!(reason = numbers(3, 0, 255, "fill needs three values 0 to 255")).empty()) return reason;
        command->kind = ListCommand::fill;
        command->fill_color = platform::rgb(uint8_t(v[0]), uint8_t(v[1]), uint8_t(v[2]));
        return "";
    }
    if (word == "picture") {
        // picture FILE X Y: the picture centred on (X, Y).
        if (tokens.size() != 3) return "picture needs a file name and two integers";
        const std::string file = tokens[0];
        tokens.erase(tokens.begin());
        if (!(reason = numbers(2, INT_MIN, INT_MAX, "picture needs a file name and two integers")).empty())
            return reason;
        const std::string path = file[0] == '/' ? file : folder_of(name) + file;
        std::string problem;
        const int number = add_picture_file(path.c_str(), &problem);
        if (number == 0) return "cannot load picture " + printable(file) + ": " + problem;
        command->kind = ListCommand::shape;
        command->command.kind = kind_picture;
        command->command.x1 = v[0];
        command->command.y1 = v[1];
        command->command.x2 = number;
        return "";
    }
    if (word == "poly") {
        // poly COLOUR WIDTH X1 Y1 X2 Y2 X3 Y3 ...: 3 to 256 corners.
        const size_t count = tokens.size();
        if (count < 8 || count % 2 != 0 || count > 2 + 2 * 256)
            return "poly needs a colour, a width and 3 to 256 corners";
        if (!(reason = numbers(count, INT_MIN, INT_MAX, "poly needs integers")).empty()) return reason;
        if ((v[0] < 0 || v[0] >= kColorCount) && v[0] != hex_color) return "colour must be 0 to 23 or #RRGGBB";
        if (v[1] < 0) return "width must be at least 0";
        command->kind = ListCommand::shape;
        DrawCommand &c = command->command;
        c.kind = kind_polygon;
        c.color = v[0];
        c.width = v[1];
        for (size_t i = 2; i < count; i += 2) {
            command->xs.push_back(v[i]);
            command->ys.push_back(v[i + 1]);
        }
        c.count = int32_t(command->xs.size());
        return "";
    }
    Shape shape;
    if (!shape_for(word, &shape)) return "unknown command '" + printable(word) + "'";
    reason = numbers(size_t(shape.numbers), INT_MIN, INT_MAX,
                     word + " needs " + std::to_string(shape.numbers) + " integers");
    if (!reason.empty()) return reason;
    if ((v[0] < 0 || v[0] >= kColorCount) && v[0] != hex_color) return "colour must be 0 to 23 or #RRGGBB";
    if (v[1] < shape.min_width) return "width must be at least " + std::to_string(shape.min_width);
    command->kind = ListCommand::shape;
    DrawCommand &c = command->command;
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

bool is_blank(const std::string &line) {
    return line.find_first_not_of(" \t\r") == std::string::npos;
}

// A '#' starts a comment, on a line of its own or after a command, unless it starts a
// colour (#RRGGBB).
std::string without_comment(const std::string &line) {
    for (size_t hash = line.find('#'); hash != std::string::npos; hash = line.find('#', hash + 1)) {
        int color;
        const size_t end = line.find_first_of(" \t\r", hash);
        const bool starts_word = hash == 0 || line[hash - 1] == ' ' || line[hash - 1] == '\t';
        if (!(starts_word && hash > 0 &&
              parse_hex_color(line.substr(hash, end == std::string::npos ? end : end - hash), &color)))
            return line.substr(0, hash);
    }
    return line;
}

enum class LineRead { line, end, too_long, read_error };

LineRead read_line(std::istream &in, std::string *line) {
    line->clear();
    std::streambuf *buffer = in.rdbuf();
    for (;;) {
        int c;
        try {
            c = buffer->sbumpc();
        } catch (...) {
            in.setstate(std::ios::badbit);
            return LineRead::read_error;
        }
        if (c == std::char_traits<char>::eof()) return line->empty() ? LineRead::end : LineRead::line;
        if (c == '\n') return LineRead::line;
        if (line->size() == kLongestLine) return LineRead::too_long;
        *line += char(c);
    }
}

// Reads a file through stdio, so that a read error is told from the end of the file.
class FileReader : public std::streambuf {
public:
    explicit FileReader(FILE *file) : file_(file) {}
    int read_errno() const { return read_errno_; }

protected:
    int_type underflow() override {
        const size_t count = std::fread(chunk_, 1, sizeof chunk_, file_);
        if (count == 0) {
            if (std::ferror(file_)) {
                read_errno_ = errno;
                throw std::ios::failure("read error");
            }
            return traits_type::eof();
        }
        setg(chunk_, chunk_, chunk_ + count);
        return traits_type::to_int_type(chunk_[0]);
    }

private:
    FILE *file_;
    char chunk_[4096];
    int read_errno_ = 0;
};

}  // namespace

bool read_command_list(std::istream &in, const std::string &name,
                       const std::function<void(const ListCommand &)> &take, std::string *error) {
    std::string line;
    for (int number = 1;; ++number) {
        const LineRead read = read_line(in, &line);
        std::string reason;
        ListCommand command;
        if (read == LineRead::end) return true;
        if (read == LineRead::too_long)
            reason = "line longer than " + std::to_string(kLongestLine) + " characters";
        else if (read == LineRead::read_error)
            reason = "read error";
        else if (is_blank(without_comment(line)))
            continue;
        else if ((reason = parse_line(without_comment(line), name, &command)).empty())
            take(command);
        if (!reason.empty()) {
            if (error) *error = name + ":" + std::to_string(number) + ": " + reason;
            return false;
        }
    }
}

void paint_list_command(const ListCommand &command) {
    switch (command.kind) {
    case ListCommand::origin:
        kanvo.windows.origin_x = command.origin_x;
        kanvo.windows.origin_y = command.origin_y;
        break;
    case ListCommand::clear: clear_surface(); break;
    case ListCommand::fill:
        settle_surface();
        kanvo.surface.surface_dc->fill_rect(0, 0, kSurfaceWidth, kSurfaceHeight, command.fill_color);
        break;
    case ListCommand::shape: {
        DrawCommand c = command.command;
        if (c.kind == kind_polygon) {
            c.xs = command.xs.data();
            c.ys = command.ys.data();
        }
        render_command(c);
        break;
    }
    }
}

bool paint_command_list(std::istream &in, const std::string &name, std::string *error) {
    ensure_surface();
    surface_pixels().fill(platform::kWhite);
    kanvo.windows.origin_x = kStartOriginX;
    kanvo.windows.origin_y = kStartOriginY;
    return read_command_list(in, name, paint_list_command, error);
}

bool paint_command_stream(FILE *file, const std::string &name, std::string *error) {
    FileReader reader(file);
    std::istream in(&reader);
    if (paint_command_list(in, name, error)) return true;
    if (in.bad() && error && reader.read_errno() != 0) *error += std::string(": ") + std::strerror(reader.read_errno());
    return false;
}

bool paint_command_file(const std::string &path, std::string *error) {
    FILE *file = std::fopen(path.c_str(), "r");
    if (!file) {
        if (error) *error = "cannot open " + path + ": " + std::strerror(errno);
        return false;
    }
    struct stat info {};
    if (fstat(fileno(file), &info) == 0 && S_ISDIR(info.st_mode)) {
        std::fclose(file);
        if (error) *error = path + " is a directory, not a command list";
        return false;
    }
    const bool painted = paint_command_stream(file, path, error);
    std::fclose(file);
    return painted;
}
