// Painters of a frame: Kanvo's renderer and what a program would use instead (cairo on an
// image surface, Qt's QPainter on a QImage, both without antialiasing), and the floor,
// one write of every pixel of the surface. Each paints onto a 601 x 540 picture of its own.
#pragma once

#include <memory>
#include <vector>

#include "frame.h"

class Painter {
public:
    virtual ~Painter() = default;
    virtual const char *name() const = 0;
    // Makes the picture all white and sets the origin to the command lists' start value.
    virtual void reset() = 0;
    // Paints every step of the frame, in order, over what the picture holds.
    virtual void paint(const Frame &frame) = 0;
    // The picture in Kanvo's pixel layout (0xFFRRGGBB).
    virtual platform::Bitmap picture() = 0;
};

std::unique_ptr<Painter> make_kanvo_painter();
// Filled shapes as a fill plus a one-pixel outline, as Kanvo's pixel rules paint them.
std::unique_ptr<Painter> make_cairo_painter();
// with_pen: filled shapes as brush plus a one-pixel pen; otherwise the brush alone.
std::unique_ptr<Painter> make_qt_painter(bool with_pen);
// Ignores the frame: one write of the whole surface.
std::unique_ptr<Painter> make_floor_painter();
// The frame's own floor: writes frame.pixel_writes pixels at the speed of the floor (whole
// surfaces and one part of one, each in one run).
std::unique_ptr<Painter> make_pixel_writes_painter();

// Kanvo, cairo, QPainter with pen and brush, QPainter with brush only, the floor, the
// frame's own floor.
std::vector<std::unique_ptr<Painter>> all_painters();
// Whether the painter is a floor rather than a way to paint the frame.
bool is_floor(const Painter &painter);

// The pixels each step of the frame covers on its own, summed: every step is painted by
// Kanvo alone onto a surface of a colour no step uses, and its pixels counted.
int64_t count_pixel_writes(const Frame &frame);
