#pragma once
// The X library as SDL loaded it: the program does not link it, so the few functions the window
// side calls are looked up once, into one typed table.
struct SDL_Window;

using X11IoErrorHandler = int (*)(void* display);

struct X11Functions {
  int (*connection_number)(void* display);
  int (*events_queued)(void* display, int mode);
  int (*query_extension)(void* display, const char* name, int* opcode, int* event, int* error);
  X11IoErrorHandler (*set_io_error_handler)(X11IoErrorHandler handler);
  int (*get_geometry)(void* display, unsigned long drawable, unsigned long* root, int* x, int* y,
                      unsigned* width, unsigned* height, unsigned* border, unsigned* depth);
  int (*get_screen_saver)(void* display, int* timeout, int* interval, int* prefer_blanking,
                          int* allow_exposures);
  int (*set_screen_saver)(void* display, int timeout, int interval, int prefer_blanking,
                          int allow_exposures);
  int (*flush)(void* display);
};

// The table, filled on the first call; null when SDL has not loaded the X library (another window
// system) or it lacks one of the functions. The library stays loaded for the process's life.
const X11Functions* x11_functions();

// An SDL window's X connection (Display*) and window id; both 0 when it is not on X.
struct X11Window {
  void* display = nullptr;
  unsigned long window = 0;
};
X11Window x11_window_of(SDL_Window* window);
