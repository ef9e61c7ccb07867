#include "intro/scroll_text.h"

// Placeholder until the scroll text lands.
std::string ScrollText;
int32_t ScrollPosition = 640;
void build_scroll_text() {}
void advance_scroll() {}
