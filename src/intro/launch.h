#pragma once
// The intro as the command line asks for it: files found or checked, the window and the music
// set up, the frame loop run. Returns the process's exit status.
#include "intro/command_line.h"

int run_intro(const IntroOptions& options);
