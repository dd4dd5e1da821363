// Compressed audio through FFmpeg: the demuxer and decoder FFmpeg picks for the file, then
// libswresample into the mixer's 44 100 Hz signed 16-bit stereo. Lengths and samples follow
// what `ffmpeg -i FILE -f s16le -ar 44100 -ac 2 -` gives, since both run the same decoder
// (which drops the encoder delay and padding itself) and the same resampler.
#include "audio/SE_AudioDecoder.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <numeric>

#include "audio/SE_FFmpeg.h"

namespace {

constexpr int kOutRate = kMixerRate;
// Enough room for what a resampler holds back until its flush.
constexpr int kMinRoom = 1024;
// Decoded and thrown away before a seek target, so the decoder's and the resampler's memory
// of earlier samples is rebuilt before the first sample anyone hears: an MP3 frame may take
// its bits from up to ten frames before it at low rates.
constexpr int kPrerollMs = 500;
// Seeking further is asking for a position no file has (days of sound).
constexpr uint64_t kFarthestFrame = uint64_t{1} << 40;

class TFFmpegAudioDecoder final : public TAudioDecoder {
 public:
  explicit TFFmpegAudioDecoder(std::string name) : Name(std::move(name)) {}

  // The empty text when the file is open and its first frame decoded (if it has one).
  std::string OpenFile(const std::string& path);
  std::string OpenMemory(std::vector<uint8_t> bytes);
  std::string OpenInput();

  uint32_t Read(int16_t* out, uint32_t frames) override;
  bool Seek(uint64_t frame) override;
  int64_t DurationFrames() const override;
  bool Failed() const override { return !Error.empty(); }
  const std::string& ErrorText() const override { return Error; }

 private:
  // Reading: packets go to the decoder. Draining: the file has ended and the decoder gives
  // what it still holds. Flushing: the resampler gives its tail.
  enum class TStage { Reading, Draining, Flushing, Ended };

  std::string OpenDecoder();
  void Fail(const std::string& text);

  bool Refill(int16_t* block = nullptr, uint32_t space = 0);
  bool NextFrame();
  void SendPacket();
  uint32_t Convert(const AVFrame* frame, int16_t* block, uint32_t space);
  const uint8_t** DropInput(const AVFrame* frame, int& count);

  bool SeekNear(uint64_t frame, uint64_t& start);
  bool Restart();
  int64_t InputSampleOf(const AVFrame* frame) const;

  std::string Name;
  std::string Url;
  std::string Error;
  // Declared in this order so that each is freed before what it reads from.
  TInputFile Input;
  std::unique_ptr<AVCodecContext, TCodecFreer> Codec;
  TStereoResampler Resampler;
  std::unique_ptr<AVPacket, TPacketFreer> Packet;
  std::unique_ptr<AVFrame, TFrameFreer> Frame;
  AVStream* Stream = nullptr;
  TStage Stage = TStage::Reading;
  bool FrameReady = false;  // Frame holds a decoded frame not yet converted

  // Where output frame 0 is: the first frame's timestamp (past the encoder delay the
  // decoder drops) and its rate, after opening.
  int64_t Origin = AV_NOPTS_VALUE;
  int OriginRate = 0;
  bool AtStart = false;  // nothing read or sought since the file was opened

  // Converted frames not yet read, [PendingStart, PendingEnd), kept between reads. It only
  // grows, so steady decoding reuses it.
  std::vector<int16_t> Pending;
  uint32_t PendingStart = 0, PendingEnd = 0;
  uint32_t PendingDirect = 0;  // frames the last refill wrote straight into the caller's block
  std::vector<const uint8_t*> Planes;  // input planes past the samples a seek drops
  int64_t InputDrop = 0;               // decoded samples a seek drops before the resampler
  uint64_t DiscardFrames = 0;          // output frames a seek drops after it
};

std::string TFFmpegAudioDecoder::OpenFile(const std::string& path) {
  // "file:" keeps a colon in the name from choosing one of FFmpeg's network protocols.
  Url = "file:" + path;
  return OpenInput();
}

std::string TFFmpegAudioDecoder::OpenMemory(std::vector<uint8_t> bytes) {
  Input.Custom = std::make_unique<TIoFile>();
  Input.Custom->File = ReadFileOfBytes(std::move(bytes));
  Url = Name;
  return OpenInput();
}

// Opens Url, or the file in memory, from its start; also to begin again where seeking cannot.
std::string TFFmpegAudioDecoder::OpenInput() {
  Resampler.Reset();
  Codec.reset();
  Stream = nullptr;
  Input.Close();
  // Ended until the decoder is open, so a failed reopen leaves nothing to read from.
  Stage = TStage::Ended;
  PendingStart = PendingEnd = 0;
  Origin = AV_NOPTS_VALUE;
  if (std::string failure = Input.Open(Url, Name); !failure.empty()) return failure;
  AVFormatContext* format = Input.Format.get();
  const int index = av_find_best_stream(format, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
  if (index < 0) return Name + " holds no audio stream";
  Stream = format->streams[index];
  // Packets of the other streams are then skipped by the demuxer where it can.
  for (unsigned i = 0; i < format->nb_streams; ++i)
    if (static_cast<int>(i) != index) format->streams[i]->discard = AVDISCARD_ALL;
  Packet.reset(av_packet_alloc());
  Frame.reset(av_frame_alloc());
  if (!Packet || !Frame) return "cannot decode " + Name + ": " + AvError(AVERROR(ENOMEM));
  if (std::string failure = OpenDecoder(); !failure.empty()) return failure;
  // The first frame fixes where output frame 0 is, which seeking counts from.
  if (NextFrame()) {
    FrameReady = true;
    Origin = Frame->best_effort_timestamp;
    OriginRate = Frame->sample_rate;
  }
  AtStart = true;
  return {};
}

// A new decoder, also after each seek: flushing one does not clear all it remembers (AAC's
// noise generator runs on), and output frame 0 must sound the same on every loop.
std::string TFFmpegAudioDecoder::OpenDecoder() {
  Resampler.Reset();
  Stage = TStage::Ended;
  FrameReady = false;
  PendingStart = PendingEnd = 0;
  InputDrop = 0;
  DiscardFrames = 0;
  const AVCodecID id = Stream->codecpar->codec_id;
  const AVCodec* decoder = avcodec_find_decoder(id);
  if (!decoder && id == AV_CODEC_ID_NONE) {
    // FFmpeg names such sound "none": what is wrong is the file's format tag (a wave file's
    // format code), which names no sound format anyone decodes.
    char tag[16] = "";
    if (const uint32_t code = Stream->codecpar->codec_tag)
      std::snprintf(tag, sizeof tag, " 0x%04X", code);
    return Name + ": its audio format tag" + tag + " names no known sound format";
  }
  if (!decoder) return Name + ": no decoder here for its " + avcodec_get_name(id) + " audio";
  Codec.reset(avcodec_alloc_context3(decoder));
  if (!Codec) return "cannot decode " + Name + ": " + AvError(AVERROR(ENOMEM));
  int result = avcodec_parameters_to_context(Codec.get(), Stream->codecpar);
  // The decoder needs the stream's time base to move timestamps past the samples it drops.
  Codec->pkt_timebase = Stream->time_base;
  if (result >= 0) result = avcodec_open2(Codec.get(), decoder, nullptr);
  if (result < 0) {
    Codec.reset();
    return "cannot decode " + Name + ": " + AvError(result);
  }
  Stage = TStage::Reading;
  return {};
}

void TFFmpegAudioDecoder::Fail(const std::string& text) {
  if (Error.empty()) Error = text;
}

uint32_t TFFmpegAudioDecoder::Read(int16_t* out, uint32_t frames) {
  uint32_t done = 0;
  while (done < frames) {
    if (PendingStart == PendingEnd) {
      if (!Refill(out + size_t{done} * 2, frames - done)) break;
      // What went straight into `out` is counted in Pending's place.
      if (PendingStart == PendingEnd) {
        done += PendingDirect;
        continue;
      }
    }
    const uint32_t count = std::min(frames - done, PendingEnd - PendingStart);
    std::memcpy(out + size_t{done} * 2, Pending.data() + size_t{PendingStart} * 2,
                size_t{count} * 2 * sizeof(int16_t));
    done += count;
    PendingStart += count;
  }
  return done;
}

// Converts the next frames into Pending until some are left after what a seek discards;
// false at the end of the stream. Frames that fit in `block` (`space` frames) go straight
// there instead, counted in PendingDirect, and Pending stays empty.
bool TFFmpegAudioDecoder::Refill(int16_t* block, uint32_t space) {
  AtStart = false;
  PendingStart = PendingEnd = PendingDirect = 0;
  while (Stage != TStage::Ended) {
    uint32_t made = 0;
    if (Stage == TStage::Flushing) {
      made = Convert(nullptr, block, space);
      if (made == 0) Stage = TStage::Ended;
    } else if (FrameReady || NextFrame()) {
      FrameReady = false;
      made = Convert(Frame.get(), block, space);
    } else {
      Stage = Resampler ? TStage::Flushing : TStage::Ended;
    }
    if (PendingDirect > 0) return true;
    const auto dropped = static_cast<uint32_t>(std::min<uint64_t>(DiscardFrames, made));
    DiscardFrames -= dropped;
    PendingStart = dropped;
    PendingEnd = made;
    if (PendingStart < PendingEnd) return true;
  }
  return false;
}

bool TFFmpegAudioDecoder::NextFrame() {
  for (;;) {
    const int received = avcodec_receive_frame(Codec.get(), Frame.get());
    if (received == 0) return true;
    if (received == AVERROR_EOF || Stage != TStage::Reading) return false;
    // The decoder wants more, or refused a damaged packet: ffmpeg goes on with the next
    // packet too. Each pass reads one, so this ends with the file.
    SendPacket();
  }
}

void TFFmpegAudioDecoder::SendPacket() {
  for (;;) {
    const int read = av_read_frame(Input.Format.get(), Packet.get());
    if (read < 0) {
      if (read != AVERROR_EOF) Fail("cannot read " + Name + ": " + AvError(read));
      Stage = TStage::Draining;
      avcodec_send_packet(Codec.get(), nullptr);
      return;
    }
    const bool ours = Packet->stream_index == Stream->index;
    if (ours) avcodec_send_packet(Codec.get(), Packet.get());
    av_packet_unref(Packet.get());
    if (ours) return;
  }
}

// Converts a decoded frame, or the resampler's tail when `frame` is null, into Pending, or
// into `block` when all it may make fits in its `space` frames and none is to be dropped
// (saving a copy of every sample; then PendingDirect holds the count); returns the frames made.
uint32_t TFFmpegAudioDecoder::Convert(const AVFrame* frame, int16_t* block, uint32_t space) {
  if (frame) {
    const std::string failure = Resampler.Prepare(frame, Name);
    Fail(failure);
  }
  if (!Resampler) {
    Stage = TStage::Ended;
    return 0;
  }
  int count = frame ? frame->nb_samples : 0;
  const uint8_t** in = frame ? DropInput(frame, count) : nullptr;
  if (frame && count == 0) return 0;
  const int room = std::max(swr_get_out_samples(Resampler.Get(), count), kMinRoom);
  const bool direct = block != nullptr && DiscardFrames == 0 && space >= uint32_t(room);
  if (!direct && Pending.size() < size_t(room) * 2) Pending.resize(size_t(room) * 2);
  auto* out = reinterpret_cast<uint8_t*>(direct ? block : Pending.data());
  const int made = swr_convert(Resampler.Get(), &out, room, in, count);
  if (made < 0) {
    Fail("cannot convert the audio of " + Name + ": " + AvError(made));
    Stage = TStage::Ended;
    return 0;
  }
  if (direct) PendingDirect = static_cast<uint32_t>(made);
  return static_cast<uint32_t>(made);
}

// The frame's input planes past the samples a seek still drops; `count` becomes what is left.
const uint8_t** TFFmpegAudioDecoder::DropInput(const AVFrame* frame, int& count) {
  auto** in = const_cast<const uint8_t**>(frame->extended_data);
  if (InputDrop == 0) return in;
  const int dropped = static_cast<int>(std::min<int64_t>(InputDrop, count));
  InputDrop -= dropped;
  count -= dropped;
  const auto format = static_cast<AVSampleFormat>(frame->format);
  const int channels = frame->ch_layout.nb_channels;
  const bool planar = av_sample_fmt_is_planar(format);
  const size_t skip = size_t(dropped) * av_get_bytes_per_sample(format) * (planar ? 1 : channels);
  Planes.assign(in, in + (planar ? channels : 1));
  for (const uint8_t*& plane : Planes) plane += skip;
  return Planes.data();
}

bool TFFmpegAudioDecoder::Seek(uint64_t frame) {
  Error.clear();
  uint64_t start = 0;
  // A demuxer that has met the end of the file keeps state from there (Ogg's timestamps on a
  // lone page come out shifted after it), so an ended stream starts from a fresh open.
  bool placed = frame < kFarthestFrame && (Stage == TStage::Reading || Restart());
  if (placed && !SeekNear(frame, start)) placed = Restart();
  if (!placed) {
    Stage = TStage::Ended;
    PendingStart = PendingEnd = 0;
    return false;
  }
  DiscardFrames = frame - start;
  Refill();
  return DiscardFrames == 0;
}

// Seeks the file to a little before `frame`, at an input sample that maps onto a whole output
// frame, has the samples before it dropped and puts that output frame in `start`. False when
// the beginning is as near, or the file landed after it or without timestamps to tell.
bool TFFmpegAudioDecoder::SeekNear(uint64_t frame, uint64_t& start) {
  // Timestamps tell the sample only in a time base that counts whole samples: in MPEG's
  // 1/90 000 s or Matroska's milliseconds, rounded frame lengths drift apart from the sound.
  const AVRational base = Stream->time_base;
  if (Origin == AV_NOPTS_VALUE || OriginRate <= 0 || base.num <= 0 ||
      base.den % (int64_t{OriginRate} * base.num) != 0)
    return false;
  // Input samples in steps of `inStep` are output frames in steps of `outStep`, exactly.
  const int common = std::gcd(OriginRate, kOutRate);
  const int64_t inStep = OriginRate / common, outStep = kOutRate / common;
  const int64_t target = av_rescale(static_cast<int64_t>(frame), OriginRate, kOutRate);
  const int64_t inStart = (target - int64_t{OriginRate} * kPrerollMs / 1000) / inStep * inStep;
  if (inStart <= 0) return false;
  const int64_t at = Origin + av_rescale_q(inStart, AVRational{1, OriginRate}, base);
  AtStart = false;
  if (av_seek_frame(Input.Format.get(), Stream->index, at, AVSEEK_FLAG_BACKWARD) < 0) return false;
  if (const std::string failure = OpenDecoder(); !failure.empty()) {
    Fail(failure);
    return false;
  }
  if (!NextFrame()) return false;
  const int64_t landed = InputSampleOf(Frame.get());
  if (landed == AV_NOPTS_VALUE || landed > inStart) return false;
  FrameReady = true;
  InputDrop = inStart - landed;
  start = static_cast<uint64_t>(inStart / inStep * outStep);
  return true;
}

// Back to output frame 0 as a fresh open has it, by opening the file again: after a seek to
// the beginning, demuxers do not all drop the encoder delay again or give the same timestamps.
bool TFFmpegAudioDecoder::Restart() {
  if (AtStart) return true;
  const std::string failure = OpenInput();
  Fail(failure);
  return failure.empty();
}

// The frame's first sample counted in input samples from output frame 0, or AV_NOPTS_VALUE.
int64_t TFFmpegAudioDecoder::InputSampleOf(const AVFrame* frame) const {
  const int64_t at = frame->best_effort_timestamp;
  if (at == AV_NOPTS_VALUE || frame->sample_rate != OriginRate) return AV_NOPTS_VALUE;
  return av_rescale_q(at - Origin, Stream->time_base, AVRational{1, OriginRate});
}

int64_t TFFmpegAudioDecoder::DurationFrames() const {
  const AVRational out{1, kOutRate};
  if (!Stream) return -1;
  if (Stream->duration > 0) return av_rescale_q(Stream->duration, Stream->time_base, out);
  if (Input.Format->duration > 0) return av_rescale_q(Input.Format->duration, AV_TIME_BASE_Q, out);
  return -1;
}

std::unique_ptr<TAudioDecoder> Opened(std::unique_ptr<TFFmpegAudioDecoder> decoder,
                                      const std::string& failure, std::string& error) {
  error = failure;
  if (!failure.empty()) return nullptr;
  return decoder;
}

}  // namespace

std::unique_ptr<TAudioDecoder> TAudioDecoder::Open(const std::string& path, std::string& error) {
  SetUpFFmpeg();
  auto decoder = std::make_unique<TFFmpegAudioDecoder>(path);
  const std::string failure = decoder->OpenFile(path);
  return Opened(std::move(decoder), failure, error);
}

std::unique_ptr<TAudioDecoder> TAudioDecoder::OpenMemory(std::vector<uint8_t> bytes,
                                                         const std::string& name,
                                                         std::string& error) {
  SetUpFFmpeg();
  auto decoder = std::make_unique<TFFmpegAudioDecoder>(name);
  const std::string failure = decoder->OpenMemory(std::move(bytes));
  return Opened(std::move(decoder), failure, error);
}
