// Video clips through FFmpeg. One demuxer reads the file and parks each packet in the queue of
// its stream, so the picture (asked for once per engine frame) and the sound (asked for by the
// mixer, a little ahead) each read on at their own pace. Pictures are converted as the ffmpeg
// command converts them, so a frame here is the frame `ffmpeg -pix_fmt rgb565le` gives.
#include "video/SE_VideoDecoder.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <deque>

#include "audio/SE_FFmpeg.h"
#include "base/SE_MemoryBudget.h"
#include "image/SE_Picture.h"

namespace {

constexpr AVRational kTimeUnit{1, 10'000'000};
constexpr AVRational kSampleUnit{1, kMixerRate};
// What one stream's packets may hold while the other stream is read ahead: seconds of any
// clip of its kind, and a bound for a file that carries a long stretch of one stream only.
// Each packet counts its bookkeeping too, so a flood of empty packets is bounded as well.
// The picture never waits for the sound: sound over the bound is dropped, oldest first. The
// sound waits for the picture: while the picture's packets fill their bound, it gives silence.
constexpr size_t kQueueBytes = size_t{4} << 20;
constexpr size_t kPacketBookkeeping = sizeof(AVPacket) + 64;
// A frame this long after the one before it has a damaged timestamp: taken at face value, the
// clip would stand still for hours instead of ending.
constexpr int64_t kLongestStill = int64_t{60} * 10'000'000;
// Sound that starts further from the picture than this has a damaged start time.
constexpr int64_t kLongestLead = int64_t{10} * kMixerRate;
// Timestamps beyond this are damaged; it keeps their arithmetic from overflowing.
constexpr int64_t kFarthestTimestamp = int64_t{1} << 60;
// Refusals in a row after which a decoder is taken to be stuck rather than skipping damage.
constexpr int kMostRefusals = 1000;
// Pictures up to this size are decoded on one thread (see OpenDecoders).
constexpr int64_t kOneThreadPixels = int64_t{1280} * 720;
// Bytes of a row that libswscale's widest blocks of pixels fill.
constexpr int32_t kRowBlock = 64;
// Enough room for what a resampler holds back until its flush.
constexpr int kMinRoom = 1024;

// Output frames from the picture's start to the sound's, rounded once: the streams may count
// time in different units.
int64_t SoundLead(const AVStream& video, const AVStream& audio) {
  constexpr AVRational kNanosecond{1, 1'000'000'000};
  if (video.start_time == AV_NOPTS_VALUE || audio.start_time == AV_NOPTS_VALUE) return 0;
  const int64_t videoStart = av_rescale_q(video.start_time, video.time_base, kNanosecond);
  const int64_t audioStart = av_rescale_q(audio.start_time, audio.time_base, kNanosecond);
  if (std::abs(videoStart) >= kFarthestTimestamp || std::abs(audioStart) >= kFarthestTimestamp)
    return 0;
  const int64_t lead = av_rescale(audioStart - videoStart, kMixerRate, kNanosecond.den);
  return std::abs(lead) <= kLongestLead ? lead : 0;
}

struct TAvFreer {
  void operator()(uint8_t* memory) const { av_free(memory); }
};
struct TScalerFreer {
  void operator()(SwsContext* scaler) const { sws_freeContext(scaler); }
};

// Packets of one stream waiting for its decoder, oldest first. Packets that were used go to a
// spare list, so steady reading allocates no packets.
class TPacketQueue {
 public:
  bool Empty() const { return Packets.empty(); }
  size_t Bytes() const { return Held; }
  AVPacket* Front() const { return Packets.front().get(); }

  // Moves `packet`'s data to the back of the queue.
  void Push(AVPacket* packet) {
    TPacketPtr entry;
    if (Spare.empty()) {
      entry.reset(av_packet_alloc());
      if (!entry) return av_packet_unref(packet);
    } else {
      entry = std::move(Spare.back());
      Spare.pop_back();
    }
    av_packet_move_ref(entry.get(), packet);
    Held += Cost(entry.get());
    Packets.push_back(std::move(entry));
  }
  void Pop() {
    Held -= Cost(Front());
    av_packet_unref(Front());
    Spare.push_back(std::move(Packets.front()));
    Packets.pop_front();
  }
  void Clear() {
    while (!Empty()) Pop();
  }

 private:
  static size_t Cost(const AVPacket* packet) {
    return static_cast<size_t>(packet->size) + kPacketBookkeeping;
  }

  std::deque<TPacketPtr> Packets;
  std::vector<TPacketPtr> Spare;
  size_t Held = 0;
};

// One stream of the file with its decoder and its waiting packets.
struct TStreamDecoder {
  AVStream* Stream = nullptr;
  std::unique_ptr<AVCodecContext, TCodecFreer> Codec;
  TPacketQueue Queue;
  bool Draining = false;  // the decoder was told the stream has ended
  int LastRefusal = 0;    // why the decoder last refused a packet or frame
};

enum class TDecoded { Frame, Waiting, Ended };

class TFFmpegVideoDecoder final : public TVideoDecoder {
 public:
  TFFmpegVideoDecoder(std::string name, bool withAudio)
      : Name(std::move(name)), WithAudio(withAudio) {}

  std::string OpenFile(const std::string& path);
  std::string OpenMemory(std::vector<uint8_t> bytes);

  int32_t Width() const override { return PictureWidth; }
  int32_t Height() const override { return PictureHeight; }
  bool AdoptFrameSize() override;
  int64_t Duration() const override;
  TVideoFrameResult FrameAt(int64_t time, uint8_t* pixels, int32_t pitch, bool rgb555) override;
  bool HasAudio() const override { return bool(Audio.Codec); }
  uint32_t ReadAudio(int16_t* out, uint32_t frames) override;
  bool Rewind() override;
  bool Failed() const override { return !Error.empty(); }
  const std::string& ErrorText() const override { return Error; }

 private:
  // Reading: the sound decoder gets packets. Flushing: it has given all it had, and the
  // resampler gives its tail.
  enum class TAudioStage { Reading, Flushing, Ended };

  std::string OpenInput();
  std::string OpenDecoders();
  std::string OpenDecoder(TStreamDecoder& decoder, int threads);
  void StartOver();
  void Fail(const std::string& text);

  bool Demux();
  TDecoded Decode(TStreamDecoder& decoder, AVFrame* frame);
  TDecoded Feed(TStreamDecoder& decoder);

  bool PullNext();
  void Promote();
  int64_t TimeOf(const AVFrame* frame, int64_t& end) const;
  std::string WriteShown(uint8_t* pixels, int32_t pitch, bool rgb555);
  std::string Convert(const AVFrame* frame, uint8_t* pixels, int32_t pitch, bool rgb555);
  SwsContext* ScalerFor(const AVFrame* frame, AVPixelFormat out);

  TDecoded RefillAudio();
  uint32_t Resample(const AVFrame* frame);

  std::string Name;
  std::string Url;
  std::string Error;
  bool WithAudio;
  // Declared in this order so that each is freed before what it reads from.
  TInputFile Input;
  TStreamDecoder Video;
  TStreamDecoder Audio;
  TPacketPtr Packet;
  bool FileEnded = false;
  int32_t PictureWidth = 0, PictureHeight = 0;
  bool OwnSize = false;                     // frames are written at the first frame's size
  int32_t FirstWidth = 0, FirstHeight = 0;  // of the first frame decoded since the start

  // The frame due last (Shown) and the one after it, read ahead to know when Shown ends.
  TFramePtr Shown, Next;
  bool HaveShown = false, HaveNext = false, ShownWritten = false;
  bool VideoEnded = false;  // no frame after Next
  bool Ended = false;       // End was given
  bool AnyFrame = false;    // a frame was decoded since the start
  int64_t ShownTime = 0, ShownEnd = 0, NextTime = 0, NextEnd = 0;

  std::unique_ptr<SwsContext, TScalerFreer> Scaler;
  // The picture for a caller whose rows do not suit libswscale; made when first needed.
  std::unique_ptr<uint8_t, TAvFreer> Staging;
  TMemoryCharge StagingCharge;
  // What Scaler was made for: input size, format, colours and range, output format.
  int ScalerKey[6] = {};

  TFramePtr AudioFrame;
  TStereoResampler Resampler;
  TAudioStage AudioStage = TAudioStage::Ended;
  // Output frames of silence still to give before the sound (positive), or of sound to drop
  // (negative), so that the sound starts with the picture.
  int64_t Lead = 0;
  // Converted frames not yet read, [PendingStart, PendingEnd); it only grows.
  std::vector<int16_t> Pending;
  uint32_t PendingStart = 0, PendingEnd = 0;
};

std::string TFFmpegVideoDecoder::OpenFile(const std::string& path) {
  // "file:" keeps a colon in the name from choosing one of FFmpeg's network protocols.
  Url = "file:" + path;
  return OpenInput();
}

std::string TFFmpegVideoDecoder::OpenMemory(std::vector<uint8_t> bytes) {
  Input.Custom = std::make_unique<TIoFile>();
  Input.Custom->File = ReadFileOfBytes(std::move(bytes));
  Url = Name;
  return OpenInput();
}

// Opens the file from its start with fresh decoders, at first and at every rewind.
std::string TFFmpegVideoDecoder::OpenInput() {
  Video = {};
  Audio = {};
  Input.Close();
  StartOver();
  if (std::string failure = Input.Open(Url, Name); !failure.empty()) return failure;
  AVFormatContext* format = Input.Format.get();
  const int video = av_find_best_stream(format, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
  if (video < 0) return Name + " holds no video stream";
  Video.Stream = format->streams[video];
  const AVCodecParameters* picture = Video.Stream->codecpar;
  if (picture->width <= 0 || picture->height <= 0 ||
      av_image_check_size(picture->width, picture->height, 0, nullptr) < 0)
    return Name + ": its video has no usable picture size";
  if (!OwnSize) {
    PictureWidth = picture->width;
    PictureHeight = picture->height;
  }
  const int audio =
      WithAudio ? av_find_best_stream(format, AVMEDIA_TYPE_AUDIO, -1, video, nullptr, 0) : -1;
  if (audio >= 0) Audio.Stream = format->streams[audio];
  // Packets of the other streams are then skipped by the demuxer where it can.
  for (unsigned i = 0; i < format->nb_streams; ++i)
    if (static_cast<int>(i) != video && static_cast<int>(i) != audio)
      format->streams[i]->discard = AVDISCARD_ALL;
  Packet.reset(av_packet_alloc());
  Shown.reset(av_frame_alloc());
  Next.reset(av_frame_alloc());
  AudioFrame.reset(av_frame_alloc());
  if (!Packet || !Shown || !Next || !AudioFrame)
    return "cannot decode " + Name + ": " + AvError(AVERROR(ENOMEM));
  return OpenDecoders();
}

// Decoders for both streams; the sound's is left out when there is none here for it.
std::string TFFmpegVideoDecoder::OpenDecoders() {
  // Frame and slice threads give the same pictures as one thread, only sooner, and at a cost:
  // handing frames between threads took a fifth more processor time for 640 x 480 MPEG-4 and
  // H.264 on two cores. A clip up to 1280 x 720 decodes many times faster than it plays on one
  // core, so it gets one; a larger one gets FFmpeg's choice for the cores there are.
  const AVCodecParameters& picture = *Video.Stream->codecpar;
  const int threads = int64_t{picture.width} * picture.height <= kOneThreadPixels ? 1 : 0;
  if (std::string failure = OpenDecoder(Video, threads); !failure.empty()) return failure;
  if (Audio.Stream && !OpenDecoder(Audio, 1).empty()) Audio.Codec.reset();  // picture only
  AudioStage = Audio.Codec ? TAudioStage::Reading : TAudioStage::Ended;
  Lead = Audio.Codec ? SoundLead(*Video.Stream, *Audio.Stream) : 0;
  return {};
}

std::string TFFmpegVideoDecoder::OpenDecoder(TStreamDecoder& decoder, int threads) {
  decoder.Codec.reset();
  decoder.Draining = false;
  decoder.LastRefusal = 0;
  const AVCodecID id = decoder.Stream->codecpar->codec_id;
  const AVCodec* codec = avcodec_find_decoder(id);
  if (!codec)
    return Name + ": no decoder here for its " + avcodec_get_name(id) + " " +
           av_get_media_type_string(decoder.Stream->codecpar->codec_type);
  decoder.Codec.reset(avcodec_alloc_context3(codec));
  if (!decoder.Codec) return "cannot decode " + Name + ": " + AvError(AVERROR(ENOMEM));
  int result = avcodec_parameters_to_context(decoder.Codec.get(), decoder.Stream->codecpar);
  decoder.Codec->pkt_timebase = decoder.Stream->time_base;
  decoder.Codec->thread_count = threads;
  if (result >= 0) result = avcodec_open2(decoder.Codec.get(), codec, nullptr);
  // Frames get the cap pictures have: FFmpeg refuses to allocate larger ones. Set after
  // opening, so that only frames are held to it, not what a header claims.
  decoder.Codec->max_pixels = static_cast<int64_t>(PicturePixelLimit());
  if (result >= 0) return {};
  decoder.Codec.reset();
  return "cannot decode " + Name + ": " + AvError(result);
}

// Forgets everything read: queues, frames, sound not yet given.
void TFFmpegVideoDecoder::StartOver() {
  Video.Queue.Clear();
  Audio.Queue.Clear();
  FileEnded = false;
  if (Shown) av_frame_unref(Shown.get());
  if (Next) av_frame_unref(Next.get());
  HaveShown = HaveNext = ShownWritten = VideoEnded = Ended = AnyFrame = false;
  ShownTime = ShownEnd = NextTime = NextEnd = 0;
  Resampler.Reset();
  AudioStage = TAudioStage::Ended;
  PendingStart = PendingEnd = 0;
}

void TFFmpegVideoDecoder::Fail(const std::string& text) {
  if (Error.empty()) Error = text;
}

int64_t TFFmpegVideoDecoder::Duration() const {
  if (Video.Stream && Video.Stream->duration > 0)
    return av_rescale_q(Video.Stream->duration, Video.Stream->time_base, kTimeUnit);
  if (Input.Format && Input.Format->duration > 0)
    return av_rescale_q(Input.Format->duration, AV_TIME_BASE_Q, kTimeUnit);
  return -1;
}

// Reads one packet into the queue of its stream; false once the file has ended.
bool TFFmpegVideoDecoder::Demux() {
  if (FileEnded) return false;
  const int read = av_read_frame(Input.Format.get(), Packet.get());
  if (read < 0) {
    if (read != AVERROR_EOF) Fail("cannot read " + Name + ": " + AvError(read));
    FileEnded = true;
    return false;
  }
  if (Packet->stream_index == Video.Stream->index) {
    Video.Queue.Push(Packet.get());
  } else if (Audio.Codec && Packet->stream_index == Audio.Stream->index) {
    Audio.Queue.Push(Packet.get());
    while (Audio.Queue.Bytes() > kQueueBytes) Audio.Queue.Pop();
  } else {
    av_packet_unref(Packet.get());
  }
  return true;
}

// The next frame of the stream into `frame`. A packet the decoder refuses is skipped, as the
// ffmpeg command does.
TDecoded TFFmpegVideoDecoder::Decode(TStreamDecoder& decoder, AVFrame* frame) {
  for (int refusals = 0; refusals < kMostRefusals;) {
    const int received = avcodec_receive_frame(decoder.Codec.get(), frame);
    if (received == 0) return TDecoded::Frame;
    if (received == AVERROR_EOF) return TDecoded::Ended;
    if (received != AVERROR(EAGAIN)) {
      decoder.LastRefusal = received;
      ++refusals;
    } else if (const TDecoded fed = Feed(decoder); fed != TDecoded::Frame) {
      return fed;
    }
  }
  return TDecoded::Ended;
}

// Gives the decoder its next packet, or tells it the stream has ended (Frame: it can decode
// on); Ended when it was told so before, Waiting when the sound must wait for the picture.
TDecoded TFFmpegVideoDecoder::Feed(TStreamDecoder& decoder) {
  if (decoder.Draining) return TDecoded::Ended;
  const bool sound = &decoder == &Audio;
  while (decoder.Queue.Empty() && !(sound && Video.Queue.Bytes() > kQueueBytes) && Demux()) {
  }
  if (decoder.Queue.Empty()) {
    if (!FileEnded) return TDecoded::Waiting;
    decoder.Draining = true;
    avcodec_send_packet(decoder.Codec.get(), nullptr);
    return TDecoded::Frame;
  }
  // The decoder asked for a packet, so it takes this one.
  const int sent = avcodec_send_packet(decoder.Codec.get(), decoder.Queue.Front());
  if (sent < 0) decoder.LastRefusal = sent;
  decoder.Queue.Pop();
  return TDecoded::Frame;
}

TVideoFrameResult TFFmpegVideoDecoder::FrameAt(int64_t time, uint8_t* pixels, int32_t pitch,
                                               bool rgb555) {
  if (Ended) return TVideoFrameResult::End;
  bool written = false;
  // The first frame shows from the start, whatever its timestamp says.
  if (!HaveShown && PullNext()) Promote();
  for (;;) {
    // A frame that stays due until after `time` is written before the next one is decoded,
    // and let go: decoders that draw each frame over the one before (Cinepak, MS Video 1)
    // would otherwise copy the whole frame they keep, since it is still held here. A frame
    // already over is left alone, as frames passed over are never converted.
    if (HaveShown && !ShownWritten && time < ShownEnd)
      written = WriteShown(pixels, pitch, rgb555).empty() || written;
    if (!PullNext() || NextTime > time) break;
    Promote();
  }
  if (!HaveShown || (!HaveNext && time >= ShownEnd)) {
    Ended = true;
    return TVideoFrameResult::End;
  }
  if (ShownWritten) return written ? TVideoFrameResult::New : TVideoFrameResult::Same;
  if (const std::string failure = WriteShown(pixels, pitch, rgb555); !failure.empty()) {
    Fail(failure);
    Ended = true;
    return TVideoFrameResult::End;
  }
  return TVideoFrameResult::New;
}

// Converts Shown, which is then no longer needed; the empty text, or why not.
std::string TFFmpegVideoDecoder::WriteShown(uint8_t* pixels, int32_t pitch, bool rgb555) {
  std::string failure = Convert(Shown.get(), pixels, pitch, rgb555);
  if (!failure.empty()) return failure;
  ShownWritten = true;
  av_frame_unref(Shown.get());
  return {};
}

// Decodes the frame after the one shown into Next, unless it is there; false at the end.
bool TFFmpegVideoDecoder::PullNext() {
  if (HaveNext) return true;
  if (VideoEnded) return false;
  while (Decode(Video, Next.get()) == TDecoded::Frame) {
    // A frame without a picture to convert is damage the decoder let through.
    if (Next->width <= 0 || Next->height <= 0 || Next->format < 0) {
      av_frame_unref(Next.get());
      continue;
    }
    if (!AnyFrame) {
      FirstWidth = Next->width;
      FirstHeight = Next->height;
    }
    AnyFrame = HaveNext = true;
    NextTime = TimeOf(Next.get(), NextEnd);
    return true;
  }
  VideoEnded = true;
  const AVCodecContext& codec = *Video.Codec;
  if (!AnyFrame && int64_t{codec.width} * codec.height > codec.max_pixels)
    Fail(TPictureTooLarge(Name, codec.width, codec.height).what());
  else if (!AnyFrame && Video.LastRefusal < 0)
    Fail("cannot decode " + Name + ": " + AvError(Video.LastRefusal));
  return false;
}

bool TFFmpegVideoDecoder::AdoptFrameSize() {
  if (!AnyFrame && !PullNext()) return false;
  if (!OwnSize || PictureWidth != FirstWidth || PictureHeight != FirstHeight) {
    // What was made for the stated size does not suit frames of another.
    Scaler.reset();
    Staging.reset();
    StagingCharge = {};
  }
  PictureWidth = FirstWidth;
  PictureHeight = FirstHeight;
  OwnSize = true;
  return true;
}

void TFFmpegVideoDecoder::Promote() {
  std::swap(Shown, Next);
  av_frame_unref(Next.get());
  HaveShown = true;
  HaveNext = ShownWritten = false;
  ShownTime = NextTime;
  ShownEnd = NextEnd;
}

// The frame's time in 100 ns units from the stream's start, and in `end` the time the next
// frame would be due. Rounded up, so frame N of a clip at R frames a second is the one due at
// time t exactly when N = floor(t × R), for every t. Times never go back, nor jump by more
// than a still could last; a frame without a timestamp follows the one before it.
int64_t TFFmpegVideoDecoder::TimeOf(const AVFrame* frame, int64_t& end) const {
  const AVStream& stream = *Video.Stream;
  const AVRational rate = stream.avg_frame_rate.num > 0 && stream.avg_frame_rate.den > 0
                              ? stream.avg_frame_rate
                              : stream.r_frame_rate;
  int64_t length = 0;  // in the stream's time base
  if (frame->pkt_duration > 0 && frame->pkt_duration < kFarthestTimestamp)
    length = frame->pkt_duration;
  else if (rate.num > 0 && rate.den > 0)
    length = av_rescale_q(1, av_inv_q(rate), stream.time_base);
  // Bounded, so that sums of them cannot overflow whatever a damaged time base says.
  const auto units = [&](int64_t ticks) {
    return std::clamp(av_rescale_q_rnd(ticks, stream.time_base, kTimeUnit, AV_ROUND_UP),
                      -kFarthestTimestamp, kFarthestTimestamp);
  };
  const int64_t before = HaveShown ? ShownTime : 0;
  const int64_t follows = HaveShown ? ShownEnd : 0;
  const int64_t start = stream.start_time == AV_NOPTS_VALUE ? 0 : stream.start_time;
  const int64_t at = frame->best_effort_timestamp;
  int64_t time = follows;
  end = follows + units(length);
  if (at != AV_NOPTS_VALUE && std::abs(at) < kFarthestTimestamp &&
      std::abs(start) < kFarthestTimestamp && units(at - start) <= before + kLongestStill) {
    time = units(at - start);
    end = units(at - start + length);
  }
  time = std::max(time, before);
  end = std::clamp(end, time, time + kLongestStill);
  return time;
}

// Converts as the ffmpeg command's scale filter does: bicubic, the frame's own colours and
// range, to the size the stream stated (a frame of another size is scaled to it).
std::string TFFmpegVideoDecoder::Convert(const AVFrame* frame, uint8_t* pixels, int32_t pitch,
                                         bool rgb555) {
  SwsContext* scaler = ScalerFor(frame, rgb555 ? AV_PIX_FMT_RGB555 : AV_PIX_FMT_RGB565);
  if (!scaler) return "cannot convert the pictures of " + Name;
  // libswscale's fast paths work in blocks of pixels: they fill whole rows of the pitch they
  // are given, past the picture's width, and leave a last part block unwritten when the pitch
  // has no room for it. Only rows exactly as wide as a whole number of blocks go straight to
  // the caller, whose pixels may lie past the picture's width; others go through a buffer with
  // room to spare.
  const int32_t row = PictureWidth * 2;
  const bool direct = pitch == row && row % kRowBlock == 0;
  const int32_t stagingPitch = FFALIGN(row, kRowBlock);
  if (!direct && !Staging) {
    const size_t bytes = size_t(stagingPitch) * PictureHeight;
    try {
      StagingCharge = TMemoryCharge(bytes, Name);
    } catch (const TMemoryBudgetError& error) {
      return error.what();
    }
    Staging.reset(static_cast<uint8_t*>(av_malloc(bytes)));
    if (!Staging) return "cannot convert the pictures of " + Name + ": " + AvError(AVERROR(ENOMEM));
  }
  uint8_t* planes[4] = {direct ? pixels : Staging.get()};
  const int pitches[4] = {direct ? pitch : stagingPitch};
  sws_scale(scaler, frame->data, frame->linesize, 0, frame->height, planes, pitches);
  for (int32_t y = 0; !direct && y < PictureHeight; ++y)
    std::memcpy(pixels + ptrdiff_t{y} * pitch, Staging.get() + size_t(y) * stagingPitch,
                size_t(row));
  return {};
}

SwsContext* TFFmpegVideoDecoder::ScalerFor(const AVFrame* frame, AVPixelFormat out) {
  const int key[6] = {frame->width,      frame->height,      frame->format,
                      frame->colorspace, frame->color_range, out};
  if (Scaler && std::equal(key, key + 6, ScalerKey)) return Scaler.get();
  std::copy(key, key + 6, ScalerKey);
  Scaler.reset(sws_getContext(frame->width, frame->height,
                              static_cast<AVPixelFormat>(frame->format), PictureWidth,
                              PictureHeight, out, SWS_BICUBIC, nullptr, nullptr, nullptr));
  if (!Scaler) return nullptr;
  int *inverse = nullptr, *table = nullptr;
  int fullIn = 0, fullOut = 0, brightness = 0, contrast = 0, saturation = 0;
  sws_getColorspaceDetails(Scaler.get(), &inverse, &fullIn, &table, &fullOut, &brightness,
                           &contrast, &saturation);
  // The scale filter's choices: the frame's matrix where it names a known one, else BT.601.
  int space = frame->colorspace;
  if (space < 1 || space > 10 || space == 8) space = AVCOL_SPC_BT470BG;
  const int* coefficients = sws_getCoefficients(space);
  if (frame->color_range != AVCOL_RANGE_UNSPECIFIED)
    fullIn = frame->color_range == AVCOL_RANGE_JPEG;
  sws_setColorspaceDetails(Scaler.get(), coefficients, fullIn, coefficients, fullOut, brightness,
                           contrast, saturation);
  return Scaler.get();
}

uint32_t TFFmpegVideoDecoder::ReadAudio(int16_t* out, uint32_t frames) {
  uint32_t done = 0;
  while (done < frames && AudioStage != TAudioStage::Ended) {
    if (Lead > 0) {
      const auto count = static_cast<uint32_t>(std::min<int64_t>(Lead, frames - done));
      std::memset(out + size_t{done} * 2, 0, size_t{count} * 2 * sizeof(int16_t));
      done += count;
      Lead -= count;
    } else if (PendingStart < PendingEnd) {
      const uint32_t count = std::min(frames - done, PendingEnd - PendingStart);
      std::memcpy(out + size_t{done} * 2, Pending.data() + size_t{PendingStart} * 2,
                  size_t{count} * 2 * sizeof(int16_t));
      done += count;
      PendingStart += count;
    } else if (const TDecoded refilled = RefillAudio(); refilled == TDecoded::Ended) {
      AudioStage = TAudioStage::Ended;
    } else if (refilled == TDecoded::Waiting) {
      std::memset(out + size_t{done} * 2, 0, size_t{frames - done} * 2 * sizeof(int16_t));
      done = frames;
    }
  }
  return done;
}

// Converts the next decoded frame, or the resampler's tail, into Pending (Frame, even when
// that made nothing); Ended at the end of the sound.
TDecoded TFFmpegVideoDecoder::RefillAudio() {
  uint32_t made = 0;
  if (AudioStage == TAudioStage::Flushing) {
    made = Resampler ? Resample(nullptr) : 0;
    if (made == 0) return TDecoded::Ended;
  } else if (const TDecoded decoded = Decode(Audio, AudioFrame.get()); decoded == TDecoded::Frame) {
    made = Resample(AudioFrame.get());
    av_frame_unref(AudioFrame.get());
  } else if (decoded == TDecoded::Ended) {
    AudioStage = TAudioStage::Flushing;
  } else {
    return TDecoded::Waiting;
  }
  // Sound from before the picture's start is dropped.
  const auto dropped = static_cast<uint32_t>(std::min<int64_t>(-std::min<int64_t>(Lead, 0), made));
  Lead += dropped;
  PendingStart = dropped;
  PendingEnd = made;
  return TDecoded::Frame;
}

// Converts a decoded frame, or the resampler's tail when `frame` is null, into Pending;
// returns the frames made. A frame that cannot be converted is skipped.
uint32_t TFFmpegVideoDecoder::Resample(const AVFrame* frame) {
  if (frame) {
    if (const std::string failure = Resampler.Prepare(frame, Name); !failure.empty()) return 0;
  }
  const int count = frame ? frame->nb_samples : 0;
  const int room = std::max(swr_get_out_samples(Resampler.Get(), count), kMinRoom);
  if (Pending.size() < size_t(room) * 2) Pending.resize(size_t(room) * 2);
  auto* out = reinterpret_cast<uint8_t*>(Pending.data());
  auto** in = frame ? const_cast<const uint8_t**>(frame->extended_data) : nullptr;
  const int made = swr_convert(Resampler.Get(), &out, room, in, count);
  return made > 0 ? static_cast<uint32_t>(made) : 0;
}

// Opens the file again: a seek to the start lands elsewhere in a damaged file, demuxers keep
// state from where they were, and opening costs about what a seek and fresh decoders do.
bool TFFmpegVideoDecoder::Rewind() {
  Error.clear();
  const std::string failure = OpenInput();
  Fail(failure);
  if (failure.empty()) return true;
  Ended = true;  // nothing to read from
  return false;
}

std::unique_ptr<TVideoDecoder> Opened(std::unique_ptr<TFFmpegVideoDecoder> decoder,
                                      const std::string& failure, std::string& error) {
  error = failure;
  if (!failure.empty()) return nullptr;
  return decoder;
}

}  // namespace

std::unique_ptr<TVideoDecoder> TVideoDecoder::Open(const std::string& path, bool withAudio,
                                                   std::string& error) {
  SetUpFFmpeg();
  auto decoder = std::make_unique<TFFmpegVideoDecoder>(path, withAudio);
  const std::string failure = decoder->OpenFile(path);
  return Opened(std::move(decoder), failure, error);
}

std::unique_ptr<TVideoDecoder> TVideoDecoder::OpenMemory(std::vector<uint8_t> bytes,
                                                         const std::string& name, bool withAudio,
                                                         std::string& error) {
  SetUpFFmpeg();
  auto decoder = std::make_unique<TFFmpegVideoDecoder>(name, withAudio);
  const std::string failure = decoder->OpenMemory(std::move(bytes));
  return Opened(std::move(decoder), failure, error);
}
