#include "intro/header_wobble.h"

// Placeholder until the images issue lands.
Image HeaderImage = nullptr;
std::string HeaderFileName = "header.bmp";
void load_header() {}
void draw_header_wobble(int32_t) {}
