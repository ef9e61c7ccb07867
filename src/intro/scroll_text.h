#pragma once
// The scroll text and its position.
#include <cstdint>
#include <string>

// Where the text starts, and starts over: just off the right edge of the page.
constexpr int32_t SCROLL_START_POSITION = 640;

extern std::string ScrollText;
extern int32_t ScrollPosition;

void build_scroll_text();
// Moves the text 3 pixels left; starts it over once it has passed.
void advance_scroll();
