#pragma once
// Whether the window system has sent anything since the last event pump. SDL's pump costs about
// a dozen system calls even when nothing arrived; a cycle with nothing to fetch can skip it.
struct SDL_Window;

struct DisplayInput {
  void* display = nullptr;  // the X connection; null: unknown, so always pending
  int fd = -1;
  int (*events_queued)(void* display, int mode) = nullptr;
};

// After the window exists, on the thread that pumps its events.
DisplayInput watch_display_input(SDL_Window* window);

// True when events wait, already read or still on the connection, or when that cannot be told.
bool display_input_pending(const DisplayInput& input);
