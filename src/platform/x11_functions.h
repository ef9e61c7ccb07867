#pragma once
// The X library as SDL loaded it: the program does not link it, so its functions are looked up.
struct SDL_Window;

// The named function of the loaded X library; null when SDL did not load it (another window
// system) or it lacks the function. The library stays loaded for the process's life.
void* x11_function(const char* name);

// The X display (Display*) an SDL window lives on; null when it is not on X.
void* x11_display_of(SDL_Window* window);
