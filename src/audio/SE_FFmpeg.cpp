#include "audio/SE_FFmpeg.h"

#include <algorithm>
#include <cstring>

namespace {

// Rates a damaged file may claim beyond real ones: the resampler's filter grows with the
// ratio, to gigabytes at a few hundred megahertz, and a tiny rate multiplies every frame.
constexpr int kLowestRate = 100, kHighestRate = 768000;
constexpr int kIoBufferBytes = 32 * 1024;

}  // namespace

std::string AvError(int code) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(code, text, sizeof text);
  return text;
}

// FFmpeg's chatter stays off the player's stderr (errors still come back as texts), and no
// single allocation may exceed what a damaged header could claim from a small file, like a
// picture's limit.
void SetUpFFmpeg() {
  static const bool done = (av_log_set_level(AV_LOG_ERROR), av_max_alloc(size_t{256} << 20), true);
  (void)done;
}

int TIoFile::Read(void* opaque, uint8_t* buffer, int size) {
  TIoFile& io = *static_cast<TIoFile*>(opaque);
  const int64_t read = io.File->ReadAt(io.Offset, buffer, static_cast<size_t>(std::max(size, 0)));
  if (read < 0) return AVERROR(EIO);
  if (read == 0) return AVERROR_EOF;
  io.Offset += static_cast<uint64_t>(read);
  return static_cast<int>(read);
}

int64_t TIoFile::Seek(void* opaque, int64_t offset, int whence) {
  TIoFile& io = *static_cast<TIoFile*>(opaque);
  const auto size = static_cast<int64_t>(io.File->Size());
  whence &= ~AVSEEK_FORCE;
  if (whence == AVSEEK_SIZE) return size;
  const int64_t base = whence == SEEK_CUR   ? static_cast<int64_t>(io.Offset)
                       : whence == SEEK_END ? size
                                            : 0;
  if (whence != SEEK_SET && whence != SEEK_CUR && whence != SEEK_END) return AVERROR(EINVAL);
  if (offset < -base || offset > size - base) return AVERROR(EINVAL);
  io.Offset = static_cast<uint64_t>(base + offset);
  return base + offset;
}

void TInputFile::Close() {
  Format.reset();
  Io.reset();
}

std::string TInputFile::Open(const std::string& url, const std::string& name) {
  Close();
  const std::string path = url.starts_with("file:") ? url.substr(5) : url;
  if (!Custom && ContainerOf(path)) {
    std::string error;
    auto file = OpenReadFile(path, error);
    if (!file) return "cannot open " + name + ": " + error;
    Custom = std::make_unique<TIoFile>();
    Custom->File = std::move(file);
  }
  AVFormatContext* format = nullptr;
  if (Custom) {
    Custom->Offset = 0;
    auto* buffer = static_cast<uint8_t*>(av_malloc(kIoBufferBytes));
    AVIOContext* io = buffer ? avio_alloc_context(buffer, kIoBufferBytes, 0, Custom.get(),
                                                  TIoFile::Read, nullptr, TIoFile::Seek)
                             : nullptr;
    if (!io) av_free(buffer);
    Io.reset(io);
    format = io ? avformat_alloc_context() : nullptr;
    if (!format) return "cannot open " + name + ": " + AvError(AVERROR(ENOMEM));
    format->pb = io;
    format->flags |= AVFMT_FLAG_CUSTOM_IO;
  }
  // Playlists and the like name other files; they may, but only local ones.
  AVDictionary* options = nullptr;
  av_dict_set(&options, "protocol_whitelist", "file", 0);
  const int opened = avformat_open_input(&format, url.c_str(), nullptr, &options);
  av_dict_free(&options);
  if (opened < 0) return "cannot open " + name + ": " + AvError(opened);
  Format.reset(format);
  if (const int found = avformat_find_stream_info(format, nullptr); found < 0)
    return "cannot read " + name + ": " + AvError(found);
  return {};
}

std::string TStereoResampler::Prepare(const AVFrame* frame, const std::string& name) {
  if (Context && frame->format == InFormat && frame->sample_rate == InRate &&
      !av_channel_layout_compare(&frame->ch_layout, &InLayout))
    return {};
  if (frame->sample_rate < kLowestRate || frame->sample_rate > kHighestRate) {
    Context.reset();
    return name + ": no sound plays at " + std::to_string(frame->sample_rate) + " Hz";
  }
  av_channel_layout_uninit(&InLayout);
  AVChannelLayout layout{};
  int result = av_channel_layout_copy(&InLayout, &frame->ch_layout);
  // A stream that does not say which channel is which gets the usual order for its count.
  if (result >= 0 && InLayout.order == AV_CHANNEL_ORDER_UNSPEC)
    av_channel_layout_default(&layout, InLayout.nb_channels);
  else if (result >= 0)
    result = av_channel_layout_copy(&layout, &InLayout);
  InFormat = frame->format;
  InRate = frame->sample_rate;
  SwrContext* resampler = nullptr;
  AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
  if (result >= 0)
    result = swr_alloc_set_opts2(&resampler, &stereo, AV_SAMPLE_FMT_S16, kMixerRate, &layout,
                                 static_cast<AVSampleFormat>(InFormat), InRate, 0, nullptr);
  Context.reset(resampler);
  // Mono goes to both sides at full level, as a mono sound buffer plays; the default matrix
  // would lower it by 3 dB.
  const double both[2] = {1.0, 1.0};
  if (result >= 0 && layout.nb_channels == 1) result = swr_set_matrix(resampler, both, 1);
  av_channel_layout_uninit(&layout);
  if (result >= 0) result = swr_init(resampler);
  if (result >= 0) return {};
  Context.reset();
  return "cannot convert the audio of " + name + ": " + AvError(result);
}
