#pragma once
// Level and spectrum bars that follow the music.

void draw_analyser();
