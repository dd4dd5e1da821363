// Video files through FFmpeg's libraries: the 16-bit frames converted to 4:2:0 by libswscale,
// the mixer's sound resampled to the encoder's format by libswresample, both muxed by
// libavformat.
#include <algorithm>
#include <cstring>
#include <vector>

#include "audio/SE_FFmpeg.h"
#include "video/SE_VideoEncoder.h"

namespace {

// Tried in this order; the container decides which of them it can hold, so a WebM file gets
// VP9 and Opus and an MP4 or Matroska file H.264 and AAC, each with a fallback.
const char* const kVideoEncoders[] = {"libx264", "mpeg4", "libvpx-vp9", "libvpx"};
const char* const kAudioEncoders[] = {"aac", "libmp3lame", "libopus", "libvorbis"};
constexpr int64_t kAudioBitRate = 160'000;

struct TOutputCloser {
  void operator()(AVFormatContext* format) const {
    if (format->pb && !(format->oformat->flags & AVFMT_NOFILE)) avio_closep(&format->pb);
    avformat_free_context(format);
  }
};
struct TScalerFreer {
  void operator()(SwsContext* scaler) const { sws_freeContext(scaler); }
};
struct TFifoFreer {
  void operator()(AVAudioFifo* fifo) const { av_audio_fifo_free(fifo); }
};

const AVCodec* PickEncoder(const AVOutputFormat* format, const char* const* names, size_t count,
                           AVCodecID usual) {
  for (size_t i = 0; i < count; ++i) {
    const AVCodec* codec = avcodec_find_encoder_by_name(names[i]);
    if (!codec) continue;
    // A container that does not say what it takes gets only its usual codec.
    const int takes = avformat_query_codec(format, codec->id, FF_COMPLIANCE_NORMAL);
    if (takes == 1 || (takes < 0 && codec->id == usual)) return codec;
  }
  return nullptr;
}

// Fast settings of about the quality a person would pick for sharing: recording must keep up
// with the ffmpeg command encoding the same frames.
void VideoOptions(const AVCodec& codec, AVCodecContext& context, AVDictionary*& options) {
  const std::string name = codec.name;
  if (name == "libx264") {
    av_dict_set(&options, "preset", "veryfast", 0);
    av_dict_set(&options, "crf", "18", 0);
  } else if (name == "libvpx-vp9" || name == "libvpx") {
    av_dict_set(&options, "deadline", "realtime", 0);
    av_dict_set(&options, "cpu-used", "8", 0);
    av_dict_set(&options, "row-mt", "1", 0);
    av_dict_set(&options, "crf", name == "libvpx" ? "10" : "32", 0);
    context.bit_rate = name == "libvpx" ? 4'000'000 : 0;
  } else {
    context.flags |= AV_CODEC_FLAG_QSCALE;
    context.global_quality = FF_QP2LAMBDA * 3;
  }
}

int AudioRateFor(const AVCodec& codec) {
  if (!codec.supported_samplerates) return kMixerRate;
  int best = 0;
  for (const int* rate = codec.supported_samplerates; *rate; ++rate) {
    if (*rate == kMixerRate) return kMixerRate;
    // Otherwise the nearest rate above ours keeps all of the sound, else the highest below.
    if (best == 0 || (*rate > kMixerRate && (best < kMixerRate || *rate < best)) ||
        (*rate < kMixerRate && best<kMixerRate&& * rate> best))
      best = *rate;
  }
  return best;
}

class TFFmpegVideoEncoder : public TVideoEncoder {
 public:
  explicit TFFmpegVideoEncoder(const TVideoEncoderSettings& settings) : Settings(settings) {}

  std::string Open(const std::string& path);
  bool AddFrame(const uint8_t* pixels, int32_t pitch) override;
  bool AddAudio(const int16_t* samples, uint32_t frames) override;
  bool Finish() override;

  int64_t FramesWritten() const override { return Frames; }
  std::string VideoCodecName() const override { return Video ? Video->codec->name : ""; }
  std::string AudioCodecName() const override { return Audio ? Audio->codec->name : ""; }
  const std::string& ErrorText() const override { return Error; }

 private:
  std::string OpenVideo();
  std::string OpenAudio();
  AVStream* AddStream(AVCodecContext& context);
  bool Fail(const std::string& what, int code);
  bool Send(AVCodecContext& context, AVStream& stream, const AVFrame* frame);
  bool SendAudioFrames(bool last);
  bool FinishAudio();

  TVideoEncoderSettings Settings;
  std::string Path;
  std::string Error;
  std::unique_ptr<AVFormatContext, TOutputCloser> Output;
  std::unique_ptr<AVCodecContext, TCodecFreer> Video;
  std::unique_ptr<AVCodecContext, TCodecFreer> Audio;
  AVStream* VideoStream = nullptr;
  AVStream* AudioStream = nullptr;
  std::unique_ptr<SwsContext, TScalerFreer> Widener;  // 16-bit frames to 24-bit ones
  std::unique_ptr<SwsContext, TScalerFreer> Scaler;   // 24-bit frames to the encoder's 4:2:0
  std::vector<uint8_t> Wide;
  int WidePitch = 0;
  std::unique_ptr<SwrContext, TResamplerFreer> Resampler;
  std::unique_ptr<AVAudioFifo, TFifoFreer> Fifo;
  TFramePtr Picture;
  TFramePtr Sound;
  TPacketPtr Packet;
  std::vector<uint8_t> Padded;  // odd-sized frames grown by their last column and row
  int64_t Frames = 0;
  int64_t AudioSent = 0;  // samples at the encoder's rate handed to it so far
  bool Finished = false;
};

bool TFFmpegVideoEncoder::Fail(const std::string& what, int code) {
  if (Error.empty()) Error = Path + ": " + what + (code < 0 ? ": " + AvError(code) : "");
  return false;
}

std::string TFFmpegVideoEncoder::Open(const std::string& path) {
  Path = path;
  SetUpFFmpeg();
  if (Settings.Width <= 0 || Settings.Height <= 0 || Settings.StepMs == 0)
    return path + ": no picture size or frame rate to record";
  AVFormatContext* output = nullptr;
  const AVOutputFormat* format = av_guess_format(nullptr, path.c_str(), nullptr);
  int result = format ? avformat_alloc_output_context2(&output, format, nullptr, path.c_str()) : -1;
  if (result < 0 || !output)
    return path + ": no video file format is known by that name (try .mp4, .webm or .mkv)";
  Output.reset(output);
  Packet.reset(av_packet_alloc());
  Picture.reset(av_frame_alloc());
  Sound.reset(av_frame_alloc());
  if (!Packet || !Picture || !Sound) return path + ": " + AvError(AVERROR(ENOMEM));
  std::string error = OpenVideo();
  if (error.empty() && Settings.WithAudio) error = OpenAudio();
  if (!error.empty()) return path + ": " + error;
  if (!(Output->oformat->flags & AVFMT_NOFILE) &&
      (result = avio_open(&Output->pb, path.c_str(), AVIO_FLAG_WRITE)) < 0)
    return path + ": " + AvError(result);
  if ((result = avformat_write_header(Output.get(), nullptr)) < 0)
    return path + ": cannot write the file's header: " + AvError(result);
  return "";
}

AVStream* TFFmpegVideoEncoder::AddStream(AVCodecContext& context) {
  AVStream* stream = avformat_new_stream(Output.get(), nullptr);
  if (!stream || avcodec_parameters_from_context(stream->codecpar, &context) < 0) return nullptr;
  stream->time_base = context.time_base;
  return stream;
}

std::string TFFmpegVideoEncoder::OpenVideo() {
  const AVCodec* codec = PickEncoder(Output->oformat, kVideoEncoders, std::size(kVideoEncoders),
                                     Output->oformat->video_codec);
  if (!codec) return "no video encoder here suits this kind of file";
  Video.reset(avcodec_alloc_context3(codec));
  if (!Video) return AvError(AVERROR(ENOMEM));
  AVCodecContext& c = *Video;
  // 4:2:0 pictures need even sides; an odd side gets a copy of the last column or row.
  c.width = (Settings.Width + 1) & ~1;
  c.height = (Settings.Height + 1) & ~1;
  c.pix_fmt = AV_PIX_FMT_YUV420P;
  int num = 0, den = 0;
  av_reduce(&num, &den, Settings.StepMs, 1000, INT32_MAX);
  c.time_base = AVRational{num, den};
  c.framerate = AVRational{den, num};
  c.sample_aspect_ratio = AVRational{1, 1};
  c.colorspace = AVCOL_SPC_SMPTE170M;
  c.color_primaries = AVCOL_PRI_SMPTE170M;
  c.color_trc = AVCOL_TRC_SMPTE170M;
  c.color_range = AVCOL_RANGE_MPEG;
  c.thread_count = 0;
  if (Output->oformat->flags & AVFMT_GLOBALHEADER) c.flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  AVDictionary* options = nullptr;
  VideoOptions(*codec, c, options);
  int result = avcodec_open2(&c, codec, &options);
  av_dict_free(&options);
  if (result < 0)
    return std::string("cannot open the ") + codec->name + " encoder: " + AvError(result);
  if (!(VideoStream = AddStream(c))) return "cannot add the video stream";
  VideoStream->avg_frame_rate = VideoStream->r_frame_rate = c.framerate;

  Picture->format = c.pix_fmt;
  Picture->width = c.width;
  Picture->height = c.height;
  Picture->color_range = c.color_range;
  Picture->colorspace = c.colorspace;
  if ((result = av_frame_get_buffer(Picture.get(), 0)) < 0) return AvError(result);
  const AVPixelFormat in = Settings.Rgb555 ? AV_PIX_FMT_RGB555 : AV_PIX_FMT_RGB565;
  // Two steps are three times as fast as one: libswscale widens 16-bit pixels and turns 24-bit
  // ones into 4:2:0 by special routines, while the direct way takes its general scaler.
  Widener.reset(sws_getContext(c.width, c.height, in, c.width, c.height, AV_PIX_FMT_BGR24,
                               SWS_BICUBIC, nullptr, nullptr, nullptr));
  Scaler.reset(sws_getContext(c.width, c.height, AV_PIX_FMT_BGR24, c.width, c.height, c.pix_fmt,
                              SWS_BICUBIC, nullptr, nullptr, nullptr));
  if (!Widener || !Scaler) return "cannot convert the frames";
  // libswscale's special routines write rows in blocks of up to 64 bytes.
  WidePitch = FFALIGN(c.width * 3, 64);
  Wide.resize(size_t(WidePitch) * c.height);
  // BT.601 at video range, as the ffmpeg command converts RGB pictures, and as we tag them.
  const int* coefficients = sws_getCoefficients(SWS_CS_ITU601);
  sws_setColorspaceDetails(Scaler.get(), coefficients, 1, coefficients, 0, 0, 1 << 16, 1 << 16);
  if (c.width != Settings.Width || c.height != Settings.Height)
    Padded.resize(size_t(c.width) * c.height * 2);
  return "";
}

std::string TFFmpegVideoEncoder::OpenAudio() {
  const AVCodec* codec = PickEncoder(Output->oformat, kAudioEncoders, std::size(kAudioEncoders),
                                     Output->oformat->audio_codec);
  if (!codec) return "no audio encoder here suits this kind of file";
  Audio.reset(avcodec_alloc_context3(codec));
  if (!Audio) return AvError(AVERROR(ENOMEM));
  AVCodecContext& c = *Audio;
  c.sample_fmt = codec->sample_fmts ? codec->sample_fmts[0] : AV_SAMPLE_FMT_S16;
  c.sample_rate = AudioRateFor(*codec);
  c.time_base = AVRational{1, c.sample_rate};
  c.bit_rate = kAudioBitRate;
  AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
  av_channel_layout_copy(&c.ch_layout, &stereo);
  if (Output->oformat->flags & AVFMT_GLOBALHEADER) c.flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  int result = avcodec_open2(&c, codec, nullptr);
  if (result < 0)
    return std::string("cannot open the ") + codec->name + " encoder: " + AvError(result);
  if (!(AudioStream = AddStream(c))) return "cannot add the audio stream";

  SwrContext* resampler = nullptr;
  result = swr_alloc_set_opts2(&resampler, &c.ch_layout, c.sample_fmt, c.sample_rate, &stereo,
                               AV_SAMPLE_FMT_S16, kMixerRate, 0, nullptr);
  Resampler.reset(resampler);
  if (result < 0 || (result = swr_init(resampler)) < 0)
    return "cannot convert the sound: " + AvError(result);
  Fifo.reset(av_audio_fifo_alloc(c.sample_fmt, c.ch_layout.nb_channels, 1 << 14));
  if (!Fifo) return AvError(AVERROR(ENOMEM));
  return "";
}

bool TFFmpegVideoEncoder::Send(AVCodecContext& context, AVStream& stream, const AVFrame* frame) {
  int result = avcodec_send_frame(&context, frame);
  if (result < 0)
    return Fail(std::string("the ") + context.codec->name + " encoder failed", result);
  while ((result = avcodec_receive_packet(&context, Packet.get())) >= 0) {
    av_packet_rescale_ts(Packet.get(), context.time_base, stream.time_base);
    Packet->stream_index = stream.index;
    if ((result = av_interleaved_write_frame(Output.get(), Packet.get())) < 0)
      return Fail("cannot write", result);
  }
  if (result != AVERROR(EAGAIN) && result != AVERROR_EOF)
    return Fail(std::string("the ") + context.codec->name + " encoder failed", result);
  return true;
}

bool TFFmpegVideoEncoder::AddFrame(const uint8_t* pixels, int32_t pitch) {
  if (!Error.empty() || Finished) return Fail("recording has ended", 0);
  if (!Padded.empty()) {
    const int32_t width = Video->width, row = Settings.Width * 2;
    for (int32_t y = 0; y < Video->height; ++y) {
      uint8_t* to = Padded.data() + size_t(y) * width * 2;
      std::memcpy(to, pixels + ptrdiff_t(std::min(y, Settings.Height - 1)) * pitch, row);
      if (width > Settings.Width) std::memcpy(to + row, to + row - 2, 2);
    }
    pixels = Padded.data();
    pitch = width * 2;
  }
  // The encoder may still hold the last picture (MPEG-4 keeps frames for reference).
  int result = av_frame_make_writable(Picture.get());
  if (result < 0) return Fail("cannot convert a frame", result);
  const uint8_t* planes[4] = {pixels};
  const int pitches[4] = {pitch};
  uint8_t* wide[4] = {Wide.data()};
  const int widePitch[4] = {WidePitch};
  sws_scale(Widener.get(), planes, pitches, 0, Video->height, wide, widePitch);
  sws_scale(Scaler.get(), wide, widePitch, 0, Video->height, Picture->data, Picture->linesize);
  Picture->pts = Frames++;
  return Send(*Video, *VideoStream, Picture.get());
}

bool TFFmpegVideoEncoder::AddAudio(const int16_t* samples, uint32_t frames) {
  if (!Error.empty() || Finished) return Fail("recording has ended", 0);
  if (!Audio || frames == 0) return true;
  const int room = swr_get_out_samples(Resampler.get(), int(frames));
  if (room < 0) return Fail("cannot convert the sound", room);
  uint8_t** converted = nullptr;
  int result = av_samples_alloc_array_and_samples(&converted, nullptr, Audio->ch_layout.nb_channels,
                                                  room, Audio->sample_fmt, 0);
  if (result < 0) return Fail("cannot convert the sound", result);
  const uint8_t* in[1] = {reinterpret_cast<const uint8_t*>(samples)};
  const int count = swr_convert(Resampler.get(), converted, room, in, int(frames));
  if (count > 0)
    result = av_audio_fifo_write(Fifo.get(), reinterpret_cast<void**>(converted), count);
  av_freep(&converted[0]);
  av_freep(&converted);
  if (count < 0) return Fail("cannot convert the sound", count);
  if (result < 0) return Fail("cannot keep the sound", result);
  return SendAudioFrames(false);
}

// Whole encoder frames while there are enough samples; at the end also the last, shorter one.
bool TFFmpegVideoEncoder::SendAudioFrames(bool last) {
  const int size = Audio->frame_size > 0 ? Audio->frame_size : 1024;
  while (av_audio_fifo_size(Fifo.get()) >= (last ? 1 : size)) {
    av_frame_unref(Sound.get());
    Sound->nb_samples = std::min(size, av_audio_fifo_size(Fifo.get()));
    Sound->format = Audio->sample_fmt;
    Sound->sample_rate = Audio->sample_rate;
    av_channel_layout_copy(&Sound->ch_layout, &Audio->ch_layout);
    int result = av_frame_get_buffer(Sound.get(), 0);
    if (result < 0) return Fail("cannot keep the sound", result);
    av_audio_fifo_read(Fifo.get(), reinterpret_cast<void**>(Sound->data), Sound->nb_samples);
    Sound->pts = AudioSent;
    AudioSent += Sound->nb_samples;
    if (!Send(*Audio, *AudioStream, Sound.get())) return false;
  }
  return true;
}

// The sound stops where the last frame ends: what the resampler still holds joins it, and
// then the tail is cut or filled with silence to that length.
bool TFFmpegVideoEncoder::FinishAudio() {
  uint8_t** tail = nullptr;
  const int room = std::max(swr_get_out_samples(Resampler.get(), 0), 1);
  int result = av_samples_alloc_array_and_samples(&tail, nullptr, Audio->ch_layout.nb_channels,
                                                  room, Audio->sample_fmt, 0);
  if (result < 0) return Fail("cannot convert the sound", result);
  const int count = swr_convert(Resampler.get(), tail, room, nullptr, 0);
  if (count > 0) av_audio_fifo_write(Fifo.get(), reinterpret_cast<void**>(tail), count);
  av_freep(&tail[0]);
  av_freep(&tail);

  const int64_t wanted =
      av_rescale_rnd(Frames * Settings.StepMs, Audio->sample_rate, 1000, AV_ROUND_NEAR_INF);
  const int64_t have = AudioSent + av_audio_fifo_size(Fifo.get());
  if (have > wanted) {
    const int64_t keep = std::max<int64_t>(wanted - AudioSent, 0);
    av_audio_fifo_drain(Fifo.get(), int(av_audio_fifo_size(Fifo.get()) - keep));
  }
  for (int64_t missing = wanted - have; missing > 0;) {
    const int piece = int(std::min<int64_t>(missing, 4096));
    uint8_t** silence = nullptr;
    result = av_samples_alloc_array_and_samples(&silence, nullptr, Audio->ch_layout.nb_channels,
                                                piece, Audio->sample_fmt, 0);
    if (result < 0) return Fail("cannot keep the sound", result);
    av_samples_set_silence(silence, 0, piece, Audio->ch_layout.nb_channels, Audio->sample_fmt);
    result = av_audio_fifo_write(Fifo.get(), reinterpret_cast<void**>(silence), piece);
    av_freep(&silence[0]);
    av_freep(&silence);
    if (result < 0) return Fail("cannot keep the sound", result);
    missing -= piece;
  }
  return SendAudioFrames(true) && Send(*Audio, *AudioStream, nullptr);
}

bool TFFmpegVideoEncoder::Finish() {
  if (Finished) return Error.empty();
  Finished = true;
  if (!Error.empty()) return false;
  if (!Send(*Video, *VideoStream, nullptr)) return false;
  if (Audio && !FinishAudio()) return false;
  int result = av_write_trailer(Output.get());
  if (result < 0) return Fail("cannot finish the file", result);
  if (Output->pb && !(Output->oformat->flags & AVFMT_NOFILE) &&
      (result = avio_closep(&Output->pb)) < 0)
    return Fail("cannot write", result);
  return true;
}

}  // namespace

std::unique_ptr<TVideoEncoder> TVideoEncoder::Open(const std::string& path,
                                                   const TVideoEncoderSettings& settings,
                                                   std::string& error) {
  auto encoder = std::make_unique<TFFmpegVideoEncoder>(settings);
  error = encoder->Open(path);
  if (!error.empty()) return nullptr;
  return encoder;
}
