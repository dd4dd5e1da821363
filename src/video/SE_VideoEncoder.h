#pragma once
// Records 16-bit frames and the mixer's sound into a video file (MP4, WebM, Matroska, or what
// else FFmpeg writes by the file's extension), at a constant rate of one frame per step.
#include <cstdint>
#include <memory>
#include <string>

struct TVideoEncoderSettings {
  int32_t Width = 640;
  int32_t Height = 480;
  uint32_t StepMs = 20;  // the frame rate is 1000 / StepMs, kept as that exact fraction
  bool Rgb555 = false;   // the frames' 16-bit layout: 5-5-5 instead of 5-6-5
  bool WithAudio = true;
};

class TVideoEncoder {
 public:
  // Opens `path` and picks the codecs its container takes: H.264, VP9 or VP8, else MPEG-4
  // Visual for the picture; AAC, Opus or Vorbis, else MP3 for the sound; whichever this FFmpeg
  // has. Null with the reason in `error` when the file or an encoder cannot be opened.
  static std::unique_ptr<TVideoEncoder> Open(const std::string& path,
                                             const TVideoEncoderSettings& settings,
                                             std::string& error);
  virtual ~TVideoEncoder() = default;

  // One frame of Width x Height pixels, `pitch` bytes a row, lasting one step.
  virtual bool AddFrame(const uint8_t* pixels, int32_t pitch) = 0;
  // Sound at 44 100 Hz, signed 16-bit stereo, interleaved, following what came before.
  virtual bool AddAudio(const int16_t* samples, uint32_t frames) = 0;
  // Ends both streams, the sound cut or padded with silence to the length of the picture,
  // and closes the file. Nothing may be added afterwards.
  virtual bool Finish() = 0;

  virtual int64_t FramesWritten() const = 0;
  // The encoders chosen, by FFmpeg's names ("libx264", "aac").
  virtual std::string VideoCodecName() const = 0;
  virtual std::string AudioCodecName() const = 0;
  virtual const std::string& ErrorText() const = 0;
};
