#pragma once
// The video files the capture writes: which format a name asks for, and the settings of one.
// Nothing here needs FFmpeg, so the program can check a name before loading the writer.
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
