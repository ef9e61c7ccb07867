#include "intro/analyser.h"

// Placeholder until the music issue lands.
void draw_analyser() {}
