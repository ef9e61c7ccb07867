#include "music/analysis.h"

#include <kiss_fftr.h>

#include <cmath>
#include <numbers>

namespace {

uint32_t scaled_peak(float peak) {
  // Decoded floats can exceed 1.0; the level scale stops at full scale.
  if (peak >= 1.0f) return 32768;
  return static_cast<uint32_t>(peak * 32768.0f);
}

}  // namespace

uint32_t peak_level_word(const float* stereo, int frames) {
  float left = 0.0f;
  float right = 0.0f;
  for (int i = 0; i < frames; ++i) {
    const float l = std::fabs(stereo[2 * i]);
    const float r = std::fabs(stereo[2 * i + 1]);
    if (l > left) left = l;  // false for NaN, which is thereby skipped
    if (r > right) right = r;
  }
  return scaled_peak(left) | (scaled_peak(right) << 16);
}

struct SpectrumAnalyser {
  kiss_fftr_cfg plan = nullptr;
  float window[SPECTRUM_FRAMES];
  float mono[SPECTRUM_FRAMES];
  kiss_fft_cpx bins[SPECTRUM_FRAMES / 2 + 1];
};

SpectrumAnalyser* create_spectrum_analyser() {
  auto* analyser = new SpectrumAnalyser;
  analyser->plan = kiss_fftr_alloc(SPECTRUM_FRAMES, 0, nullptr, nullptr);
  for (int n = 0; n < SPECTRUM_FRAMES; ++n) {
    // Periodic Hann: the window repeats with the FFT length, so an on-bin sine leaks into no
    // bins but its two neighbours.
    const double phase = 2.0 * std::numbers::pi * n / SPECTRUM_FRAMES;
    analyser->window[n] = static_cast<float>(0.5 - 0.5 * std::cos(phase));
  }
  return analyser;
}

void destroy_spectrum_analyser(SpectrumAnalyser* analyser) {
  if (analyser == nullptr) return;
  kiss_fftr_free(analyser->plan);
  delete analyser;
}

void spectrum_magnitudes(SpectrumAnalyser* analyser, const float* stereo, float* magnitudes) {
  for (int n = 0; n < SPECTRUM_FRAMES; ++n) {
    const float mono = (stereo[2 * n] + stereo[2 * n + 1]) * 0.5f;
    analyser->mono[n] = mono * analyser->window[n];
  }
  kiss_fftr(analyser->plan, analyser->mono, analyser->bins);
  constexpr float scale = 2.0f / SPECTRUM_FRAMES;
  for (int k = 0; k < SPECTRUM_BINS; ++k) {
    const double re = analyser->bins[k].r;
    const double im = analyser->bins[k].i;
    magnitudes[k] = static_cast<float>(std::sqrt(re * re + im * im)) * scale;
  }
}
