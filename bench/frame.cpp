// Reads the command lists of bench/frames into memory, through the same reader that
// paints the reference pictures' lists.
#include "frame.h"

#include <fstream>

namespace {

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
    auto take = [&read](const ListCommand &command) {
        read.shapes += command.kind == ListCommand::shape;
        read.steps.push_back(command);
    };
    if (!read_command_list(in, path, take, error)) return false;
    *frame = std::move(read);
    return true;
}

std::vector<std::string> frame_paths() {
    return {std::string(KANVO_FRAMES) + "/night.txt", std::string(KANVO_FRAMES) + "/busy.txt"};
}
