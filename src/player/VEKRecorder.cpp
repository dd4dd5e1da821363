#include "player/VEKRecorder.h"

#include <unistd.h>

#include <cstdio>

#include "platform/PL_PartialFile.h"
#include "platform/PL_Surface.h"
#include "video/SE_VideoEncoder.h"

TVEKRecorder::TVEKRecorder(std::string path, uint32_t stepMs, bool progress)
    : Path(std::move(path)),
      Partial(PartialNameFor(Path)),
      StepMs(stepMs),
      Progress(progress && isatty(STDERR_FILENO)) {}

TVEKRecorder::~TVEKRecorder() = default;

void TVEKRecorder::Failed(const std::string& error) {
  if (!Error.empty()) return;
  // The encoder knows the file by its partial name; the user knows it by the final one.
  Error = error;
  for (size_t at = Error.find(Partial); at != std::string::npos; at = Error.find(Partial, at))
    Error.replace(at, Partial.size(), Path);
  Encoder.reset();
  DiscardPartial(Partial);
  if (ShownTenths != UINT32_MAX && Progress) std::fputc('\n', stderr);
  std::fprintf(stderr, "veke-render: %s\n", Error.c_str());
}

void TVEKRecorder::Frame(TPlatformSurface& frame, uint32_t playedMs) {
  if (!Error.empty()) return;
  if (!Encoder) {
    if (BytesPerPixelOf(frame.Format()) != 2) return Failed(Path + ": only 16-bit frames record");
    TVideoEncoderSettings settings;
    settings.Width = frame.Width();
    settings.Height = frame.Height();
    settings.StepMs = StepMs;
    settings.Rgb555 = frame.Format().GMask == 0x03E0;
    std::string error;
    Encoder = TVideoEncoder::Open(Partial, settings, error);
    if (!Encoder) return Failed(error);
    Audio(EarlySound.data(), static_cast<uint32_t>(EarlySound.size() / 2));
    EarlySound.clear();
  }
  // A constant frame rate: every step of the clock up to this one has its frame.
  const int64_t index = playedMs / StepMs;
  do {
    if (!Encoder->AddFrame(frame.Pixels(), frame.Pitch())) return Failed(Encoder->ErrorText());
  } while (Encoder->FramesWritten() <= index);
  ShowProgress(playedMs, false);
}

void TVEKRecorder::Audio(const int16_t* samples, uint32_t frames) {
  if (!Error.empty()) return;
  if (!Encoder) {
    EarlySound.insert(EarlySound.end(), samples, samples + size_t{frames} * 2);
    return;
  }
  if (!Encoder->AddAudio(samples, frames)) Failed(Encoder->ErrorText());
}

void TVEKRecorder::ShowProgress(uint32_t playedMs, bool last) {
  if (!Progress) return;
  const uint32_t tenths = playedMs / 100;
  if (tenths != ShownTenths || last) {
    std::fprintf(stderr, "\rveke-render: recording %s %u.%u s%s", Path.c_str(), tenths / 10,
                 tenths % 10, last ? "\n" : "");
    std::fflush(stderr);
  }
  ShownTenths = tenths;
}

bool TVEKRecorder::Finish() {
  if (!Error.empty()) return false;
  if (!Encoder) {
    Failed(Path + ": no frame was played to record");
    return false;
  }
  const bool written = Encoder->Finish();
  ShowProgress(static_cast<uint32_t>(Encoder->FramesWritten() * StepMs), true);
  if (!written) {
    Failed(Encoder->ErrorText());
    return false;
  }
  Encoder.reset();
  std::string error;
  if (!CommitPartial(Partial, Path, error)) Failed(error);
  return Error.empty();
}
