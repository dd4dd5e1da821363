#pragma once
// Compressed audio (MP3, Ogg Vorbis, FLAC, AAC, WAV and whatever else FFmpeg reads) decoded
// into the mixer's format: 44 100 Hz signed 16-bit stereo, interleaved. Mono plays on both
// sides at its own level; more channels are mixed down. A decoder is used by one thread at a
// time; decoders share nothing.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class TAudioDecoder {
 public:
  virtual ~TAudioDecoder() = default;

  // Opens the file's best audio stream; null with FFmpeg's reason in `error` when the file
  // cannot be opened, holds no audio stream or has no decoder here.
  static std::unique_ptr<TAudioDecoder> Open(const std::string& path, std::string& error);
  // The same for a file already in memory (a resource entry, a fuzzer's input); `name` stands
  // for it in error texts and tells FFmpeg its extension.
  static std::unique_ptr<TAudioDecoder> OpenMemory(std::vector<uint8_t> bytes,
                                                   const std::string& name, std::string& error);

  // Decodes up to `frames` stereo frames into `out`; fewer only at the end of the stream,
  // 0 there. A packet the decoder refuses is skipped, as ffmpeg does; a file that cannot be
  // read on, or sound at a rate no file really has, ends the stream after what was decoded
  // (Failed true, reason in ErrorText).
  virtual uint32_t Read(int16_t* out, uint32_t frames) = 0;
  // Puts the stream at stereo frame `frame` of the output, exactly: the next Read starts
  // there, and Seek(0) gives the same samples as a fresh open. False (and the stream at its
  // end) when the file cannot seek there. Clears an earlier failure.
  virtual bool Seek(uint64_t frame) = 0;
  // The length in output frames as the file states it (an estimate for some formats: MP3's
  // counts the encoder's delay and padding, about 2 000 frames more), or -1 when it does not
  // say. Read returning 0 is the real end.
  virtual int64_t DurationFrames() const = 0;

  virtual bool Failed() const = 0;
  virtual const std::string& ErrorText() const = 0;
};
