#pragma once
// The scroll text and its position.
#include <cstdint>
#include <string>

extern std::string ScrollText;
extern int32_t ScrollPosition;

void build_scroll_text();
// Moves the text 3 pixels left; starts it over at 640 once it has passed.
void advance_scroll();
