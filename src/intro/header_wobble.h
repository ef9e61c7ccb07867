#pragma once
// The header picture, waving line by line.
#include <cstdint>
#include <string>

#include "gfx/image.h"

// The picture's size: a larger file is clipped to it, a smaller one leaves the rest magenta.
constexpr int HEADER_WIDTH = 512;
constexpr int HEADER_HEIGHT = 96;
extern Image HeaderImage;
// The picture file, read from the working directory; tools may point it elsewhere.
constexpr char HEADER_START_FILE_NAME[] = "header.bmp";
extern std::string HeaderFileName;

// Creates the 512x96 image and loads header.bmp into it.
void load_header();
void draw_header_wobble(int32_t frame);
