#include "BenchFFmpegPeer.h"

#include <memory>

bool DecodeLikeFfmpeg(const std::string& path, AVMediaType type,
                      const std::function<void(const AVFrame*)>& convert) {
  AVFormatContext* opened = nullptr;
  if (avformat_open_input(&opened, path.c_str(), nullptr, nullptr) < 0) return false;
  const std::unique_ptr<AVFormatContext, TFormatCloser> format(opened);
  if (avformat_find_stream_info(opened, nullptr) < 0) return false;
  const AVCodec* codec = nullptr;
  const int index = av_find_best_stream(opened, type, -1, -1, &codec, 0);
  if (index < 0) return false;
  const std::unique_ptr<AVCodecContext, TCodecFreer> decoder(avcodec_alloc_context3(codec));
  const TPacketPtr packet(av_packet_alloc());
  const TFramePtr frame(av_frame_alloc());
  if (!decoder || !packet || !frame ||
      avcodec_parameters_to_context(decoder.get(), opened->streams[index]->codecpar) < 0)
    return false;
  decoder->pkt_timebase = opened->streams[index]->time_base;
  decoder->thread_count = 0;  // the ffmpeg command's default: as many as there are cores
  if (avcodec_open2(decoder.get(), codec, nullptr) < 0) return false;
  for (bool more = true; more;) {
    more = av_read_frame(opened, packet.get()) >= 0;
    if (more && packet->stream_index != index) {
      av_packet_unref(packet.get());
      continue;
    }
    avcodec_send_packet(decoder.get(), more ? packet.get() : nullptr);
    av_packet_unref(packet.get());
    while (avcodec_receive_frame(decoder.get(), frame.get()) == 0) {
      convert(frame.get());
      av_frame_unref(frame.get());
    }
  }
  convert(nullptr);
  return true;
}
