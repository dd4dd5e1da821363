#include "player/VEKMapPictures.h"

#include <algorithm>

#include "image/SE_Picture.h"
#include "image/SE_PngWriter.h"
#include "platform/PL_Files.h"
#include "platform/PL_Process.h"

namespace {
// A section is looked at this long after it is entered: long enough for a fade to land,
// short enough that a map of many sections is quick.
constexpr uint32_t kLookMs = 1500;
// A play that takes longer than this on the wall clock (a huge video, a stuck decoder) is
// given up, and its box says so.
constexpr uint32_t kPlayLimitMs = 20000;

// The last line the play wrote, which says what went wrong, cut to fit in a box.
std::string LastLine(const std::string& logFile) {
  std::string text, error;
  if (!ReadWholeFile(logFile, text, error, 1 << 20)) return "";
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
    text.pop_back();
  text = text.substr(text.rfind('\n') == std::string::npos ? 0 : text.rfind('\n') + 1);
  constexpr size_t kLongest = 80;
  if (text.size() > kLongest) text = text.substr(0, kLongest - 3) + "...";
  return text;
}

// Averages each block of the frame that becomes one pixel of the picture, so thin lines and
// small letters stay visible as shades instead of vanishing between samples.
TBitmap24 Shrink(const TBitmap24& frame) {
  TBitmap24 small;
  small.Width = std::min(kThumbnailWidth, frame.Width);
  small.Height = std::max(1, frame.Height * small.Width / frame.Width);
  small.Rows.resize(static_cast<size_t>(small.Width) * small.Height * 3);
  for (int32_t y = 0; y < small.Height; ++y) {
    const int32_t top = y * frame.Height / small.Height;
    const int32_t bottom = std::max(top + 1, (y + 1) * frame.Height / small.Height);
    for (int32_t x = 0; x < small.Width; ++x) {
      const int32_t left = x * frame.Width / small.Width;
      const int32_t right = std::max(left + 1, (x + 1) * frame.Width / small.Width);
      uint32_t sum[3] = {0, 0, 0};
      for (int32_t v = top; v < bottom; ++v)
        for (int32_t u = left; u < right; ++u)
          for (int c = 0; c < 3; ++c) sum[c] += frame.Row(v)[u * 3 + c];
      const uint32_t count = static_cast<uint32_t>((bottom - top) * (right - left));
      for (int c = 0; c < 3; ++c)
        small.Rows[(static_cast<size_t>(y) * small.Width + x) * 3 + c] =
            static_cast<uint8_t>(sum[c] / count);
    }
  }
  return small;
}
}  // namespace

std::string DrawSectionPicture(const std::string& program, const std::string& script,
                               const std::string& section, const std::vector<std::string>& options,
                               const std::string& picture) {
  const std::string frameFile = picture + ".frame.png", logFile = picture + ".log";
  std::vector<std::string> words{program, script};
  words.insert(words.end(), options.begin(), options.end());
  if (!section.empty()) words.insert(words.end(), {"--section", section});
  words.insert(words.end(), {"--ms", std::to_string(kLookMs), "--out", frameFile});
  const TProgramRun run = RunProgram(words, logFile, kPlayLimitMs);
  if (!run.Started) return "cannot play: " + run.Error;
  if (run.TimedOut) return "took longer than " + std::to_string(kPlayLimitMs / 1000) + " s to play";
  if (run.ExitCode != 0) {
    const std::string said = LastLine(logFile);
    if (!said.empty()) return said;
    return run.ExitCode < 0 ? "the play crashed"
                            : "play ended with exit code " + std::to_string(run.ExitCode);
  }
  std::vector<uint8_t> bytes;
  std::string error;
  if (!ReadWholeFile(frameFile, bytes, error)) return "no frame was played";
  TBitmap24 frame;
  try {
    DecodePng(bytes.data(), bytes.size(), frame);
  } catch (const TPictureError& failure) {
    return failure.what();
  }
  const TBitmap24 small = Shrink(frame);
  if (!WritePngBgr(picture, small.Width, small.Height, small.Rows.data(), error)) return error;
  return "";
}
