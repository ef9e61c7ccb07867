#pragma once
// Whether the picture goes through one of SDL's renderers.
struct SDL_Window;

// True where the display runs OpenGL on a graphics processor, or the user named a renderer in
// SDL_RENDER_DRIVER. Elsewhere (a virtual or remote X server) OpenGL would be rasterised by Mesa
// in software: the same picture for several times the processor time, about 85 MB more memory
// and 150 ms more start-up; there a window's shared-memory surface is the cheapest way to show
// it, and SDL is told to back window surfaces with shared memory without probing OpenGL first.
// Call after the window exists, before any renderer or surface is made for it.
bool picture_through_renderer(SDL_Window* window);
