// The pieces each system supplies beside its backend: the face lookup, which must give the
// same font files on every system so that text has the same pixels, and the open-file
// checks a recording relies on.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "support/test_support.h"
#include "testing.h"

namespace {

std::string file_name_of(const platform::FaceLocation &face) {
    return std::filesystem::path(face.path).filename().string();
}

TEST(FontLookup, TheLibrarysFamiliesResolveToTheSameFilesEverywhere) {
    using platform::find_face_file;
    // What a text command asks for (a name no system has, then the fallbacks) and what
    // the text window asks for.
    EXPECT_EQ(file_name_of(find_face_file({"KANVO-font", "Liberation Sans", "DejaVu Sans"}, 400)),
              "LiberationSans-Regular.ttf");
    EXPECT_EQ(file_name_of(find_face_file({"DejaVu Sans Mono", "monospace"}, 400)),
              "DejaVuSansMono.ttf");
    EXPECT_EQ(file_name_of(find_face_file({"DejaVu Sans"}, 400)), "DejaVuSans.ttf");
    EXPECT_EQ(file_name_of(find_face_file({"Liberation Sans"}, 700)), "LiberationSans-Bold.ttf");
    EXPECT_EQ(file_name_of(find_face_file({"liberation sans"}, 400)), "LiberationSans-Regular.ttf")
        << "family names match whatever their case";
}

// On Linux fontconfig decides these by the machine's own configuration.
#ifdef _WIN32
TEST(FontLookup, CommonNamesMapToTheFacesFontconfigWouldGive) {
    using platform::find_face_file;
    EXPECT_EQ(file_name_of(find_face_file({"monospace"}, 400)), "DejaVuSansMono.ttf");
    EXPECT_EQ(file_name_of(find_face_file({"Arial"}, 400)), "LiberationSans-Regular.ttf");
    EXPECT_EQ(file_name_of(find_face_file({"Helvetica"}, 400)), "LiberationSans-Regular.ttf");
    EXPECT_EQ(file_name_of(find_face_file({"sans-serif"}, 400)), "DejaVuSans.ttf");
    EXPECT_EQ(file_name_of(find_face_file({"No Such Face"}, 400)), "DejaVuSans.ttf");
}
#endif

TEST(OpenFiles, ResolvedPathsAreAbsoluteAndTheCheckTellsFilesApart) {
    ScratchDirectory scratch;
    const std::filesystem::path home = std::filesystem::current_path();
    std::filesystem::current_path(scratch.path());
    std::ofstream("a.txt") << "a";
    std::ofstream("b.txt") << "b";

    const std::string a = platform::resolved_path("a.txt");
    EXPECT_TRUE(std::filesystem::path(a).is_absolute()) << a;
    EXPECT_TRUE(std::filesystem::equivalent(a, std::filesystem::path(scratch.path()) / "a.txt"));
    EXPECT_EQ(platform::resolved_path("missing.txt"), "missing.txt") << "left as it is";

    std::FILE *file = std::fopen("a.txt", "a");
    ASSERT_NE(file, nullptr);
    EXPECT_TRUE(platform::still_named(file, a));
    // Still true from another directory: the path was resolved once.
    ScratchDirectory elsewhere;
    std::filesystem::current_path(elsewhere.path());
    EXPECT_TRUE(platform::still_named(file, a));
    const std::string b = platform::resolved_path((scratch.path() + "/b.txt").c_str());
    EXPECT_FALSE(platform::still_named(file, b));
    EXPECT_FALSE(platform::still_named(file, scratch.path() + "/missing.txt"));
    std::fclose(file);
    std::filesystem::current_path(home);
}

// The last word is said once, whether the program exits or returns from main; the file
// it writes has the system's own line ends.
TEST(LastWords, AreSaidOnceWhenTheProgramEnds) {
    ScratchDirectory scratch;
    for (const char *how : {"exit", "return"}) {
        const std::string note = scratch.path(std::string(how) + ".txt");
        const int status = run_program(KANVO_LAST_WORD, "\"" + note + "\" " + how);
        EXPECT_EQ(status, std::string(how) == "exit" ? 3 : 0) << how;
        std::ifstream in(note);
        std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        EXPECT_EQ(text, "said\n") << how;
    }
}

}  // namespace
