#include "intro/capture.h"

#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <thread>
#include <vector>

#include "capture/video_file_module.h"
#include "intro/data_files.h"
#include "intro/header_wobble.h"
#include "intro/offline_intro.h"
#include "intro/sequencer.h"
#include "music/music.h"
#include "platform/output_file.h"
#include "platform/process.h"
#include "platform/stop_signals.h"

#ifndef INTRO_CAPTURE_PACKAGES
#define INTRO_CAPTURE_PACKAGES "libavformat libavcodec libavutil libswscale libswresample"
#endif

namespace {

constexpr int kQueuedFrames = 6;  // pictures between the drawing and the encoding thread

const VideoFileFunctions* video_writer = nullptr;  // the capture module's writer, once loaded

// The stop signals are caught for as long as the capture runs.
struct SignalGuard {
  SignalGuard() { catch_stop_signals(); }
  ~SignalGuard() { release_stop_signals(); }
};

struct Slot {
  VideoPicture* picture = nullptr;
  std::vector<float> sound;
  int sound_frames = 0;
};

// A fixed ring of slots handed from the drawing thread to the encoding thread and back.
struct FrameQueue {
  std::mutex lock;
  std::condition_variable changed;
  Slot slots[kQueuedFrames];
  int first = 0;  // oldest filled slot
  int filled = 0;
  bool drawing_done = false;  // no more slots will be filled
  bool encoding_failed = false;

  ~FrameQueue() {
    for (Slot& slot : slots) video_writer->free_picture(slot.picture);
  }
};

double seconds_since(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

struct Progress {
  std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
  std::chrono::steady_clock::time_point last_shown{};
  bool terminal = standard_error_is_terminal();
  int64_t total = 0;
  int rate = 60;

  void show(int64_t done) {
    if (!terminal) return;
    const auto now = std::chrono::steady_clock::now();
    if (done < total && now - last_shown < std::chrono::milliseconds(250)) return;
    last_shown = now;
    const double elapsed = seconds_since(start);
    const double speed = elapsed > 0 ? static_cast<double>(done) / rate / elapsed : 0.0;
    const double left = speed > 0 ? static_cast<double>(total - done) / rate / speed : 0.0;
    const auto left_seconds = static_cast<int>(std::lround(left));
    std::fprintf(stderr, "\rcapture: %lld/%lld frames, %.2fx real time, %d:%02d left   ",
                 static_cast<long long>(done), static_cast<long long>(total), speed,
                 left_seconds / 60, left_seconds % 60);
  }

  void finish(const std::string& file) {
    const double elapsed = seconds_since(start);
    const double video = static_cast<double>(total) / rate;
    if (terminal) std::fprintf(stderr, "\n");
    std::fprintf(stderr, "capture: %s: %lld frames (%.2f s) in %.2f s, %.2fx real time\n",
                 file.c_str(), static_cast<long long>(total), video, elapsed,
                 elapsed > 0 ? video / elapsed : 0.0);
  }

  void abandon() {
    if (terminal) std::fprintf(stderr, "\n");
  }
};

// The encoding thread: takes filled slots until the drawing is done or writing fails.
void encode_frames(FrameQueue& queue, VideoFile* video, Progress& progress) {
  int64_t done = 0;
  for (;;) {
    Slot* slot = nullptr;
    {
      std::unique_lock<std::mutex> guard(queue.lock);
      queue.changed.wait(guard, [&] { return queue.filled > 0 || queue.drawing_done; });
      if (queue.filled == 0) return;
      slot = &queue.slots[queue.first];
    }
    const bool ok = video_writer->write_picture(video, slot->picture) &&
                    video_writer->write_sound(video, slot->sound.data(), slot->sound_frames);
    {
      std::lock_guard<std::mutex> guard(queue.lock);
      queue.first = (queue.first + 1) % kQueuedFrames;
      --queue.filled;
      queue.encoding_failed = !ok;
    }
    queue.changed.notify_all();
    if (!ok) return;
    progress.show(++done);
  }
}

// The drawing thread's half: every frame, converted to the encoder's picture format there, into a
// free slot. False with `error` set when something failed.
bool draw_frames(FrameQueue& queue, VideoFile* video, int64_t frames_before_fade, int rate,
                 std::string& error) {
  for (int64_t frame = 1;; ++frame) {
    if (caught_stop_signal() != 0) return true;
    Slot* slot = nullptr;
    {
      std::unique_lock<std::mutex> guard(queue.lock);
      queue.changed.wait(guard,
                         [&] { return queue.filled < kQueuedFrames || queue.encoding_failed; });
      if (queue.encoding_failed) {
        error = video_writer->error(video);
        return false;
      }
      slot = &queue.slots[(queue.first + queue.filled) % kQueuedFrames];
    }
    slot->sound.resize(static_cast<size_t>(offline_sound_capacity(rate)) * 2);
    slot->sound_frames = draw_offline_frame(frame == frames_before_fade + 1, slot->sound.data());
    int pitch = 0;
    const uint32_t* page = offline_picture(&pitch);
    if (slot->picture == nullptr) slot->picture = video_writer->create_picture(video);
    if (slot->picture == nullptr ||
        !video_writer->convert_picture(video, slot->picture, page, pitch)) {
      error = "out of memory";
      return false;
    }
    {
      std::lock_guard<std::mutex> guard(queue.lock);
      ++queue.filled;
    }
    queue.changed.notify_all();
    if (!offline_frames_left()) return true;
  }
}

// The output reached through the writer's table; the context is the OutputFile.
VideoOutput video_output(OutputFile& file) {
  VideoOutput output{};
  output.context = &file;
  output.write = [](void* context, const uint8_t* bytes, size_t size) {
    return write_output(*static_cast<OutputFile*>(context), bytes, size);
  };
  output.seek = [](void* context, int64_t offset, int whence) {
    return seek_output(*static_cast<OutputFile*>(context), offset, whence);
  };
  output.size = [](void* context) { return output_size(*static_cast<OutputFile*>(context)); };
  output.read_at = [](void* context, uint8_t* bytes, size_t size, int64_t offset) {
    return read_output(*static_cast<OutputFile*>(context), bytes, size, offset);
  };
  return output;
}

int say_failed(const std::string& why) {
  std::fprintf(stderr, INTRO_COMMAND ": %s\n", why.c_str());
  return 1;
}

// Everything that can be known before drawing: 0 to go on, else the status to end with.
int check_before_capture(const CaptureOptions& options, VideoSettings& settings) {
  settings.format = video_format_for_name(options.file, options.lossless);
  if (settings.format == VIDEO_FORMAT_NONE) {
    if (options.lossless)
      std::fprintf(stderr, INTRO_COMMAND ": %s: --lossless writes .mkv files only\n",
                   options.file.c_str());
    else
      std::fprintf(stderr, INTRO_COMMAND ": %s: unsupported extension; supported: %s\n",
                   options.file.c_str(), supported_video_extensions());
    return 2;
  }
  settings.frame_rate = options.rate;
  const std::string problem = output_target_problem(options.file, options.force);
  if (!problem.empty()) return say_failed(problem);
  std::string error;
  video_writer = load_video_file_functions(capture_module_paths(executable_path()),
                                           INTRO_CAPTURE_PACKAGES, error);
  return video_writer != nullptr ? 0 : say_failed(error);
}

}  // namespace

int run_capture(const CaptureOptions& options) {
  VideoSettings settings;
  if (const int status = check_before_capture(options, settings); status != 0) return status;
  const SignalGuard signals;
  OutputFile output;
  std::string error;
  if (!create_output_file(options.file, output, error)) return say_failed(error);
  if (!options.header_file.empty()) HeaderFileName = options.header_file;
  if (start_offline_intro(options.seed, options.rate, options.module_file) != 0) {
    discard_output_file(output);
    return say_failed("cannot open the window-less screen");
  }
  const double music = music_length_seconds();
  const double seconds =
      options.seconds >= 0 ? options.seconds : (music > 0 ? music : CAPTURE_SILENT_SECONDS);
  const auto frames_before_fade = static_cast<int64_t>(std::llround(seconds * options.rate));

  VideoFile* video = video_writer->open(video_output(output), options.file, settings, error);
  if (video == nullptr) {
    discard_output_file(output);
    return say_failed(error);
  }

  bool drawn = false;
  {
    FrameQueue queue;
    Progress progress;
    progress.total = frames_before_fade + FADE_FRAMES;
    progress.rate = options.rate;
    std::thread encoder(encode_frames, std::ref(queue), video, std::ref(progress));
    drawn = draw_frames(queue, video, frames_before_fade, options.rate, error);
    {
      std::lock_guard<std::mutex> guard(queue.lock);
      queue.drawing_done = true;
    }
    queue.changed.notify_all();
    encoder.join();
    const bool encoded = drawn && !queue.encoding_failed;
    if (encoded && caught_stop_signal() == 0 && video_writer->finish(video) &&
        caught_stop_signal() == 0) {
      video_writer->close(video);
      if (!commit_output_file(output, options.force, error)) return say_failed(error);
      progress.finish(options.file);
      return 0;
    }
    progress.abandon();
  }
  if (drawn) error = video_writer->error(video);
  video_writer->close(video);
  discard_output_file(output);
  if (const int signal_number = caught_stop_signal(); signal_number != 0) {
    std::fprintf(stderr, INTRO_COMMAND ": stopped by signal %d; %s not written\n", signal_number,
                 options.file.c_str());
    return 128 + signal_number;
  }
  return say_failed(error);
}
