#pragma once
// A video file with one picture stream and one stereo sound stream, encoded through FFmpeg's
// libraries (the only place that uses them). Pictures and sound arrive in order and their
// timestamps are counted from them: picture number over the frame rate, sound frames over the
// sample rate, both streams starting at 0.
#include <cstdint>
#include <string>

enum VideoFormat {
  VIDEO_FORMAT_NONE = 0,      // no format for that name
  VIDEO_FORMAT_MKV,           // H.264 in yuv420p, visually lossless, and FLAC
  VIDEO_FORMAT_MP4,           // H.264 and AAC, the index at the front for streaming
  VIDEO_FORMAT_WEBM,          // VP9 and Opus
  VIDEO_FORMAT_MKV_LOSSLESS,  // FFV1 in RGB and FLAC: every decoded picture equals the page
};

// The format a file name asks for by its extension (any letter case); lossless only in .mkv.
VideoFormat video_format_for_name(const std::string& name, bool lossless);

// The extensions video_format_for_name knows, for messages: ".mkv, .mp4, .webm".
const char* supported_video_extensions();

struct VideoSettings {
  VideoFormat format = VIDEO_FORMAT_MKV;
  int width = 640;
  int height = 480;
  int frame_rate = 60;      // pictures per second
  int sample_rate = 44100;  // of the sound handed in; the encoder may resample it
};

struct VideoFile;

// Creates `path` and sets up both encoders. Null on failure, with one line in `error` (the file
// may exist then; the caller removes it).
VideoFile* open_video_file(const std::string& path, const VideoSettings& settings,
                           std::string& error);

// A picture in the video encoder's own format, so that one thread can convert pages while
// another encodes. Null when out of memory.
struct VideoPicture;
VideoPicture* create_video_picture(VideoFile* file);
void free_video_picture(VideoPicture* picture);

// Converts a page, `height` rows of `width` words 0x..RRGGBB (the top byte is ignored) `pitch`
// bytes apart, into the picture. One thread at a time per file. False when out of memory.
bool convert_video_picture(VideoFile* file, VideoPicture* picture, const uint32_t* pixels,
                           int pitch);

// Encodes the picture as the next one; it may be converted again afterwards.
bool write_video_picture(VideoFile* file, VideoPicture* picture);

// Encodes the next `frames` interleaved stereo float frames.
bool write_video_sound(VideoFile* file, const float* stereo, int frames);

// Drains both encoders, writes the index and closes the file.
bool finish_video_file(VideoFile* file);

// Why the last failed call failed, one line.
const char* video_file_error(const VideoFile* file);

// Frees everything; a file not finished is closed as it stands.
void close_video_file(VideoFile* file);
