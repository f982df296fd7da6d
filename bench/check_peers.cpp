// Keeps the peer benchmark honest: every peer paints the same shapes as Kanvo. A few per
// cent of the pixels may differ, where the libraries round shape edges differently, but
// never inside a shape: a shape missing or misplaced by more than its edge fails.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>

#include "peers.h"

namespace {

constexpr double kMostDiffering = 0.03;  // of all pixels
// How near a pixel of another colour an edge pixel lies: at the pointed ends of a flat
// ellipse a rounding of less than a pixel across moves the edge by several along.
constexpr int kEdgeReach = 2;

// Whether a pixel of another colour lies within kEdgeReach of (x, y) in the picture.
bool on_edge(const platform::Bitmap &b, int x, int y) {
    const platform::Pixel p = b.pixel(x, y);
    for (int dy = -kEdgeReach; dy <= kEdgeReach; ++dy)
        for (int dx = -kEdgeReach; dx <= kEdgeReach; ++dx) {
            int nx = x + dx, ny = y + dy;
            if (nx >= 0 && ny >= 0 && nx < b.width() && ny < b.height() && b.pixel(nx, ny) != p)
                return true;
        }
    return false;
}

struct Comparison {
    long differing = 0;
    long inside = 0;  // differing pixels on no edge of either picture
    int inside_x = -1, inside_y = -1;
    double share() const { return double(differing) / (kSurfaceWidth * kSurfaceHeight); }
};

Comparison compare(const platform::Bitmap &kanvo, const platform::Bitmap &peer) {
    Comparison c;
    for (int y = 0; y < kanvo.height(); ++y)
        for (int x = 0; x < kanvo.width(); ++x) {
            if (kanvo.pixel(x, y) == peer.pixel(x, y)) continue;
            ++c.differing;
            if (on_edge(kanvo, x, y) || on_edge(peer, x, y)) continue;
            if (c.inside++ == 0) {
                c.inside_x = x;
                c.inside_y = y;
            }
        }
    return c;
}

Frame read(const std::string &path) {
    Frame frame;
    std::string error;
    EXPECT_TRUE(read_frame(path, &frame, &error)) << error;
    return frame;
}

platform::Bitmap painted(Painter &painter, const Frame &frame) {
    painter.reset();
    painter.paint(frame);
    return painter.picture();
}

}  // namespace

TEST(PeerPictures, EveryPeerPaintsKanvosShapesUpToTheirEdges) {
    for (const std::string &path : frame_paths()) {
        const Frame frame = read(path);
        ASSERT_GT(frame.shapes, 100) << path;
        const platform::Bitmap kanvo = painted(*make_kanvo_painter(), frame);
        for (const auto &peer : all_painters()) {
            if (is_floor(*peer) || std::string(peer->name()) == "kanvo") continue;
            SCOPED_TRACE(frame.name + " " + peer->name());
            Comparison c = compare(kanvo, painted(*peer, frame));
            std::printf("%-6s %-20s %6ld pixels differ (%.2f %%)\n", frame.name.c_str(),
                        peer->name(), c.differing, 100 * c.share());
            EXPECT_LE(c.share(), kMostDiffering);
            EXPECT_EQ(c.inside, 0) << "first at (" << c.inside_x << ", " << c.inside_y << ")";
        }
    }
}

// The check catches a peer that leaves out a shape: the frame without its lake.
TEST(PeerPictures, AMissingShapeIsNoEdgeDifference) {
    const Frame frame = read(frame_paths().front());
    Frame without_lake = frame;
    auto oval_width = [](const ListCommand &s) {
        bool oval = s.kind == ListCommand::shape && s.command.kind == kind_oval;
        return oval ? s.command.x2 - s.command.x1 : -1;
    };
    auto widest_oval = std::max_element(
        without_lake.steps.begin(), without_lake.steps.end(),
        [&](const ListCommand &a, const ListCommand &b) { return oval_width(a) < oval_width(b); });
    ASSERT_EQ(widest_oval->command.kind, kind_oval);
    without_lake.steps.erase(widest_oval);
    auto kanvo = make_kanvo_painter();
    Comparison c = compare(painted(*kanvo, frame), painted(*kanvo, without_lake));
    EXPECT_GT(c.inside, 1000);
}

// The own floor counts every pixel each step covers, overlaps as often as they are
// painted, and nothing off the surface.
TEST(Frames, PixelWritesCountEachStepsOwnPixels) {
    const std::string path = testing::TempDir() + "kanvo_writes_frame.txt";
    {
        std::ofstream out(path);
        out << "origin 0 0\nclear\n"
            << "rect 3 0 10 -10 19 -14\n"       // 10 x 5, inside
            << "rect 4 0 10 -10 19 -14\n"       // the same again: overdraw counts
            << "rect 5 0 -5 5 4 -4\n"           // 10 x 10 box, the top-left 5 x 5 off the surface
            << "line 6 1 100 -100 110 -100\n"   // ten pixels, the end one excluded
            << "rect 7 2 200 -200 209 -209\n";  // outline only: the inside is not written
    }
    const Frame frame = read(path);
    const int64_t surface = int64_t(kSurfaceWidth) * kSurfaceHeight;
    const int64_t outline = count_pixel_writes(frame) - (surface + 2 * 50 + 25 + 10);
    // A width-2 outline of a 10 x 10 box covers a ring, not the box.
    EXPECT_GT(outline, 36 - 1);
    EXPECT_LT(outline, 100);
    std::remove(path.c_str());
}

// A frame file is read whole or not at all: a bad line names itself and nothing is kept.
TEST(Frames, BadLinesAreRefusedWithTheirPlace) {
    const std::string path = testing::TempDir() + "kanvo_bad_frame.txt";
    const char *bad[] = {"oval 1 0 1 2 3\n",       "# fine\n\nline 0 0 0 0 5 5\n",
                         "tri 24 0 1 2 3 4 5 6\n", "rect 1 -1 0 0 1 1\n",
                         "blob\n",                 "origin 1 99999999999\n",
                         "fill 0 0 256\n",         "clear now\n",
                         "rect 1 0 0 0 1 1x\n"};
    const int line[] = {1, 3, 1, 1, 1, 1, 1, 1, 1};
    for (size_t i = 0; i < sizeof bad / sizeof bad[0]; ++i) {
        { std::ofstream(path) << "origin 292 240\nrect 1 0 0 0 1 1\n" << bad[i]; }
        Frame frame;
        frame.name = "kept";
        std::string error;
        EXPECT_FALSE(read_frame(path, &frame, &error)) << bad[i];
        EXPECT_EQ(error.rfind(path + ":" + std::to_string(line[i] + 2) + ": ", 0), 0u) << error;
        EXPECT_EQ(frame.name, "kept");
    }
    std::string error;
    Frame frame;
    EXPECT_FALSE(read_frame(path + ".missing", &frame, &error));
    EXPECT_NE(error.find(".missing"), std::string::npos);
    std::remove(path.c_str());
}
