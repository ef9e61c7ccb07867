#pragma once
// A video file with one picture stream and one stereo sound stream, encoded through FFmpeg's
// libraries. The writer is a module of its own (the only code that uses those libraries), loaded
// only by a capture, and reached through one table of functions. Pictures and sound arrive in
// order and their timestamps are counted from them: picture number over the frame rate, sound
// frames over the sample rate, both streams starting at 0.
#include <cstddef>
#include <cstdint>
#include <string>

#include "capture/video_format.h"

// Where the bytes go: a file the caller opened, reached only through these functions, so that
// the writer never opens anything by name (FFmpeg would take some names for network addresses).
struct VideoOutput {
  void* context;
  // All of `size` bytes at the position: 0, or an errno value.
  int (*write)(void* context, const uint8_t* bytes, size_t size);
  // fseek's moves (SEEK_SET, SEEK_CUR, SEEK_END): the new position, or minus an errno value.
  int64_t (*seek)(void* context, int64_t offset, int whence);
  // The size so far, or minus an errno value.
  int64_t (*size)(void* context);
  // Up to `size` bytes from `offset`, the position left alone: the count, 0 at the end, or
  // minus an errno value. (The .mp4 index is moved to the front by reading the file back.)
  int64_t (*read_at)(void* context, uint8_t* bytes, size_t size, int64_t offset);
};

struct VideoFile;
// A picture in the video encoder's own format, so that one thread can convert pages while
// another encodes.
struct VideoPicture;

// Raised whenever the table changes, so that a program never calls a module built for another.
constexpr int VIDEO_FILE_INTERFACE = 1;

struct VideoFileFunctions {
  int interface;  // VIDEO_FILE_INTERFACE of the module

  // Sets up both encoders and writes the header through `output`; `name` is for messages. Null
  // on failure, with one line in `error`.
  VideoFile* (*open)(const VideoOutput& output, const std::string& name,
                     const VideoSettings& settings, std::string& error);

  // A picture for this file, null when out of memory; and its release.
  VideoPicture* (*create_picture)(VideoFile* file);
  void (*free_picture)(VideoPicture* picture);

  // Converts a page, `height` rows of `width` words 0x..RRGGBB (the top byte is ignored) `pitch`
  // bytes apart, into the picture. One thread at a time per file. False when out of memory.
  bool (*convert_picture)(VideoFile* file, VideoPicture* picture, const uint32_t* pixels,
                          int pitch);

  // Encodes the picture as the next one; it may be converted again afterwards.
  bool (*write_picture)(VideoFile* file, VideoPicture* picture);

  // Encodes the next `frames` interleaved stereo float frames.
  bool (*write_sound)(VideoFile* file, const float* stereo, int frames);

  // Drains both encoders, writes the index and flushes everything to the output.
  bool (*finish)(VideoFile* file);

  // Why the last failed call failed, one line.
  const char* (*error)(const VideoFile* file);

  // Frees everything; the output is left to its owner.
  void (*close)(VideoFile* file);
};

// The one symbol the module exports.
#define VIDEO_FILE_FUNCTIONS_SYMBOL "intro_video_file_functions"
extern "C" const VideoFileFunctions* intro_video_file_functions();
