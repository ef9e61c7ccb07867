// Where Windows differs: window messages wake the window thread; names are UTF-8 with '/'.
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <random>
#include <string>

#include "platform/process.h"
#include "platform/wake_signal.h"

namespace {

TEST(Win32WakeSignal, WakesForItsSignalForAQueuedMessageAndAtTheTimeout) {
  WakeSignal signal;
  ASSERT_TRUE(open_wake_signal(signal));
  MSG message;
  PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE);  // gives this thread its message queue
  EXPECT_EQ(wait_for_wake(signal, -1, 10), WOKEN_TIMEOUT);
  raise_wake_signal(signal);
  raise_wake_signal(signal);  // twice before the wait: one wake
  EXPECT_EQ(wait_for_wake(signal, -1, 1000), WOKEN_RAISED);
  EXPECT_EQ(wait_for_wake(signal, -1, 0), WOKEN_TIMEOUT);
  ASSERT_TRUE(PostThreadMessageW(GetCurrentThreadId(), WM_USER, 0, 0));
  EXPECT_EQ(wait_for_wake(signal, -1, 1000), WOKEN_INPUT);
  // Still queued, not taken: the next wait sees it at once rather than sleeping past it.
  EXPECT_EQ(wait_for_wake(signal, -1, 1000), WOKEN_INPUT);
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
  }
  EXPECT_EQ(wait_for_wake(signal, -1, 0), WOKEN_TIMEOUT);
  close_wake_signal(signal);
}

TEST(Win32Process, NamesAreUtf8WithForwardSlashes) {
  const std::string self = executable_path();
  EXPECT_EQ(self.find('\\'), std::string::npos) << self;
  EXPECT_TRUE(self.ends_with("/platform_tests.exe")) << self;
  EXPECT_TRUE(something_at(self));
  EXPECT_EQ(real_path(self), self);

  const std::string folder = "\xd0\x98\xd0\xbd\xd1\x82\xd1\x80\xd0\xbe " +  // "Интро "
                             std::to_string(std::random_device()());
  const std::filesystem::path wide =
      std::filesystem::temp_directory_path() / std::filesystem::u8path(folder);
  ASSERT_TRUE(std::filesystem::create_directory(wide));
  const std::string utf8 = reinterpret_cast<const char*>(wide.generic_u8string().c_str());
  EXPECT_TRUE(something_at(utf8));
  EXPECT_TRUE(something_at(utf8 + "/."));
  EXPECT_FALSE(something_at(utf8 + "/missing"));
  EXPECT_FALSE(something_at(utf8 + "/missing/deeper"));
  EXPECT_EQ(real_path(utf8 + "/missing"), "");
  const std::string resolved = real_path(utf8 + "/../" + folder);
  EXPECT_TRUE(resolved.ends_with("/" + folder)) << resolved;
  EXPECT_EQ(resolved.find('\\'), std::string::npos) << resolved;
  std::filesystem::remove(wide);
}

}  // namespace
