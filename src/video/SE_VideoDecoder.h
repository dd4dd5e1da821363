#pragma once
// Video clips (AVI, MPEG, QuickTime, Matroska, MP4, ... with Cinepak, Microsoft Video 1, Motion
// JPEG, MPEG-1, MPEG-4 Part 2, Indeo, H.264, VP8/9 and whatever else FFmpeg decodes) decoded
// into 16-bit frames of the display's layout, with their sound as 44 100 Hz signed 16-bit
// stereo. Times are in units of 100 nanoseconds from the clip's start.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

enum class TVideoFrameResult {
  Same,  // the frame due is the one given last time: nothing was written
  New,   // a newer frame is due and was written
  End,   // no frame is due any more: the clip has ended (or cannot be read on)
};

class TVideoDecoder {
 public:
  virtual ~TVideoDecoder() = default;

  // Opens the file's best video stream, and its best audio stream when `withAudio`; null with
  // FFmpeg's reason in `error` when there is no file, no video stream or no decoder for it.
  static std::unique_ptr<TVideoDecoder> Open(const std::string& path, bool withAudio,
                                             std::string& error);
  // The same for a clip already in memory (a resource entry, a fuzzer's input); `name` stands
  // for it in error texts and tells FFmpeg its extension.
  static std::unique_ptr<TVideoDecoder> OpenMemory(std::vector<uint8_t> bytes,
                                                   const std::string& name, bool withAudio,
                                                   std::string& error);

  // The size FrameAt writes frames at: the size the file states, until AdoptFrameSize.
  virtual int32_t Width() const = 0;
  virtual int32_t Height() const = 0;
  // Decodes the first frame, unless it is decoded already, and from then on writes every
  // frame at its size, whatever the file states: a header may claim any size, and memory for
  // frames is taken by what they really are. False when the clip has no frame to decode.
  virtual bool AdoptFrameSize() = 0;
  // The clip's length as the file states it, or -1.
  virtual int64_t Duration() const = 0;

  // Writes into `pixels` (Width × Height, `pitch` bytes a row, 5-6-5 or with `rgb555` 5-5-5)
  // the latest frame whose time is at or before `time`, decoding on as far as needed; frames
  // passed over are decoded but not converted. Asked for an earlier time than before, it
  // keeps the frame it has (Same); after Rewind it starts again from the first frame.
  virtual TVideoFrameResult FrameAt(int64_t time, uint8_t* pixels, int32_t pitch,
                                    bool rgb555) = 0;

  virtual bool HasAudio() const = 0;
  // The clip's sound from where it was read last: up to `frames` stereo frames, fewer only at
  // its end. Audio and video are read from the one file independently.
  virtual uint32_t ReadAudio(int16_t* out, uint32_t frames) = 0;

  // Back to the start, for video and sound alike; false when the file cannot be read again.
  virtual bool Rewind() = 0;

  // True once the file could not be read or decoded on; ErrorText says why.
  virtual bool Failed() const = 0;
  virtual const std::string& ErrorText() const = 0;
};
