#pragma once
// `veke-render --video`: what the headless host presents, one frame per step of its virtual
// clock, and the sound of every step, recorded into a video file as it plays.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class TPlatformSurface;
class TVideoEncoder;

class TVEKRecorder {
 public:
  // `progress`: a line on stderr shows the time recorded so far.
  TVEKRecorder(std::string path, uint32_t stepMs, bool progress);
  ~TVEKRecorder();
  TVEKRecorder(const TVEKRecorder&) = delete;
  TVEKRecorder& operator=(const TVEKRecorder&) = delete;

  // The frame presented at `playedMs` of play. The file is opened with the first frame, at
  // its size; steps without a frame of their own (a skipped frame) show the next one.
  void Frame(TPlatformSurface& frame, uint32_t playedMs);
  // The sound of one step, as the host mixes it.
  void Audio(const int16_t* samples, uint32_t frames);
  // Closes the file; false with ErrorText when recording failed at any point (reported on
  // stderr once, when it happened).
  bool Finish();

  const std::string& ErrorText() const { return Error; }

 private:
  void Failed(const std::string& error);
  void ShowProgress(uint32_t playedMs, bool last);

  std::string Path;
  std::string Partial;  // the file's name until it is whole
  uint32_t StepMs;
  bool Progress;
  std::unique_ptr<TVideoEncoder> Encoder;
  std::vector<int16_t> EarlySound;  // sound of steps before the first frame opened the file
  uint32_t ShownTenths = UINT32_MAX;
  std::string Error;
};
