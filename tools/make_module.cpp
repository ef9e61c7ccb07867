// Builds the intro's XM module from a text score: patterns written as a tracker grid, an order
// list and instruments whose samples are synthesised here (drums from noise and swept sines,
// tonal voices from sums of harmonics), so the music can be edited as text and rebuilt.
//
//   make_module SCORE.txt OUT.xm
//
// The output depends only on the score, so rebuilding an unchanged score gives the same bytes.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <numbers>
#include <sstream>
#include <string>
#include <vector>

#include "music/module_player.h"

namespace {

// ---------------------------------------------------------------------------------------------
// Score

struct Cell {
  uint8_t note = 0;  // 1..96, 97 = key off, 0 = none
  uint8_t instrument = 0;
  uint8_t volume = 0;  // XM volume column byte, 0 = none
  uint8_t effect = 0;
  uint8_t parameter = 0;
};

struct Pattern {
  std::vector<std::vector<Cell>> rows;
};

struct InstrumentSpec {
  std::string recipe;
  int volume = 64;
  int pan = 128;
};

struct Score {
  std::string title = "untitled";
  int speed = 6;
  int bpm = 125;
  int channels = 0;
  int restart = 0;
  std::vector<std::string> order;
  std::map<int, InstrumentSpec> instruments;
  std::vector<std::string> pattern_names;  // in order of appearance
  std::map<std::string, Pattern> patterns;
};

[[noreturn]] void fail(int line, const std::string& message) {
  if (line > 0) {
    std::fprintf(stderr, "error: score line %d: %s\n", line, message.c_str());
  } else {
    std::fprintf(stderr, "error: %s\n", message.c_str());
  }
  std::exit(1);
}

std::vector<std::string> split_words(const std::string& text) {
  std::istringstream in(text);
  std::vector<std::string> words;
  for (std::string word; in >> word;) words.push_back(word);
  return words;
}

int parse_number(const std::string& text, int low, int high, int line) {
  try {
    size_t used = 0;
    const int value = std::stoi(text, &used, 10);
    if (used == text.size() && value >= low && value <= high) return value;
  } catch (const std::exception&) {
  }
  fail(line, "expected a number from " + std::to_string(low) + " to " + std::to_string(high) +
                 ", got '" + text + "'");
}

int hex_digit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

bool is_note(const std::string& word) {
  if (word.size() != 3) return false;
  if (word[0] < 'A' || word[0] > 'G') return false;
  return (word[1] == '-' || word[1] == '#') && word[2] >= '0' && word[2] <= '7';
}

uint8_t parse_note(const std::string& word, int line) {
  static const int semitones[] = {9, 11, 0, 2, 4, 5, 7};  // A B C D E F G
  int semitone = semitones[word[0] - 'A'] + (word[1] == '#' ? 1 : 0);
  if (semitone == 12) fail(line, "no such note '" + word + "'");
  const int note = (word[2] - '0') * 12 + semitone + 1;
  if (note < 1 || note > 96) fail(line, "note out of range '" + word + "'");
  return static_cast<uint8_t>(note);
}

// A cell: NOTE [INSTRUMENT] [vVOLUME] [EFFECT], e.g. "C-4 05 v48 A04". NOTE is C-4, C#4, ===
// (key off) or --- / ... (none); INSTRUMENT two decimal digits; VOLUME 00..64; EFFECT an XM
// effect letter or digit and two hex digits. An empty cell is blank or "...".
Cell parse_cell(const std::string& text, int line) {
  Cell cell;
  for (const std::string& word : split_words(text)) {
    if (word == "..." || word == "---" || word == ".." || word == ".") continue;
    if (word == "===") {
      cell.note = 97;
    } else if (is_note(word)) {
      cell.note = parse_note(word, line);
    } else if (word.size() == 2 && std::isdigit(static_cast<unsigned char>(word[0])) &&
               std::isdigit(static_cast<unsigned char>(word[1]))) {
      cell.instrument = static_cast<uint8_t>(parse_number(word, 1, 99, line));
    } else if (word.size() == 3 && word[0] == 'v') {
      cell.volume = static_cast<uint8_t>(0x10 + parse_number(word.substr(1), 0, 64, line));
    } else if (word.size() == 3 && hex_digit(word[1]) >= 0 && hex_digit(word[2]) >= 0 &&
               (std::isdigit(static_cast<unsigned char>(word[0])) ||
                (word[0] >= 'A' && word[0] <= 'Z'))) {
      cell.effect = static_cast<uint8_t>(
          std::isdigit(static_cast<unsigned char>(word[0])) ? word[0] - '0' : word[0] - 'A' + 10);
      cell.parameter = static_cast<uint8_t>(hex_digit(word[1]) * 16 + hex_digit(word[2]));
    } else {
      fail(line, "cannot read '" + word + "' in a cell");
    }
  }
  return cell;
}

Score read_score(const std::string& path) {
  std::ifstream file(path);
  if (!file) fail(0, "cannot open score '" + path + "'");
  Score score;
  Pattern* pattern = nullptr;
  std::string text;
  for (int line = 1; std::getline(file, text); ++line) {
    const size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos || text[first] == '#' || text[first] == '|') continue;
    const auto words = split_words(text);
    const std::string& key = words[0];
    if (key == "title") {
      score.title = text.substr(text.find("title") + 5);
      score.title =
          score.title.substr(std::min(score.title.find_first_not_of(" \t"), score.title.size()));
    } else if (key == "speed" && words.size() == 2) {
      score.speed = parse_number(words[1], 1, 31, line);
    } else if (key == "bpm" && words.size() == 2) {
      score.bpm = parse_number(words[1], 32, 255, line);
    } else if (key == "channels" && words.size() == 2) {
      score.channels = parse_number(words[1], 1, 32, line);
    } else if (key == "restart" && words.size() == 2) {
      score.restart = parse_number(words[1], 0, 255, line);
    } else if (key == "order") {
      score.order.insert(score.order.end(), words.begin() + 1, words.end());
    } else if (key == "instrument" && words.size() >= 3) {
      InstrumentSpec spec;
      spec.recipe = words[2];
      for (size_t i = 3; i + 1 < words.size(); i += 2) {
        if (words[i] == "volume") {
          spec.volume = parse_number(words[i + 1], 0, 64, line);
        } else if (words[i] == "pan") {
          spec.pan = parse_number(words[i + 1], 0, 255, line);
        } else {
          fail(line, "unknown instrument setting '" + words[i] + "'");
        }
      }
      score.instruments[parse_number(words[1], 1, 99, line)] = spec;
    } else if (key == "pattern" && words.size() == 2) {
      if (score.patterns.count(words[1]) != 0) fail(line, "pattern '" + words[1] + "' twice");
      score.pattern_names.push_back(words[1]);
      pattern = &score.patterns[words[1]];
    } else if (hex_digit(key[0]) >= 0 && text.find('|') != std::string::npos) {
      if (pattern == nullptr) fail(line, "row outside a pattern");
      if (score.channels == 0) fail(line, "'channels' must come before the patterns");
      std::vector<std::string> fields;
      std::istringstream in(text);
      for (std::string field; std::getline(in, field, '|');) fields.push_back(field);
      const int row = static_cast<int>(std::strtol(fields[0].c_str(), nullptr, 16));
      if (row != static_cast<int>(pattern->rows.size())) fail(line, "rows must count up from 00");
      // A closing bar after the last channel is allowed.
      if (fields.size() == static_cast<size_t>(score.channels) + 2 &&
          split_words(fields.back()).empty()) {
        fields.pop_back();
      }
      if (fields.size() != static_cast<size_t>(score.channels) + 1) {
        fail(line, "expected " + std::to_string(score.channels) + " cells");
      }
      std::vector<Cell> cells;
      for (size_t i = 1; i < fields.size(); ++i) cells.push_back(parse_cell(fields[i], line));
      pattern->rows.push_back(cells);
      if (pattern->rows.size() > 256) fail(line, "more than 256 rows");
    } else {
      fail(line, "cannot read '" + text + "'");
    }
  }
  if (score.order.empty()) fail(0, "the score has no order list");
  for (const auto& name : score.order) {
    if (score.patterns.count(name) == 0) fail(0, "order names unknown pattern '" + name + "'");
  }
  for (const auto& [name, p] : score.patterns) {
    if (p.rows.empty()) fail(0, "pattern '" + name + "' has no rows");
    for (const auto& row : p.rows) {
      for (const Cell& cell : row) {
        if (cell.instrument != 0 && score.instruments.count(cell.instrument) == 0) {
          fail(0, "pattern '" + name + "' uses undefined instrument " +
                      std::to_string(cell.instrument));
        }
      }
    }
  }
  if (score.restart >= static_cast<int>(score.order.size())) fail(0, "restart beyond the order");
  return score;
}

// ---------------------------------------------------------------------------------------------
// Instruments

struct EnvelopePoint {
  int tick;
  int value;  // 0..64
};

struct Instrument {
  std::string name;
  std::vector<int16_t> samples;
  int loop_start = 0;
  int loop_length = 0;  // 0 = one-shot
  int relative_note = 0;
  int finetune = 0;
  int volume = 64;
  int pan = 128;
  std::vector<EnvelopePoint> envelope;  // empty = none
  int sustain_point = -1;
  int fadeout = 0;
  int vibrato_sweep = 0, vibrato_depth = 0, vibrato_rate = 0;
};

constexpr double PI = std::numbers::pi;
constexpr double DRUM_RATE = 44100.0;
constexpr int PERIOD = 256;  // samples per cycle of a tonal voice at C-4
constexpr double MIDDLE_C = 261.6255653005986;

// Deterministic noise in -1..1.
struct Noise {
  uint32_t state = 0x12345678;
  double next() {
    state = state * 1664525u + 1013904223u;
    return static_cast<double>(state >> 8) / 8388608.0 - 1.0;
  }
};

// Pitch of a sample recorded at `rate` Hz so that note C-4 plays it at that rate.
void tune_for_rate(Instrument& instrument, double rate) {
  const double semitones = 12.0 * std::log2(rate / 8363.0);
  instrument.relative_note = static_cast<int>(std::floor(semitones));
  instrument.finetune = static_cast<int>(std::lround((semitones - std::floor(semitones)) * 128.0));
  if (instrument.finetune > 127) {
    instrument.relative_note += 1;
    instrument.finetune -= 128;
  }
}

std::vector<int16_t> to_pcm(const std::vector<double>& wave, double peak_out) {
  double peak = 1e-9;
  for (double v : wave) peak = std::max(peak, std::fabs(v));
  std::vector<int16_t> pcm(wave.size());
  for (size_t i = 0; i < wave.size(); ++i) {
    pcm[i] = static_cast<int16_t>(std::lround(wave[i] / peak * peak_out * 32767.0));
  }
  return pcm;
}

// One-shot drum: ends with a short fade so the last sample is silent.
Instrument drum(const std::string& name, std::vector<double> wave) {
  const size_t fade = std::min<size_t>(wave.size(), 220);
  for (size_t i = 0; i < fade; ++i) {
    wave[wave.size() - 1 - i] *= static_cast<double>(i) / static_cast<double>(fade);
  }
  Instrument instrument;
  instrument.name = name;
  instrument.samples = to_pcm(wave, 0.95);
  tune_for_rate(instrument, DRUM_RATE);
  return instrument;
}

Instrument kick() {
  std::vector<double> wave(static_cast<size_t>(DRUM_RATE * 0.42));
  double phase = 0.0;
  Noise noise;
  for (size_t i = 0; i < wave.size(); ++i) {
    const double t = static_cast<double>(i) / DRUM_RATE;
    phase += 2.0 * PI * (44.0 + 120.0 * std::exp(-t * 28.0)) / DRUM_RATE;
    const double body = std::sin(phase) * std::exp(-t * 6.5);
    const double click = noise.next() * std::exp(-t * 900.0) * 0.4;
    wave[i] = std::tanh(1.6 * body) + click;
  }
  return drum("kick", wave);
}

Instrument snare() {
  std::vector<double> wave(static_cast<size_t>(DRUM_RATE * 0.3));
  Noise noise;
  double previous = 0.0;
  for (size_t i = 0; i < wave.size(); ++i) {
    const double t = static_cast<double>(i) / DRUM_RATE;
    const double white = noise.next();
    const double bright = white - 0.6 * previous;  // tilt the noise towards the highs
    previous = white;
    const double tone = std::sin(2.0 * PI * 185.0 * t) * std::exp(-t * 22.0);
    wave[i] = 0.7 * tone + bright * std::exp(-t * 15.0) * 0.8;
  }
  return drum("snare", wave);
}

Instrument hihat(const std::string& name, double seconds, double decay) {
  std::vector<double> wave(static_cast<size_t>(DRUM_RATE * seconds));
  Noise noise;
  noise.state = 0x9E3779B9u;
  double x1 = 0.0, x2 = 0.0;
  for (size_t i = 0; i < wave.size(); ++i) {
    const double t = static_cast<double>(i) / DRUM_RATE;
    const double white = noise.next();
    const double high = white - 2.0 * x1 + x2;  // second difference: only the top octaves
    x2 = x1;
    x1 = white;
    wave[i] = high * std::exp(-t * decay);
  }
  return drum(name, wave);
}

// A looped tonal voice: partial k of oscillator j runs k * cycles[j] times per loop, so the loop
// joins seamlessly; several oscillators with neighbouring cycle counts give a slow chorus.
Instrument tonal(const std::string& name, const std::vector<double>& partials,
                 const std::vector<int>& cycles, double peak) {
  const int loop_cycles = cycles[cycles.size() / 2];
  const int length = PERIOD * loop_cycles;
  std::vector<double> wave(static_cast<size_t>(length), 0.0);
  for (size_t j = 0; j < cycles.size(); ++j) {
    for (size_t k = 0; k < partials.size(); ++k) {
      if (partials[k] == 0.0) continue;
      const double step =
          2.0 * PI * static_cast<double>((k + 1) * static_cast<size_t>(cycles[j])) / length;
      const double offset = 0.7 * static_cast<double>(j * 3 + k);  // soften the first peak
      for (int n = 0; n < length; ++n) {
        wave[static_cast<size_t>(n)] += partials[k] * std::sin(step * n + offset);
      }
    }
  }
  Instrument instrument;
  instrument.name = name;
  instrument.samples = to_pcm(wave, peak);
  instrument.loop_start = 0;
  instrument.loop_length = length;
  tune_for_rate(instrument, MIDDLE_C * PERIOD);
  return instrument;
}

std::vector<double> saw_partials(int count, double tilt) {
  std::vector<double> partials;
  for (int k = 1; k <= count; ++k) partials.push_back(1.0 / std::pow(k, tilt));
  return partials;
}

std::vector<double> square_partials(int count) {
  std::vector<double> partials;
  for (int k = 1; k <= count; ++k) partials.push_back(k % 2 == 1 ? 1.0 / k : 0.0);
  return partials;
}

Instrument bass() {
  auto partials = saw_partials(18, 1.25);
  partials[0] += 0.6;  // a firm fundamental under the buzz
  Instrument instrument = tonal("bass", partials, {1}, 0.9);
  instrument.envelope = {{0, 64}, {8, 50}, {40, 42}};
  instrument.sustain_point = 2;
  instrument.fadeout = 0x0A00;
  return instrument;
}

Instrument pluck() {
  Instrument instrument = tonal("pluck", square_partials(13), {1}, 0.8);
  instrument.envelope = {{0, 64}, {3, 42}, {10, 20}, {24, 7}, {48, 0}};
  instrument.fadeout = 0x0800;
  return instrument;
}

Instrument pad() {
  Instrument instrument = tonal("pad", saw_partials(9, 1.5), {127, 128, 129}, 0.8);
  instrument.envelope = {{0, 0}, {16, 48}, {40, 64}, {80, 56}};
  instrument.sustain_point = 3;
  instrument.fadeout = 0x0180;
  return instrument;
}

Instrument lead() {
  auto partials = saw_partials(12, 1.1);
  for (size_t k = 1; k < partials.size(); k += 2) partials[k] *= 0.55;  // a little hollow
  Instrument instrument = tonal("lead", partials, {63, 64}, 0.85);
  instrument.envelope = {{0, 0}, {2, 64}, {14, 50}};
  instrument.sustain_point = 2;
  instrument.fadeout = 0x0600;
  instrument.vibrato_sweep = 40;
  instrument.vibrato_depth = 3;
  instrument.vibrato_rate = 10;
  return instrument;
}

Instrument synthesise(const InstrumentSpec& spec) {
  Instrument instrument;
  if (spec.recipe == "kick") {
    instrument = kick();
  } else if (spec.recipe == "snare") {
    instrument = snare();
  } else if (spec.recipe == "hihat") {
    instrument = hihat("hihat", 0.07, 70.0);
  } else if (spec.recipe == "openhat") {
    instrument = hihat("openhat", 0.35, 11.0);
  } else if (spec.recipe == "bass") {
    instrument = bass();
  } else if (spec.recipe == "pluck") {
    instrument = pluck();
  } else if (spec.recipe == "pad") {
    instrument = pad();
  } else if (spec.recipe == "lead") {
    instrument = lead();
  } else {
    fail(0, "unknown instrument recipe '" + spec.recipe + "'");
  }
  instrument.volume = spec.volume;
  instrument.pan = spec.pan;
  return instrument;
}

// ---------------------------------------------------------------------------------------------
// XM writer

struct Writer {
  std::vector<uint8_t> bytes;
  void u8(int v) { bytes.push_back(static_cast<uint8_t>(v)); }
  void u16(int v) {
    u8(v & 0xFF);
    u8((v >> 8) & 0xFF);
  }
  void u32(uint32_t v) {
    u16(static_cast<int>(v & 0xFFFF));
    u16(static_cast<int>(v >> 16));
  }
  void text(const std::string& s, size_t size) {
    for (size_t i = 0; i < size; ++i) u8(i < s.size() ? s[i] : 0);
  }
  void zeros(size_t count) { bytes.insert(bytes.end(), count, 0); }
};

void write_header(Writer& out, const Score& score, const std::vector<std::string>& names,
                  int instruments) {
  out.text("Extended Module: ", 17);
  out.text(score.title, 20);
  out.u8(0x1A);
  out.text("make_module", 20);
  out.u16(0x0104);
  out.u32(276);  // header size, counted from this field
  out.u16(static_cast<int>(score.order.size()));
  out.u16(score.restart);
  out.u16(score.channels);
  out.u16(static_cast<int>(names.size()));
  out.u16(instruments);
  out.u16(1);  // linear frequency table
  out.u16(score.speed);
  out.u16(score.bpm);
  for (size_t i = 0; i < 256; ++i) {
    int index = 0;
    if (i < score.order.size()) {
      for (size_t p = 0; p < names.size(); ++p) {
        if (names[p] == score.order[i]) index = static_cast<int>(p);
      }
    }
    out.u8(index);
  }
}

void write_pattern(Writer& out, const Pattern& pattern) {
  Writer packed;
  for (const auto& row : pattern.rows) {
    for (const Cell& cell : row) {
      // Packed form: a flag byte names which of the five fields follow.
      int flags = 0x80;
      if (cell.note != 0) flags |= 0x01;
      if (cell.instrument != 0) flags |= 0x02;
      if (cell.volume != 0) flags |= 0x04;
      if (cell.effect != 0 || cell.parameter != 0) flags |= 0x18;
      packed.u8(flags);
      if (flags & 0x01) packed.u8(cell.note);
      if (flags & 0x02) packed.u8(cell.instrument);
      if (flags & 0x04) packed.u8(cell.volume);
      if (flags & 0x08) packed.u8(cell.effect);
      if (flags & 0x10) packed.u8(cell.parameter);
    }
  }
  out.u32(9);
  out.u8(0);
  out.u16(static_cast<int>(pattern.rows.size()));
  out.u16(static_cast<int>(packed.bytes.size()));
  out.bytes.insert(out.bytes.end(), packed.bytes.begin(), packed.bytes.end());
}

void write_instrument(Writer& out, const Instrument& instrument) {
  out.u32(263);
  out.text(instrument.name, 22);
  out.u8(0);
  out.u16(1);  // one sample
  out.u32(40);
  out.zeros(96);  // every note plays sample 0
  for (size_t i = 0; i < 12; ++i) {
    out.u16(i < instrument.envelope.size() ? instrument.envelope[i].tick : 0);
    out.u16(i < instrument.envelope.size() ? instrument.envelope[i].value : 0);
  }
  out.zeros(48);  // no panning envelope
  out.u8(static_cast<int>(instrument.envelope.size()));
  out.u8(0);
  out.u8(std::max(instrument.sustain_point, 0));
  out.u8(0);
  out.u8(0);
  out.u8(0);
  out.u8(0);
  out.u8(0);
  int envelope_type = instrument.envelope.empty() ? 0 : 1;
  if (instrument.sustain_point >= 0) envelope_type |= 2;
  out.u8(envelope_type);
  out.u8(0);
  out.u8(0);  // sine vibrato
  out.u8(instrument.vibrato_sweep);
  out.u8(instrument.vibrato_depth);
  out.u8(instrument.vibrato_rate);
  out.u16(instrument.fadeout);
  out.zeros(22);

  const auto length = static_cast<uint32_t>(instrument.samples.size() * 2);
  out.u32(length);
  out.u32(static_cast<uint32_t>(instrument.loop_start * 2));
  out.u32(static_cast<uint32_t>(instrument.loop_length * 2));
  out.u8(instrument.volume);
  out.u8(instrument.finetune & 0xFF);
  out.u8(0x10 | (instrument.loop_length > 0 ? 1 : 0));  // 16-bit, forward loop
  out.u8(instrument.pan);
  out.u8(instrument.relative_note & 0xFF);
  out.u8(0);
  out.text(instrument.name, 22);
  // Sample data is stored as differences between neighbours.
  int16_t previous = 0;
  for (int16_t sample : instrument.samples) {
    out.u16(static_cast<uint16_t>(sample - previous));
    previous = sample;
  }
}

std::vector<uint8_t> build_module(const Score& score) {
  // Only patterns the order plays are written, in order of first appearance in the score.
  std::vector<std::string> names;
  for (const auto& name : score.pattern_names) {
    for (const auto& used : score.order) {
      if (used == name) {
        names.push_back(name);
        break;
      }
    }
  }
  const int instrument_count = score.instruments.rbegin()->first;
  Writer out;
  write_header(out, score, names, instrument_count);
  for (const auto& name : names) write_pattern(out, score.patterns.at(name));
  for (int number = 1; number <= instrument_count; ++number) {
    const auto spec = score.instruments.find(number);
    if (spec == score.instruments.end()) {
      out.u32(29);  // an unused slot: name only, no samples
      out.zeros(22);
      out.u8(0);
      out.u16(0);
    } else {
      write_instrument(out, synthesise(spec->second));
    }
  }
  return out.bytes;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: make_module SCORE.txt OUT.xm\n");
    return 2;
  }
  const Score score = read_score(argv[1]);
  if (score.instruments.empty()) fail(0, "the score defines no instruments");
  const std::vector<uint8_t> bytes = build_module(score);
  const std::string messages = module_load_messages(bytes.data(), bytes.size());
  if (!messages.empty()) fail(0, "libopenmpt does not take the module cleanly:\n" + messages);
  std::ofstream file(argv[2], std::ios::binary);
  file.write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
  if (!file) fail(0, std::string("cannot write '") + argv[2] + "'");
  return 0;
}
