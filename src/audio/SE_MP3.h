#pragma once
// Compressed sound (MP3, Ogg Vorbis, FLAC, AAC, ... whatever FFmpeg decodes) played through
// one ring buffer of the sound device that the engine's thread keeps filled, decoding a little
// ahead at a time. Positions are in units of 100 nanoseconds, as media positions were.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "audio/SE_Sound.h"

class TAudioDecoder;
class THostTimer;
class TGEMP3;

// Keeps a playing sound's ring filled and notices its end, on the engine's thread: the end is
// decided once, there, for the loop's restart and for the script's waits alike.
class TMP3Notify {
 public:
  explicit TMP3Notify(TGEMP3& mp3);
  ~TMP3Notify();
  TMP3Notify(const TMP3Notify&) = delete;
  TMP3Notify& operator=(const TMP3Notify&) = delete;

 private:
  std::unique_ptr<THostTimer> Timer;
};

class TGEMP3 {
 public:
  // Opens the file (a missing one leaves a silent player); a file that cannot be decoded is
  // reported (log, message box "GE DShow") and thrown.
  TGEMP3(TDirectSound& sound, const std::string& fileName, bool looped);
  ~TGEMP3();
  TGEMP3(const TGEMP3&) = delete;
  TGEMP3& operator=(const TGEMP3&) = delete;

  void Play();
  // Stops and rewinds to the start.
  void Stop();
  bool IsPlaying();
  int64_t GetPosition();
  // Clamped to 0 .. the end.
  void Seek(int64_t position);
  // The length as far as it is known: the file's own statement until the end has been decoded.
  int64_t GetStopPosition();
  // One refill step; TMP3Notify runs it.
  void Update();

  bool Ready = false;
  bool Loaded = false;
  int64_t StopPos = -1;
  int32_t Balance = 0;
  std::string FileName;
  bool Playing = false;
  bool Looped = false;
  int32_t Volume = 0;
  std::unique_ptr<TMP3Notify> Notify;
  bool Ok = true;
  std::string ErrorText;

 private:
  void Load();
  // A decoder at the file's start; false (logged) when the file no longer decodes.
  bool OpenDecoder();
  [[noreturn]] void MP3Error(const std::string& message);
  // Frames heard since the ring started at StartFrame.
  uint64_t PlayedFrames();
  // Decodes `frames` frames (looping at the end when Looped) into the ring at WritePos.
  void Fill(uint32_t frames);
  void Restart();

  std::unique_ptr<TAudioDecoder> Decoder;  // while playing only
  int64_t StatedFrames = -1;               // the length the file states, or -1
  TDirectSoundBuffer Buffer;
  uint32_t WritePos = 0;          // bytes into the ring
  uint64_t DecodePos = 0;         // the next frame the decoder gives
  uint64_t StartFrame = 0;        // the frame heard first after the last start or seek
  uint64_t PlayedAtStart = 0;     // the ring's played-byte count then
  int64_t TotalFrames = -1;       // exact, once the decoder has reached the end
  std::vector<int16_t> Scratch;   // decoded frames on their way into the ring
};
