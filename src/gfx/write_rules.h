#pragma once
// The write rules of the drawing context: plain stores per pixel width and the blended 32-bit
// rule, each as a scalar reference.
#include <cstdint>

#include "gfx/draw_context.h"

// Sets write_pixel, read_pixel and write_span for plain stores of the given pixel width.
void use_plain_rules(DrawContext& ctx, int bytes_per_pixel);
// Sets write_pixel and write_span to the blend rule (32-bit targets only).
void use_blend_rules(DrawContext& ctx);

// Scalar references, also used by tests as the oracle for faster paths.
void span_fill_reference(uint8_t* address, int count, uint32_t pixel);
void span_blend_reference(uint8_t* address, int count, uint32_t pixel);
