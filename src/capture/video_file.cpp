#include "capture/video_file.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/channel_layout.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <cstdio>
#include <new>

namespace {

struct StreamRecipe {
  const char* encoder;
  AVPixelFormat pixel_format;  // video only
  int sample_rate;             // audio only; 0 keeps the input's
  int64_t bit_rate;            // 0 leaves it to the options
  const char* options;         // "key=value:key=value" for the encoder's private options
};

struct FormatRecipe {
  const char* muxer;
  const char* muxer_options;
  StreamRecipe video;
  StreamRecipe audio;
};

// x264's "superfast" at CRF 18: about three times real time on two cores while "veryfast"
// manages less than two, at 44 to 45 dB against the lossless capture (above 40 with a margin),
// for about twice the bytes. bench/capture_bench.py prints the figures.
constexpr StreamRecipe kH264 = {"libx264", AV_PIX_FMT_YUV420P, 0, 0, "preset=superfast:crf=18"};
constexpr StreamRecipe kFlac = {"flac", AV_PIX_FMT_NONE, 0, 0, ""};

const FormatRecipe* recipe_for(VideoFormat format) {
  static const FormatRecipe mkv = {"matroska", "", kH264, kFlac};
  static const FormatRecipe mp4 = {
      "mp4", "movflags=+faststart", kH264, {"aac", AV_PIX_FMT_NONE, 0, 192000, ""}};
  static const FormatRecipe webm = {
      "webm",
      "",
      {"libvpx-vp9", AV_PIX_FMT_YUV420P, 0, 0,
       "crf=32:b=0:deadline=realtime:cpu-used=8:row-mt=1:tile-columns=1"},
      {"libopus", AV_PIX_FMT_NONE, 48000, 160000, ""}};
  static const FormatRecipe lossless = {
      "matroska", "", {"ffv1", AV_PIX_FMT_0RGB32, 0, 0, "level=3:slices=4:slicecrc=0"}, kFlac};
  switch (format) {
    case VIDEO_FORMAT_MKV:
      return &mkv;
    case VIDEO_FORMAT_MP4:
      return &mp4;
    case VIDEO_FORMAT_WEBM:
      return &webm;
    case VIDEO_FORMAT_MKV_LOSSLESS:
      return &lossless;
    case VIDEO_FORMAT_NONE:
      break;
  }
  return nullptr;
}

std::string library_error(int code) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(code, text, sizeof text);
  return text;
}

}  // namespace

struct VideoFile {
  AVFormatContext* muxer = nullptr;
  AVCodecContext* video = nullptr;
  AVCodecContext* audio = nullptr;
  AVStream* video_stream = nullptr;
  AVStream* audio_stream = nullptr;
  SwsContext* scaler = nullptr;
  SwrContext* resampler = nullptr;
  AVAudioFifo* sound_queue = nullptr;  // resampled sound waiting for a whole encoder frame
  AVFrame* sound = nullptr;
  AVPacket* packet = nullptr;
  uint8_t** converted = nullptr;  // resampler output, `converted_capacity` frames
  int converted_capacity = 0;
  int64_t pictures_sent = 0;
  int64_t samples_sent = 0;
  VideoOutput output{};
  std::string path;  // the name, for messages
  std::string error;
};

namespace {

bool fail(VideoFile* file, const std::string& what, int code) {
  file->error = what + ": " + library_error(code);
  return false;
}

// The encoder's packets so far, into the file.
bool drain_packets(VideoFile* file, AVCodecContext* encoder, AVStream* stream) {
  for (;;) {
    int result = avcodec_receive_packet(encoder, file->packet);
    if (result == AVERROR(EAGAIN) || result == AVERROR_EOF) return true;
    if (result < 0)
      return fail(file, std::string("encoding failed in ") + encoder->codec->name, result);
    av_packet_rescale_ts(file->packet, encoder->time_base, stream->time_base);
    file->packet->stream_index = stream->index;
    result = av_interleaved_write_frame(file->muxer, file->packet);
    if (result < 0) return fail(file, "cannot write " + file->path, result);
  }
}

bool encode(VideoFile* file, AVCodecContext* encoder, AVStream* stream, const AVFrame* frame) {
  const int result = avcodec_send_frame(encoder, frame);
  if (result < 0)
    return fail(file, std::string("encoding failed in ") + encoder->codec->name, result);
  return drain_packets(file, encoder, stream);
}

// Finds the encoder, applies the recipe's options and `configure`, opens it. Null with the
// file's error set.
template <typename Configure>
AVCodecContext* open_encoder(VideoFile* file, const StreamRecipe& recipe, Configure configure) {
  const AVCodec* codec = avcodec_find_encoder_by_name(recipe.encoder);
  if (codec == nullptr) {
    file->error = std::string("this FFmpeg has no ") + recipe.encoder + " encoder";
    return nullptr;
  }
  AVCodecContext* encoder = avcodec_alloc_context3(codec);
  if (encoder == nullptr) {
    fail(file, "out of memory", AVERROR(ENOMEM));
    return nullptr;
  }
  if (recipe.bit_rate > 0) encoder->bit_rate = recipe.bit_rate;
  if (file->muxer->oformat->flags & AVFMT_GLOBALHEADER)
    encoder->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  configure(encoder, codec);
  AVDictionary* options = nullptr;
  int result = av_dict_parse_string(&options, recipe.options, "=", ":", 0);
  if (result >= 0) result = avcodec_open2(encoder, codec, &options);
  // An option the encoder does not know is left over: a mistake in the recipe.
  if (result >= 0 && av_dict_count(options) > 0) result = AVERROR_OPTION_NOT_FOUND;
  av_dict_free(&options);
  if (result < 0) {
    fail(file, std::string("cannot start the ") + recipe.encoder + " encoder", result);
    avcodec_free_context(&encoder);
  }
  return encoder;
}

AVStream* add_stream(VideoFile* file, const AVCodecContext* encoder) {
  AVStream* stream = avformat_new_stream(file->muxer, nullptr);
  if (stream == nullptr) {
    fail(file, "out of memory", AVERROR(ENOMEM));
    return nullptr;
  }
  stream->time_base = encoder->time_base;
  const int result = avcodec_parameters_from_context(stream->codecpar, encoder);
  if (result < 0) {
    fail(file, "cannot describe a stream", result);
    return nullptr;
  }
  return stream;
}

bool open_video(VideoFile* file, const StreamRecipe& recipe, const VideoSettings& settings) {
  file->video = open_encoder(file, recipe, [&](AVCodecContext* c, const AVCodec*) {
    c->width = settings.width;
    c->height = settings.height;
    c->pix_fmt = recipe.pixel_format;
    c->time_base = AVRational{1, settings.frame_rate};
    c->framerate = AVRational{settings.frame_rate, 1};
    c->thread_count = 0;  // as many as the machine has
    // What the converter below produces: BT.601 in the limited range, or plain RGB.
    if (recipe.pixel_format == AV_PIX_FMT_YUV420P) {
      c->colorspace = AVCOL_SPC_SMPTE170M;
      c->color_range = AVCOL_RANGE_MPEG;
    } else {
      c->colorspace = AVCOL_SPC_RGB;
      c->color_range = AVCOL_RANGE_JPEG;
    }
  });
  if (file->video == nullptr) return false;
  file->video_stream = add_stream(file, file->video);
  if (file->video_stream == nullptr) return false;
  file->video_stream->avg_frame_rate = file->video->framerate;
  file->scaler =
      sws_getContext(settings.width, settings.height, AV_PIX_FMT_BGR0, settings.width,
                     settings.height, recipe.pixel_format, SWS_BICUBIC, nullptr, nullptr, nullptr);
  return file->scaler != nullptr ||
         fail(file, "cannot set up the picture conversion", AVERROR(ENOMEM));
}

bool open_audio(VideoFile* file, const StreamRecipe& recipe, const VideoSettings& settings) {
  AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
  file->audio = open_encoder(file, recipe, [&](AVCodecContext* c, const AVCodec* codec) {
    c->sample_rate = recipe.sample_rate > 0 ? recipe.sample_rate : settings.sample_rate;
    c->time_base = AVRational{1, c->sample_rate};
    av_channel_layout_copy(&c->ch_layout, &stereo);
    // Float where the encoder takes it, otherwise its first format (16-bit for FLAC).
    c->sample_fmt = codec->sample_fmts != nullptr ? codec->sample_fmts[0] : AV_SAMPLE_FMT_FLT;
    for (const AVSampleFormat* f = codec->sample_fmts; f && *f != AV_SAMPLE_FMT_NONE; ++f)
      if (*f == AV_SAMPLE_FMT_FLT || *f == AV_SAMPLE_FMT_FLTP) c->sample_fmt = *f;
  });
  if (file->audio == nullptr) return false;
  file->audio_stream = add_stream(file, file->audio);
  if (file->audio_stream == nullptr) return false;
  AVCodecContext* c = file->audio;
  int result = swr_alloc_set_opts2(&file->resampler, &c->ch_layout, c->sample_fmt, c->sample_rate,
                                   &stereo, AV_SAMPLE_FMT_FLT, settings.sample_rate, 0, nullptr);
  if (result >= 0) result = swr_init(file->resampler);
  if (result < 0) return fail(file, "cannot set up the sound conversion", result);
  file->sound_queue = av_audio_fifo_alloc(c->sample_fmt, 2, std::max(c->frame_size, 1024));
  file->sound = av_frame_alloc();
  if (file->sound_queue == nullptr || file->sound == nullptr)
    return fail(file, "out of memory", AVERROR(ENOMEM));
  return true;
}

// Whole encoder frames from the queue; with `last`, also the rest as a short (or, where the
// encoder insists on whole frames, silence-padded) final frame.
bool encode_queued_sound(VideoFile* file, bool last) {
  AVCodecContext* c = file->audio;
  const bool any_size =
      c->frame_size == 0 || (c->codec->capabilities & AV_CODEC_CAP_VARIABLE_FRAME_SIZE) != 0;
  const int whole = any_size ? 4096 : c->frame_size;
  for (;;) {
    const int queued = av_audio_fifo_size(file->sound_queue);
    if (queued == 0 || (queued < whole && !last)) return true;
    int take = std::min(queued, whole);
    const bool pad =
        take < whole && !any_size && (c->codec->capabilities & AV_CODEC_CAP_SMALL_LAST_FRAME) == 0;
    AVFrame* frame = file->sound;
    av_frame_unref(frame);
    frame->format = c->sample_fmt;
    frame->sample_rate = c->sample_rate;
    frame->nb_samples = pad ? whole : take;
    int result = av_channel_layout_copy(&frame->ch_layout, &c->ch_layout);
    if (result >= 0) result = av_frame_get_buffer(frame, 0);
    if (result < 0) return fail(file, "out of memory", result);
    if (pad) av_samples_set_silence(frame->extended_data, 0, whole, 2, c->sample_fmt);
    av_audio_fifo_read(file->sound_queue, reinterpret_cast<void**>(frame->extended_data), take);
    frame->pts = file->samples_sent;
    file->samples_sent += frame->nb_samples;
    if (!encode(file, c, file->audio_stream, frame)) return false;
  }
}

// Resamples `frames` input frames (none: what the resampler still holds) into the queue.
bool queue_sound(VideoFile* file, const float* stereo, int frames) {
  const int room = swr_get_out_samples(file->resampler, frames);
  if (room > file->converted_capacity) {
    if (file->converted != nullptr) av_freep(&file->converted[0]);
    av_freep(&file->converted);
    file->converted_capacity = 0;
    const int result = av_samples_alloc_array_and_samples(&file->converted, nullptr, 2, room,
                                                          file->audio->sample_fmt, 0);
    if (result < 0) return fail(file, "out of memory", result);
    file->converted_capacity = room;
  }
  const auto* input = reinterpret_cast<const uint8_t*>(stereo);
  const int made = swr_convert(file->resampler, file->converted, file->converted_capacity,
                               stereo != nullptr ? &input : nullptr, frames);
  if (made < 0) return fail(file, "cannot convert the sound", made);
  // Nothing made (a file finished without sound): the buffer may not even exist yet.
  if (made == 0) return true;
  if (av_audio_fifo_write(file->sound_queue, reinterpret_cast<void**>(file->converted), made) <
      made)
    return fail(file, "out of memory", AVERROR(ENOMEM));
  return true;
}

// The muxer's bytes go to the caller's output through a context of our own; it gets no name to
// open, and reopening for reading (the .mp4 index moved to the front) reads the same output.
constexpr int kOutputBuffer = 1 << 16;

// A size or position from the output, or its minus-errno as FFmpeg's error code.
int64_t output_result(int64_t result) {
  return result < 0 ? AVERROR(static_cast<int>(-result)) : result;
}

int write_to_output(void* opaque, uint8_t* bytes, int size) {
  const VideoOutput& output = static_cast<VideoFile*>(opaque)->output;
  const int error = output.write(output.context, bytes, static_cast<size_t>(size));
  return error != 0 ? AVERROR(error) : size;
}

int64_t seek_output(void* opaque, int64_t offset, int whence) {
  const VideoOutput& output = static_cast<VideoFile*>(opaque)->output;
  if (whence & AVSEEK_SIZE) return output_result(output.size(output.context));
  return output_result(output.seek(output.context, offset, whence & ~AVSEEK_FORCE));
}

// A read-back of the output with a position of its own.
struct OutputReader {
  VideoOutput output;
  int64_t position = 0;
};

int read_from_output(void* opaque, uint8_t* bytes, int size) {
  auto* reader = static_cast<OutputReader*>(opaque);
  const int64_t got = reader->output.read_at(reader->output.context, bytes,
                                             static_cast<size_t>(size), reader->position);
  if (got < 0) return static_cast<int>(output_result(got));
  if (got == 0) return AVERROR_EOF;
  reader->position += got;
  return static_cast<int>(got);
}

int64_t seek_reader(void* opaque, int64_t offset, int whence) {
  auto* reader = static_cast<OutputReader*>(opaque);
  const int64_t size = output_result(reader->output.size(reader->output.context));
  if (whence & AVSEEK_SIZE) return size;
  switch (whence & ~AVSEEK_FORCE) {
    case SEEK_SET:
      break;
    case SEEK_CUR:
      offset += reader->position;
      break;
    case SEEK_END:
      if (size < 0) return size;
      offset += size;
      break;
    default:
      return AVERROR(EINVAL);
  }
  if (offset < 0) return AVERROR(EINVAL);
  reader->position = offset;
  return offset;
}

AVIOContext* new_output_context(void* opaque, bool write, int (*read)(void*, uint8_t*, int),
                                int (*put)(void*, uint8_t*, int),
                                int64_t (*seek)(void*, int64_t, int)) {
  auto* buffer = static_cast<unsigned char*>(av_malloc(kOutputBuffer));
  if (buffer == nullptr) return nullptr;
  AVIOContext* context =
      avio_alloc_context(buffer, kOutputBuffer, write ? 1 : 0, opaque, read, put, seek);
  if (context == nullptr) av_free(buffer);
  return context;
}

void free_output_context(AVIOContext** context) {
  if (*context == nullptr) return;
  av_freep(&(*context)->buffer);
  avio_context_free(context);
}

// The muxer's way to open files: only the output it writes, for reading, and nothing by name.
int open_for_muxer(AVFormatContext* muxer, AVIOContext** context, const char* url, int flags,
                   AVDictionary**) {
  auto* file = static_cast<VideoFile*>(muxer->opaque);
  if (flags != AVIO_FLAG_READ || url == nullptr || muxer->url == nullptr ||
      std::string(url) != muxer->url)
    return AVERROR(EPERM);
  auto* reader = new (std::nothrow) OutputReader{file->output, 0};
  *context = reader != nullptr
                 ? new_output_context(reader, false, read_from_output, nullptr, seek_reader)
                 : nullptr;
  if (*context == nullptr) {
    delete reader;
    return AVERROR(ENOMEM);
  }
  return 0;
}

int close_for_muxer(AVFormatContext*, AVIOContext* context) {
  if (context == nullptr) return 0;
  delete static_cast<OutputReader*>(context->opaque);
  free_output_context(&context);
  return 0;
}

// Everything buffered, out to the output; its error if any.
bool flush_output(VideoFile* file) {
  avio_flush(file->muxer->pb);
  const int error = file->muxer->pb->error;
  return error >= 0 || fail(file, "cannot write " + file->path, error);
}

void close_video_file(VideoFile* file);

VideoFile* open_video_file(const VideoOutput& output, const std::string& name,
                           const VideoSettings& settings, std::string& error) {
  const FormatRecipe* recipe = recipe_for(settings.format);
  if (recipe == nullptr || settings.width <= 0 || settings.height <= 0 ||
      settings.frame_rate <= 0 || settings.sample_rate <= 0) {
    error = "no such video format";
    return nullptr;
  }
  av_log_set_level(AV_LOG_QUIET);  // failures are reported in one line of our own
  auto* file = new VideoFile;
  file->output = output;
  file->path = name;
  AVDictionary* options = nullptr;
  // The name only labels the container; the muxer never opens it (see open_for_muxer).
  int result = avformat_alloc_output_context2(&file->muxer, nullptr, recipe->muxer, name.c_str());
  bool ok = result >= 0 || fail(file, "cannot set up the container", result);
  if (ok) {
    // No date or library version in the file: two captures of the same frames are identical.
    file->muxer->flags |= AVFMT_FLAG_BITEXACT | AVFMT_FLAG_CUSTOM_IO;
    file->muxer->opaque = file;
    file->muxer->io_open = open_for_muxer;
    file->muxer->io_close2 = close_for_muxer;
    file->packet = av_packet_alloc();
    ok = file->packet != nullptr || fail(file, "out of memory", AVERROR(ENOMEM));
  }
  ok = ok && open_video(file, recipe->video, settings) && open_audio(file, recipe->audio, settings);
  if (ok) {
    file->muxer->pb = new_output_context(file, true, nullptr, write_to_output, seek_output);
    ok = file->muxer->pb != nullptr || fail(file, "out of memory", AVERROR(ENOMEM));
  }
  if (ok) {
    result = av_dict_parse_string(&options, recipe->muxer_options, "=", ":", 0);
    if (result >= 0) result = avformat_write_header(file->muxer, &options);
    ok = (result >= 0 || fail(file, "cannot write " + name, result)) && flush_output(file);
  }
  av_dict_free(&options);
  if (ok) return file;
  error = file->error;
  close_video_file(file);
  return nullptr;
}

VideoPicture* create_video_picture(VideoFile* file) {
  AVFrame* frame = av_frame_alloc();
  if (frame == nullptr) return nullptr;
  frame->format = file->video->pix_fmt;
  frame->width = file->video->width;
  frame->height = file->video->height;
  if (av_frame_get_buffer(frame, 0) < 0) av_frame_free(&frame);
  return reinterpret_cast<VideoPicture*>(frame);
}

void free_video_picture(VideoPicture* picture) {
  auto* frame = reinterpret_cast<AVFrame*>(picture);
  av_frame_free(&frame);
}

bool convert_video_picture(VideoFile* file, VideoPicture* picture, const uint32_t* pixels,
                           int pitch) {
  auto* frame = reinterpret_cast<AVFrame*>(picture);
  // The encoder may still hold the buffers of an earlier picture: then this one gets new ones.
  if (av_frame_make_writable(frame) < 0) return false;
  const auto* source = reinterpret_cast<const uint8_t*>(pixels);
  sws_scale(file->scaler, &source, &pitch, 0, frame->height, frame->data, frame->linesize);
  return true;
}

bool write_video_picture(VideoFile* file, VideoPicture* picture) {
  auto* frame = reinterpret_cast<AVFrame*>(picture);
  frame->pts = file->pictures_sent++;
  return encode(file, file->video, file->video_stream, frame);
}

bool write_video_sound(VideoFile* file, const float* stereo, int frames) {
  if (frames <= 0) return true;
  return queue_sound(file, stereo, frames) && encode_queued_sound(file, false);
}

bool finish_video_file(VideoFile* file) {
  bool ok = queue_sound(file, nullptr, 0) && encode_queued_sound(file, true) &&
            encode(file, file->audio, file->audio_stream, nullptr) &&
            encode(file, file->video, file->video_stream, nullptr);
  if (ok) {
    const int result = av_write_trailer(file->muxer);
    ok = result >= 0 || fail(file, "cannot write " + file->path, result);
  }
  return ok && flush_output(file);
}

const char* video_file_error(const VideoFile* file) {
  return file->error.c_str();
}

void close_video_file(VideoFile* file) {
  if (file == nullptr) return;
  if (file->muxer != nullptr) free_output_context(&file->muxer->pb);
  avcodec_free_context(&file->video);
  avcodec_free_context(&file->audio);
  sws_freeContext(file->scaler);
  swr_free(&file->resampler);
  if (file->sound_queue != nullptr) av_audio_fifo_free(file->sound_queue);
  av_frame_free(&file->sound);
  av_packet_free(&file->packet);
  if (file->converted != nullptr) av_freep(&file->converted[0]);
  av_freep(&file->converted);
  avformat_free_context(file->muxer);
  delete file;
}

constexpr VideoFileFunctions kFunctions = {
    VIDEO_FILE_INTERFACE,  open_video_file,     create_video_picture, free_video_picture,
    convert_video_picture, write_video_picture, write_video_sound,    finish_video_file,
    video_file_error,      close_video_file,
};

}  // namespace

extern "C" __attribute__((visibility("default"))) const VideoFileFunctions*
intro_video_file_functions() {
  return &kFunctions;
}
