#pragma once
// Level and spectrum of rendered stereo frames. Pure computations: no device, no decoder.
#include <cstdint>

constexpr int ANALYSIS_RATE = 44100;
constexpr int LEVEL_WINDOW_FRAMES = 882;  // 20 ms at 44100 Hz
constexpr int SPECTRUM_FRAMES = 1024;
constexpr int SPECTRUM_BINS = 512;

// Peak absolute sample of each channel over `frames` interleaved stereo frames, times 32768 and
// clamped to 32768: left in bits 0-15, right in bits 16-31. NaN samples count as silence.
uint32_t peak_level_word(const float* stereo, int frames);

// Owns the FFT plan and scratch space, so that a query allocates nothing.
struct SpectrumAnalyser;

SpectrumAnalyser* create_spectrum_analyser();
void destroy_spectrum_analyser(SpectrumAnalyser* analyser);

// 512 magnitudes 2|X_k| / 1024 of the periodic-Hann-windowed mono mix (L + R) / 2 of
// SPECTRUM_FRAMES interleaved stereo frames: a full-scale sine on a bin reads 0.5 there, a
// full-scale constant 1.0 in bin 0.
void spectrum_magnitudes(SpectrumAnalyser* analyser, const float* stereo, float* magnitudes);
