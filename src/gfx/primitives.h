#pragma once
// Lines, boxes and single pixels.
#include "gfx/color.h"
#include "gfx/image_view.h"

constexpr int LINE_KIND_LINE = 0;
constexpr int LINE_KIND_FILLED_BOX = 2;
constexpr int LINE_KIND_BOX = 1;

// A line (kind 0), filled box (kind 2) or box outline (other kinds) on target (null = the screen's
// work page). style: 16-bit dash pattern, 0xFFFF solid. mode: low 3 bits coordinate mode, bit 31
// the context's foreground instead of colour.
void draw_line(Image target, float x1, float y1, float x2, float y2, Color colour, int kind,
               int style, int mode);

// One pixel; with bit 31 of mode the background (use_background != 0) or foreground colour.
void plot_pixel(Image target, float x, float y, Color colour, int mode, int use_background);
