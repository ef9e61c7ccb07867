// Renders a module offline through the intro's music engine (no device) and prints what the
// analyser bars would read in each video frame:
//
//   music_probe FILE.xm --seconds S [--fps 60] [--wav OUT.wav]
//
// One line per frame: frame number (from 1), the level word in hex (left peak in the low 16
// bits, right in the high), then the spectrum magnitudes of bins 1 to 128. Frame n is read at
// n / fps seconds after playback started, on the frames heard up to that moment. With --wav the
// rendered sound is written as 32-bit float stereo at 44100 Hz.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "music/analysis.h"
#include "music/frame_ring.h"
#include "music/module_player.h"
#include "platform/data_file.h"

namespace {

constexpr int RENDER_BLOCK = 1024;

int usage() {
  std::fprintf(stderr, "usage: music_probe FILE.xm --seconds S [--fps 60] [--wav OUT.wav]\n");
  return 2;
}

bool parse_positive(const char* text, double& value) {
  char* end = nullptr;
  value = std::strtod(text, &end);
  return end != text && *end == '\0' && value > 0.0 && value < 1e6;
}

void put_u16(std::ofstream& out, uint16_t v) {
  const char bytes[2] = {static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)};
  out.write(bytes, 2);
}

void put_u32(std::ofstream& out, uint32_t v) {
  put_u16(out, static_cast<uint16_t>(v & 0xFFFF));
  put_u16(out, static_cast<uint16_t>(v >> 16));
}

bool write_wav(const char* path, const std::vector<float>& stereo) {
  std::ofstream out(path, std::ios::binary);
  if (!out) return false;
  const auto data_bytes = static_cast<uint32_t>(stereo.size() * sizeof(float));
  out.write("RIFF", 4);
  put_u32(out, 36 + data_bytes);
  out.write("WAVEfmt ", 8);
  put_u32(out, 16);
  put_u16(out, 3);  // IEEE float
  put_u16(out, 2);
  put_u32(out, PLAYER_RATE);
  put_u32(out, PLAYER_RATE * 2 * sizeof(float));
  put_u16(out, 2 * sizeof(float));
  put_u16(out, 32);
  out.write("data", 4);
  put_u32(out, data_bytes);
  // Little-endian hosts only, like the rest of the build.
  out.write(reinterpret_cast<const char*>(stereo.data()), data_bytes);
  return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
  const char* module_path = nullptr;
  const char* wav_path = nullptr;
  double seconds = 0.0;
  double fps = 60.0;
  for (int i = 1; i < argc; ++i) {
    const bool has_value = i + 1 < argc;
    if (std::strcmp(argv[i], "--seconds") == 0 && has_value) {
      if (!parse_positive(argv[++i], seconds)) return usage();
    } else if (std::strcmp(argv[i], "--fps") == 0 && has_value) {
      if (!parse_positive(argv[++i], fps)) return usage();
    } else if (std::strcmp(argv[i], "--wav") == 0 && has_value) {
      wav_path = argv[++i];
    } else if (argv[i][0] != '-' && module_path == nullptr) {
      module_path = argv[i];
    } else {
      return usage();
    }
  }
  if (module_path == nullptr || seconds <= 0.0) return usage();

  std::vector<char> bytes;
  std::string why;
  if (!read_data_file(module_path, MAX_MODULE_BYTES, bytes, &why)) {
    std::fprintf(stderr, "error: cannot open '%s': %s\n", module_path, why.c_str());
    return 1;
  }
  ModulePlayer* player = create_module_player(bytes.data(), bytes.size());
  if (player == nullptr) {
    std::fprintf(stderr, "error: '%s' is not a module that can be played\n", module_path);
    return 1;
  }
  SpectrumAnalyser* analyser = create_spectrum_analyser();

  const auto total_frames = static_cast<int64_t>(std::llround(seconds * PLAYER_RATE));
  const auto video_frames = static_cast<int64_t>(std::floor(seconds * fps + 1e-9));
  std::vector<float> rendered;
  std::vector<float> block(RENDER_BLOCK * 2);
  std::vector<float> heard(SPECTRUM_FRAMES * 2);
  float magnitudes[SPECTRUM_BINS];
  int64_t rendered_frames = 0;
  auto render_until = [&](int64_t frames) {
    while (rendered_frames < frames) {
      render_module(player, block.data(), RENDER_BLOCK);
      if (wav_path != nullptr) rendered.insert(rendered.end(), block.begin(), block.end());
      rendered_frames += RENDER_BLOCK;
    }
  };

  for (int64_t frame = 1; frame <= video_frames; ++frame) {
    const auto position =
        static_cast<int64_t>(std::llround(static_cast<double>(frame) * PLAYER_RATE / fps));
    render_until(position);
    // The same reads as the live queries: the heard frames end at `position`.
    ring_read(player_ring(player), position, SPECTRUM_FRAMES, heard.data());
    const uint32_t level = peak_level_word(
        heard.data() + (SPECTRUM_FRAMES - LEVEL_WINDOW_FRAMES) * 2, LEVEL_WINDOW_FRAMES);
    spectrum_magnitudes(analyser, heard.data(), magnitudes);
    std::printf("%lld %08X", static_cast<long long>(frame), level);
    for (int bin = 1; bin <= 128; ++bin) std::printf(" %.6f", magnitudes[bin]);
    std::printf("\n");
  }

  int status = 0;
  if (wav_path != nullptr) {
    render_until(total_frames);
    rendered.resize(static_cast<size_t>(total_frames) * 2);
    if (!write_wav(wav_path, rendered)) {
      std::fprintf(stderr, "error: cannot write '%s'\n", wav_path);
      status = 1;
    }
  }
  destroy_spectrum_analyser(analyser);
  destroy_module_player(player);
  return status;
}
