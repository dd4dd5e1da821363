#pragma once
// The one way into FFmpeg: its headers, owners of its objects, opening a file or bytes in
// memory, the process-wide settings, and the conversion of decoded sound into the mixer's
// 44 100 Hz signed 16-bit stereo. Only the sources of the sound and video decoders and the
// video encoder include this, so no other header of ours carries FFmpeg's types.
extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/channel_layout.h>
#include <libavutil/imgutils.h>
#include <libavutil/mem.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/PL_Files.h"

constexpr int kMixerRate = 44100;

std::string AvError(int code);

// FFmpeg's settings for the player, once per process.
void SetUpFFmpeg();

struct TFormatCloser {
  void operator()(AVFormatContext* format) const { avformat_close_input(&format); }
};
struct TCodecFreer {
  void operator()(AVCodecContext* codec) const { avcodec_free_context(&codec); }
};
struct TResamplerFreer {
  void operator()(SwrContext* resampler) const { swr_free(&resampler); }
};
struct TPacketFreer {
  void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};
struct TFrameFreer {
  void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
struct TIoFreer {
  void operator()(AVIOContext* io) const {
    av_freep(&io->buffer);
    avio_context_free(&io);
  }
};

using TPacketPtr = std::unique_ptr<AVPacket, TPacketFreer>;
using TFramePtr = std::unique_ptr<AVFrame, TFrameFreer>;

// A file that FFmpeg reads through our own I/O: bytes in memory, or a file inside a disc
// image or archive, which FFmpeg's own file protocol cannot open.
struct TIoFile {
  std::unique_ptr<TReadFile> File;
  uint64_t Offset = 0;

  static int Read(void* opaque, uint8_t* buffer, int size);
  static int64_t Seek(void* opaque, int64_t offset, int whence);
};

// A demuxer on a file, or on `Custom` when that is set.
struct TInputFile {
  std::unique_ptr<TIoFile> Custom;
  std::unique_ptr<AVIOContext, TIoFreer> Io;
  std::unique_ptr<AVFormatContext, TFormatCloser> Format;

  // Opens `url` (or Custom) from its start, closing what was open, and reads its streams'
  // parameters; the empty text, or why not with `name` standing for the file.
  std::string Open(const std::string& url, const std::string& name);
  void Close();
};

// Converts decoded frames of any format, rate and channels into 44 100 Hz signed 16-bit
// stereo. Mono plays on both sides at its own level; more channels are mixed down.
class TStereoResampler {
 public:
  TStereoResampler() = default;
  TStereoResampler(const TStereoResampler&) = delete;
  TStereoResampler& operator=(const TStereoResampler&) = delete;
  ~TStereoResampler() { av_channel_layout_uninit(&InLayout); }

  // Ready for `frame`, set up again when its format, rate or channels differ from the last
  // one's; the empty text, or why not (`name` standing for the file), and then not set up.
  std::string Prepare(const AVFrame* frame, const std::string& name);
  SwrContext* Get() const { return Context.get(); }
  explicit operator bool() const { return bool(Context); }
  void Reset() { Context.reset(); }

 private:
  std::unique_ptr<SwrContext, TResamplerFreer> Context;
  int InFormat = -1;
  int InRate = 0;
  AVChannelLayout InLayout{};
};
