#include "intro/capture.h"

#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#include "capture/video_file.h"
#include "intro/header_wobble.h"
#include "intro/offline_intro.h"
#include "intro/sequencer.h"
#include "music/music.h"

namespace {

constexpr int kQueuedFrames = 6;  // pictures between the drawing and the encoding thread

std::atomic<int> stop_signal{0};

void note_signal(int number) {
  stop_signal.store(number);
}

// SIGINT and SIGTERM end the capture cleanly instead of the process; a file size limit makes the
// write fail with an error instead of killing the process.
struct SignalGuard {
  struct sigaction old_int = {};
  struct sigaction old_term = {};
  struct sigaction old_xfsz = {};
  SignalGuard() {
    stop_signal.store(0);
    struct sigaction action {};
    action.sa_handler = note_signal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, &old_int);
    sigaction(SIGTERM, &action, &old_term);
    action.sa_handler = SIG_IGN;
    sigaction(SIGXFSZ, &action, &old_xfsz);
  }
  ~SignalGuard() {
    sigaction(SIGINT, &old_int, nullptr);
    sigaction(SIGTERM, &old_term, nullptr);
    sigaction(SIGXFSZ, &old_xfsz, nullptr);
  }
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
    for (Slot& slot : slots) free_video_picture(slot.picture);
  }
};

double seconds_since(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

struct Progress {
  std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
  std::chrono::steady_clock::time_point last_shown{};
  bool terminal = isatty(STDERR_FILENO) == 1;
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
    const bool ok = write_video_picture(video, slot->picture) &&
                    write_video_sound(video, slot->sound.data(), slot->sound_frames);
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
    if (stop_signal.load() != 0) return true;
    Slot* slot = nullptr;
    {
      std::unique_lock<std::mutex> guard(queue.lock);
      queue.changed.wait(guard,
                         [&] { return queue.filled < kQueuedFrames || queue.encoding_failed; });
      if (queue.encoding_failed) {
        error = video_file_error(video);
        return false;
      }
      slot = &queue.slots[(queue.first + queue.filled) % kQueuedFrames];
    }
    slot->sound.resize(static_cast<size_t>(offline_sound_capacity(rate)) * 2);
    slot->sound_frames = draw_offline_frame(frame == frames_before_fade + 1, slot->sound.data());
    int pitch = 0;
    const uint32_t* page = offline_picture(&pitch);
    if (slot->picture == nullptr) slot->picture = create_video_picture(video);
    if (slot->picture == nullptr || !convert_video_picture(video, slot->picture, page, pitch)) {
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

int fail_capture(const std::string& part, const std::string& why) {
  std::remove(part.c_str());
  std::fprintf(stderr, INTRO_COMMAND ": %s\n", why.c_str());
  return 1;
}

}  // namespace

int run_capture(const CaptureOptions& options) {
  VideoSettings settings;
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
  const SignalGuard signals;
  if (!options.header_file.empty()) HeaderFileName = options.header_file;
  if (start_offline_intro(options.seed, options.rate, options.module_file) != 0) {
    std::fprintf(stderr, INTRO_COMMAND ": cannot open the window-less screen\n");
    return 1;
  }
  const double music = music_length_seconds();
  const double seconds =
      options.seconds >= 0 ? options.seconds : (music > 0 ? music : CAPTURE_SILENT_SECONDS);
  const auto frames_before_fade = static_cast<int64_t>(std::llround(seconds * options.rate));

  const std::string part = options.file + ".part";
  std::string error;
  VideoFile* video = open_video_file(part, settings, error);
  if (video == nullptr) return fail_capture(part, error);

  FrameQueue queue;
  Progress progress;
  progress.total = frames_before_fade + FADE_FRAMES;
  progress.rate = options.rate;
  std::thread encoder(encode_frames, std::ref(queue), video, std::ref(progress));
  const bool drawn = draw_frames(queue, video, frames_before_fade, options.rate, error);
  {
    std::lock_guard<std::mutex> guard(queue.lock);
    queue.drawing_done = true;
  }
  queue.changed.notify_all();
  encoder.join();

  const bool encoded = drawn && !queue.encoding_failed;
  const bool finished = encoded && stop_signal.load() == 0 && finish_video_file(video);
  const int signal_number = stop_signal.load();
  if (finished && signal_number == 0) {
    close_video_file(video);
    if (std::rename(part.c_str(), options.file.c_str()) != 0)
      return fail_capture(
          part, "cannot rename " + part + " to " + options.file + ": " + std::strerror(errno));
    progress.finish(options.file);
    return 0;
  }
  progress.abandon();
  if (drawn) error = video_file_error(video);
  close_video_file(video);
  if (signal_number != 0) {
    std::remove(part.c_str());
    std::fprintf(stderr, INTRO_COMMAND ": interrupted; %s not written\n", options.file.c_str());
    return 128 + signal_number;
  }
  return fail_capture(part, error);
}
