// Video files written by the recorder, read back with our own decoders: the frame count, the
// size, each frame's colours at its time, and the sound, as long as the picture, for every
// kind of file and its codecs; odd sizes; files that cannot be written.
#include <gtest/gtest.h>

#include <sys/resource.h>

#include <cmath>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "TestSupport.h"
#include "audio/SE_AudioDecoder.h"
#include "audio/SE_WavWriter.h"
#include "platform/PL_Surface.h"
#include "player/VEKRecorder.h"
#include "video/SE_VideoDecoder.h"
#include "video/SE_VideoEncoder.h"

namespace {

constexpr int64_t kUnitsPerMs = 10'000;  // the decoder's 100 ns units
constexpr double kPi = 3.14159265358979323846;

// Frame k is one flat colour, far from those of its neighbours whatever the codec does.
uint16_t ColourOf(int k) {
  constexpr uint16_t kColours[] = {0xF800, 0x07E0, 0x001F, 0xFFE0, 0x07FF, 0xF81F, 0x8410};
  return kColours[k % 7];
}

// A 440 Hz tone at a third of full scale, continuing across calls.
std::vector<int16_t> Tone(uint32_t frames, uint64_t& at) {
  std::vector<int16_t> samples(size_t{frames} * 2);
  for (uint32_t i = 0; i < frames; ++i, ++at)
    samples[2 * i] = samples[2 * i + 1] =
        static_cast<int16_t>(10000 * std::sin(2 * kPi * 440 * double(at) / 44100));
  return samples;
}

struct TRecorded {
  int Frames = 0;
  uint32_t StepMs = 40;
  int32_t Width = 64, Height = 48;
};

// Records `r.Frames` frames with a step's worth of tone after each, as the headless host
// hands them over; "" or why not.
std::string Record(const std::string& path, const TRecorded& r, std::string* codecs = nullptr) {
  TVideoEncoderSettings settings;
  settings.Width = r.Width;
  settings.Height = r.Height;
  settings.StepMs = r.StepMs;
  std::string error;
  auto encoder = TVideoEncoder::Open(path, settings, error);
  if (!encoder) return error;
  std::vector<uint16_t> pixels(size_t(r.Width) * r.Height);
  uint64_t at = 0, owed = 0;
  for (int k = 0; k < r.Frames; ++k) {
    std::fill(pixels.begin(), pixels.end(), ColourOf(k));
    if (!encoder->AddFrame(reinterpret_cast<uint8_t*>(pixels.data()), r.Width * 2))
      return encoder->ErrorText();
    owed += 44100ull * r.StepMs;
    const auto step = Tone(uint32_t(owed / 1000), at);
    owed %= 1000;
    if (!encoder->AddAudio(step.data(), uint32_t(step.size() / 2))) return encoder->ErrorText();
  }
  if (codecs) *codecs = encoder->VideoCodecName() + "+" + encoder->AudioCodecName();
  if (!encoder->Finish()) return encoder->ErrorText();
  EXPECT_EQ(encoder->FramesWritten(), r.Frames);
  return "";
}

// The 5-6-5 channels of two pixels differ by at most `slack` steps each.
bool Near(uint16_t a, uint16_t b, int slack) {
  return std::abs((a >> 11) - (b >> 11)) <= slack &&
         std::abs(((a >> 5) & 63) - ((b >> 5) & 63)) <= 2 * slack &&
         std::abs((a & 31) - (b & 31)) <= slack;
}

// Every frame is a new one at its own time, in its own colour, and none follows the last.
void ExpectFrames(const std::string& path, const TRecorded& r) {
  std::string error;
  auto decoder = TVideoDecoder::Open(path, false, error);
  ASSERT_TRUE(decoder) << error;
  ASSERT_EQ(decoder->Width(), (r.Width + 1) & ~1);
  ASSERT_EQ(decoder->Height(), (r.Height + 1) & ~1);
  std::vector<uint16_t> pixels(size_t(decoder->Width()) * decoder->Height());
  for (int k = 0; k < r.Frames; ++k) {
    const int64_t time = (k * int64_t{r.StepMs} + r.StepMs / 2) * kUnitsPerMs;
    ASSERT_EQ(decoder->FrameAt(time, reinterpret_cast<uint8_t*>(pixels.data()),
                               decoder->Width() * 2, false),
              TVideoFrameResult::New)
        << "frame " << k;
    // The corner of the picture as recorded, the padding beside it alike.
    for (const auto& [x, y] : {std::pair{0, 0},
                              {r.Width - 1, r.Height - 1},
                              {decoder->Width() - 1, decoder->Height() - 1}})
      EXPECT_TRUE(Near(pixels[size_t(y) * decoder->Width() + x], ColourOf(k), 2))
          << "frame " << k << " at " << x << "," << y << ": " << std::hex
          << pixels[size_t(y) * decoder->Width() + x] << " for " << ColourOf(k);
  }
  EXPECT_EQ(
      decoder->FrameAt(int64_t{r.Frames} * r.StepMs * kUnitsPerMs + 10 * kUnitsPerMs,
                       reinterpret_cast<uint8_t*>(pixels.data()), decoder->Width() * 2, false),
      TVideoFrameResult::End);
}

// The tone, as long as the picture within a few milliseconds of codec delay, at its level.
void ExpectSound(const std::string& path, const TRecorded& r) {
  std::string error;
  auto decoder = TAudioDecoder::Open(path, error);
  ASSERT_TRUE(decoder) << error;
  std::vector<int16_t> all, block(4096 * 2);
  for (uint32_t n; (n = decoder->Read(block.data(), 4096)) > 0;)
    all.insert(all.end(), block.begin(), block.begin() + n * 2);
  const double seconds = double(all.size() / 2) / 44100;
  // Decoders hand out whole codec frames, so up to one frame (1 024 samples, 23 ms) of the
  // last one's padding may follow; Matroska also has no place for AAC's encoder delay of
  // another 1 024 samples, though its timestamps keep the sound in step.
  const double slack = path.ends_with(".mkv") ? 0.05 : 0.025;
  EXPECT_NEAR(seconds, r.Frames * r.StepMs / 1000.0, slack) << path;
  double sum = 0;
  const size_t from = all.size() / 4, to = 3 * all.size() / 4;
  for (size_t i = from; i < to; ++i) sum += double(all[i]) * all[i];
  EXPECT_NEAR(std::sqrt(sum / double(to - from)), 10000 / std::sqrt(2.0), 700) << path;
}

struct TKind {
  std::string Extension;
  std::string Codecs;
};

class RecordedFile : public ::testing::TestWithParam<TKind> {};

TEST_P(RecordedFile, HoldsEveryFrameAtItsTimeAndTheSoundAsLongAsThePicture) {
  TTempFolder temp;
  const std::string path = (temp.Path / ("out" + GetParam().Extension)).string();
  TRecorded r;
  r.Frames = 30;
  std::string codecs;
  ASSERT_EQ(Record(path, r, &codecs), "");
  EXPECT_EQ(codecs, GetParam().Codecs);
  ExpectFrames(path, r);
  ExpectSound(path, r);
}

INSTANTIATE_TEST_SUITE_P(Kinds, RecordedFile,
                         ::testing::Values(TKind{".mp4", "libx264+aac"},
                                           TKind{".webm", "libvpx-vp9+libopus"},
                                           TKind{".mkv", "libx264+aac"}),
                         [](const auto& info) { return info.param.Extension.substr(1); });

TEST(Recorder, OddSizesAndRatesThatAreNoWholeNumber) {
  TTempFolder temp;
  const std::string path = (temp.Path / "odd.mp4").string();
  TRecorded r;
  r.Frames = 12;
  r.StepMs = 33;  // 1000/33 frames a second
  r.Width = 33;
  r.Height = 17;
  ASSERT_EQ(Record(path, r), "");
  ExpectFrames(path, r);
  ExpectSound(path, r);
}

// Colours away from the channels' ends come out as they went in on 5-6-5 and 5-5-5 displays
// alike, and the last row of a picture of odd height is that picture's last row.
TEST(Recorder, MidTonesAndTheLastRowSurviveInBothPixelLayouts) {
  struct TRgb {
    int R, G, B;
  };
  const TRgb body{200, 100, 48}, lastRow{40, 176, 120};
  const auto as565 = [](TRgb c) { return uint16_t((c.R >> 3) << 11 | (c.G >> 2) << 5 | c.B >> 3); };
  const auto as555 = [](TRgb c) { return uint16_t((c.R >> 3) << 10 | (c.G >> 3) << 5 | c.B >> 3); };
  TTempFolder temp;
  for (bool rgb555 : {false, true}) {
    SCOPED_TRACE(rgb555 ? "5-5-5" : "5-6-5");
    const std::string path = (temp.Path / (rgb555 ? "555.mp4" : "565.mp4")).string();
    TVideoEncoderSettings settings;
    settings.Width = 64;
    settings.Height = 17;
    settings.StepMs = 40;
    settings.Rgb555 = rgb555;
    std::string error;
    auto encoder = TVideoEncoder::Open(path, settings, error);
    ASSERT_TRUE(encoder) << error;
    std::vector<uint16_t> pixels(64 * 17, rgb555 ? as555(body) : as565(body));
    std::fill(pixels.end() - 64, pixels.end(), rgb555 ? as555(lastRow) : as565(lastRow));
    const std::vector<int16_t> silence(1764 * 2);
    for (int k = 0; k < 10; ++k) {
      ASSERT_TRUE(encoder->AddFrame(reinterpret_cast<uint8_t*>(pixels.data()), 128));
      ASSERT_TRUE(encoder->AddAudio(silence.data(), 1764));
    }
    ASSERT_TRUE(encoder->Finish()) << encoder->ErrorText();
    auto decoder = TVideoDecoder::Open(path, false, error);
    ASSERT_TRUE(decoder) << error;
    std::vector<uint16_t> shown(size_t(decoder->Width()) * decoder->Height());
    ASSERT_EQ(decoder->FrameAt(200 * kUnitsPerMs, reinterpret_cast<uint8_t*>(shown.data()),
                               decoder->Width() * 2, false),
              TVideoFrameResult::New);
    const auto at = [&](int x, int y) { return shown[size_t(y) * decoder->Width() + x]; };
    EXPECT_TRUE(Near(at(30, 8), as565(body), 1)) << std::hex << at(30, 8);
    EXPECT_TRUE(Near(at(30, 16), as565(lastRow), 1)) << std::hex << at(30, 16);
  }
}

TEST(Recorder, FilesThatCannotBeWrittenSayWhy) {
  TTempFolder temp;
  TRecorded r;
  r.Frames = 1;
  EXPECT_NE(Record((temp.Path / "clip.unknownkind").string(), r).find("no video file format"),
            std::string::npos);
  EXPECT_NE(Record((temp.Path / "no" / "such" / "folder.mp4").string(), r), "");
  // A GIF holds no sound and takes none of our video codecs.
  EXPECT_NE(Record((temp.Path / "clip.gif").string(), r).find("no video encoder"),
            std::string::npos);
}

// The player's side: steps without a frame of their own still take their place in the file.
TEST(Recorder, EveryStepOfTheClockHasItsFrame) {
  TTempFolder temp;
  const std::string path = (temp.Path / "gaps.mkv").string();
  auto surface = TPlatformSurface::Create(32, 16, PixelFormatForDepth(16, false));
  ASSERT_TRUE(surface);
  TVEKRecorder recorder(path, 20, false);
  const std::vector<int16_t> silence(882 * 2);
  for (uint32_t at : {0u, 20u, 100u}) {
    surface->Fill(nullptr, ColourOf(int(at / 20)));
    recorder.Frame(*surface, at);
    recorder.Audio(silence.data(), 882);
  }
  ASSERT_TRUE(recorder.Finish()) << recorder.ErrorText();
  std::string error;
  auto decoder = TVideoDecoder::Open(path, false, error);
  ASSERT_TRUE(decoder) << error;
  std::vector<uint16_t> pixels(32 * 16);
  int frames = 0;
  for (int64_t ms = 10;
       decoder->FrameAt(ms * kUnitsPerMs, reinterpret_cast<uint8_t*>(pixels.data()), 64, false) !=
       TVideoFrameResult::End;
       ms += 20)
    ++frames;
  EXPECT_EQ(frames, 6);  // frames at 0, 20, then the one of 100 from 40 to 100
  EXPECT_TRUE(Near(pixels[0], ColourOf(5), 2));
}

// An export that fails part-way leaves nothing under its name, and an earlier file of that name
// as it was; one that succeeds appears under its name only when it is whole.
TEST(Recorder, FailedExportsLeaveNoPartialFile) {
  TTempFolder temp;
  const std::vector<int16_t> sound(44100 * 2);
  auto surface = TPlatformSurface::Create(320, 240, PixelFormatForDepth(16, false));
  ASSERT_TRUE(surface);
  // Writes `seconds` of an export over an `earlier` file or none; true when it finished.
  const auto exportTo = [&](const std::string& path, int seconds, bool earlier) {
    std::string error;
    if (path.ends_with(".wav")) {
      TWavWriter wav;
      bool ok = wav.Open(path, error);
      for (int s = 0; ok && s < seconds; ++s) {
        ok = wav.Append(sound.data(), 44100, error);
        EXPECT_EQ(std::filesystem::exists(path), earlier);
      }
      return ok && wav.Close(error);
    }
    TVEKRecorder recorder(path, 20, false);
    for (int frame = 0; frame < seconds * 50; ++frame) {
      surface->Fill(nullptr, ColourOf(frame));
      recorder.Frame(*surface, frame * 20);
      recorder.Audio(sound.data(), 882);
    }
    EXPECT_EQ(std::filesystem::exists(path), earlier);
    return recorder.Finish();
  };
  for (const char* name : {"sound.wav", "film.mkv"}) {
    const std::string path = (temp.Path / name).string();
    ASSERT_TRUE(exportTo(path, 1, false)) << name;
    const auto whole = std::filesystem::file_size(path);
    // Files may not grow past 4 KiB: every further write fails, as on a full disc.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    rlimit small = saved;
    small.rlim_cur = 4 * 1024;
    setrlimit(RLIMIT_FSIZE, &small);
    const bool finished = exportTo(path, 5, true);
    setrlimit(RLIMIT_FSIZE, &saved);
    EXPECT_FALSE(finished) << name;
    EXPECT_EQ(std::filesystem::file_size(path), whole) << name;
    for (const auto& entry : std::filesystem::directory_iterator(temp.Path))
      EXPECT_EQ(entry.path().string().find("partial"), std::string::npos) << entry.path();
  }
}

}  // namespace
