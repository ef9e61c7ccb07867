// SDL's dummy driver pulls whole blocks from its thread, none while paused or after the close.
#include "platform/sound_device.h"

#include <SDL2/SDL_stdinc.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

namespace {

using namespace std::chrono_literals;

struct Pulls {
  std::atomic<int> calls{0};
  std::atomic<int> frames{0};
};

void count_pull(void* context, float* samples, int frames) {
  auto* pulls = static_cast<Pulls*>(context);
  // The whole block, two channels: a wrong frame count writes past SDL's buffer (ASan's find).
  for (int i = 0; i < frames * 2; ++i) samples[i] = 0.0f;
  pulls->frames = frames;
  ++pulls->calls;
}

bool wait_for_calls(const Pulls& pulls, int calls) {
  const auto deadline = std::chrono::steady_clock::now() + 5s;
  while (pulls.calls < calls) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(5ms);
  }
  return true;
}

// Several of the device's 23 ms blocks.
int calls_after_a_while(const Pulls& pulls) {
  std::this_thread::sleep_for(150ms);
  return pulls.calls;
}

constexpr SoundFormat kFormat = {44100, 2, 1024};

}  // namespace

TEST(SoundDevice, PullsWholeBlocksOnlyWhilePlaying) {
#ifdef __EMSCRIPTEN__
  GTEST_SKIP() << "the dummy driver plays from a thread, which the page does not have";
#endif
  SDL_setenv("SDL_AUDIODRIVER", "dummy", 1);
  Pulls pulls;
  std::string why;
  SoundDevice* device = open_sound_device(kFormat, count_pull, &pulls, why);
  ASSERT_NE(device, nullptr) << why;
  EXPECT_EQ(sound_device_block_frames(device), kFormat.block_frames);
  EXPECT_EQ(calls_after_a_while(pulls), 0);  // opened paused

  set_sound_device_playing(device, true);
  ASSERT_TRUE(wait_for_calls(pulls, 2));
  EXPECT_EQ(pulls.frames, kFormat.block_frames);

  // A pull that was running when the pause came has finished by its return.
  set_sound_device_playing(device, false);
  const int paused = pulls.calls;
  EXPECT_EQ(calls_after_a_while(pulls), paused);
  set_sound_device_playing(device, true);
  ASSERT_TRUE(wait_for_calls(pulls, paused + 1));

  close_sound_device(device);
  const int closed = pulls.calls;
  EXPECT_EQ(calls_after_a_while(pulls), closed);
}
