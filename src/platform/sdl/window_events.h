#pragma once
// The window thread's answers to what SDL's event pump queued: keys, focus, size, close requests.
#include "platform/sdl/window.h"

// Under the presenter lock: handles every queued event.
void handle_events(Window& w);
// Under the presenter lock: the held keys as SDL saw them in the events pumped so far.
void refresh_key_state();
void mark_all_lines_dirty();
// Outside the presenter lock, when an event asked for it: between the window and full screen.
void toggle_fullscreen(Window& w);
