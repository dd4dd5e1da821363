// The video clip decoder against the `ffmpeg` command on clips that command makes, one per
// codec of the era (and modern ones where an encoder is installed): each frame is the one the
// command gives, at its time; skipping, holding, the end and rewinding; the sound as the
// command decodes it, from the picture's start; damaged, missing and foreign files.
// Indeo is not among them: FFmpeg decodes it but has no encoder to make a clip with.
#include <gtest/gtest.h>
#include <malloc.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <set>

#include "TestSupport.h"
#include "video/SE_VideoDecoder.h"

namespace {

constexpr int kWidth = 64, kHeight = 48;
constexpr int64_t kSecond = 10'000'000;

struct TClip {
  std::string File;
  std::string Encoder;      // the video encoder, which must be installed
  std::string Options;      // ffmpeg output options
  std::string Rate = "10";  // frames a second
  int Width = kWidth, Height = kHeight;
};

const std::vector<TClip> kClips = {
    {"cinepak.avi", "cinepak", "-c:v cinepak -c:a pcm_s16le"},
    {"msvideo1.avi", "msvideo1", "-c:v msvideo1 -c:a adpcm_ima_wav"},
    {"mjpeg.avi", "mjpeg", "-c:v mjpeg -c:a adpcm_ms"},
    // MPEG-1 knows no rate below 23.976; at NTSC's, frames start between whole units of
    // time; its sound starts a little before its picture.
    {"mpeg1.mpg", "mpeg1video", "-c:v mpeg1video -c:a mp2", "30000/1001"},
    {"mpeg4.avi", "mpeg4", "-c:v mpeg4 -c:a libmp3lame"},
    {"h264.mp4", "libx264", "-c:v libx264 -pix_fmt yuv420p -c:a aac"},
    {"vp8.webm", "libvpx", "-c:v libvpx -c:a libvorbis"},
    {"vp9.webm", "libvpx-vp9", "-c:v libvpx-vp9 -deadline realtime -c:a libopus"},
};

std::vector<uint8_t> RunFfmpeg(const std::string& arguments) {
  std::vector<uint8_t> bytes;
  std::FILE* pipe = popen(("ffmpeg -v quiet " + arguments).c_str(), "r");
  if (!pipe) return bytes;
  uint8_t block[65536];
  for (size_t n; (n = std::fread(block, 1, sizeof block, pipe)) > 0;)
    bytes.insert(bytes.end(), block, block + n);
  pclose(pipe);
  return bytes;
}

std::vector<uint8_t> ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

struct TReference {
  std::vector<std::vector<uint8_t>> Frames;
  std::vector<int64_t> Times;  // when each frame is due, in 100 ns from the start
  int64_t End = 0;             // when the last frame has been shown for its length

  // The frame due at `time`: the latest that is due by then; the first one from the start.
  size_t Due(int64_t time) const {
    const auto after = std::upper_bound(Times.begin(), Times.end(), time);
    return after == Times.begin() ? 0 : size_t(after - Times.begin() - 1);
  }
};

// One frame buffer as the player hands it over, with room to spare after each row.
struct TPicture {
  explicit TPicture(int32_t width = kWidth, int32_t height = kHeight, int32_t spare = 6)
      : Width(width),
        Height(height),
        Pitch(width * 2 + spare),
        Bytes(size_t(Pitch) * height, 0xA5) {}

  // The rows without the spare bytes, as ffmpeg's raw output has them.
  std::vector<uint8_t> Rows() const {
    std::vector<uint8_t> rows;
    for (int32_t y = 0; y < Height; ++y)
      rows.insert(rows.end(), Bytes.begin() + y * Pitch, Bytes.begin() + y * Pitch + Width * 2);
    return rows;
  }
  bool SpareUntouched() const {
    for (int32_t y = 0; y < Height; ++y)
      for (int32_t x = Width * 2; x < Pitch; ++x)
        if (Bytes[y * Pitch + x] != 0xA5) return false;
    return true;
  }

  int32_t Width, Height, Pitch;
  std::vector<uint8_t> Bytes;
};

class VideoDecoder : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (std::system("ffmpeg -version >/dev/null 2>&1") != 0) return;
    Folder = std::make_unique<TTempFolder>();
    std::FILE* pipe = popen("ffmpeg -hide_banner -encoders 2>/dev/null", "r");
    char line[512];
    while (pipe && std::fgets(line, sizeof line, pipe)) {
      char name[128];
      if (std::sscanf(line, " %*s %127s", name) == 1) Encoders.insert(name);
    }
    if (pipe) pclose(pipe);
  }
  static void TearDownTestSuite() { Folder.reset(); }
  void SetUp() override {
    if (!Folder) GTEST_SKIP() << "the ffmpeg command is not installed";
  }

  static const TClip& Clip(const std::string& file) {
    return *std::find_if(kClips.begin(), kClips.end(),
                         [&](const TClip& c) { return c.File == file; });
  }
  static bool CanMake(const TClip& clip) { return Encoders.contains(clip.Encoder); }

  // The clip, two seconds of test picture and a 440 Hz tone in stereo, made when first asked
  // for.
  static std::string Path(const TClip& clip) {
    const std::string path = (Folder->Path / clip.File).string();
    if (!std::filesystem::exists(path)) {
      const std::string& rate = clip.Rate;
      const std::string size = std::to_string(clip.Width) + "x" + std::to_string(clip.Height);
      std::system(("ffmpeg -v quiet -y -f lavfi -i testsrc=size=" + size + ":rate=" + rate +
                   ":duration=2 -f lavfi -i sine=frequency=440:duration=2 -ac 2 " + clip.Options +
                   " '" + path + "'")
                      .c_str());
    }
    return path;
  }

  static std::unique_ptr<TVideoDecoder> Open(const std::string& path, bool withAudio = true) {
    std::string error;
    auto decoder = TVideoDecoder::Open(path, withAudio, error);
    EXPECT_TRUE(decoder) << error;
    return decoder;
  }

  // Every frame as `ffmpeg -pix_fmt rgb565le` (or rgb555le) gives it, in decoding order, with
  // the time ffprobe gives it from the stream's start. Decoded on one thread, so that the
  // decoder's threads are seen to change nothing.
  static TReference Frames(const TClip& clip, bool rgb555 = false) {
    const std::string path = Path(clip);
    const std::vector<uint8_t> all =
        RunFfmpeg("-threads 1 -i '" + path + "' -fps_mode passthrough -pix_fmt " +
                  (rgb555 ? "rgb555le" : "rgb565le") + " -f rawvideo -");
    TReference reference;
    const size_t size = size_t(clip.Width) * clip.Height * 2;
    for (size_t at = 0; at + size <= all.size(); at += size)
      reference.Frames.emplace_back(all.begin() + at, all.begin() + at + size);
    // Exact times from the timestamps, rounded up to whole units as the decoder has them.
    const std::string stream = "-select_streams v:0 -show_entries ";
    int64_t num = 0, den = 1;
    std::sscanf(Probe(path, stream + "stream=time_base").front().c_str(), "%ld/%ld", &num, &den);
    const int64_t start = std::stoll(Probe(path, stream + "stream=start_pts").front());
    const auto time = [&](int64_t ticks) { return (ticks * num * kSecond + den - 1) / den; };
    const std::vector<std::string> stamps = Probe(path, stream + "frame=best_effort_timestamp");
    const std::vector<std::string> lengths = Probe(path, stream + "frame=pkt_duration");
    // A frame without a timestamp (MPEG's last one may have none) follows the one before it.
    for (size_t k = 0; k < stamps.size() && k < lengths.size(); ++k) {
      const int64_t length = std::stoll(lengths[k]);
      const bool known = stamps[k] != "N/A";
      reference.Times.push_back(known ? time(std::stoll(stamps[k]) - start) : reference.End);
      reference.End =
          known ? time(std::stoll(stamps[k]) - start + length) : reference.End + time(length);
    }
    return reference;
  }

  // The values ffprobe prints for `entries`, one a line.
  static std::vector<std::string> Probe(const std::string& path, const std::string& entries) {
    std::vector<std::string> values;
    std::FILE* pipe = popen(
        ("ffprobe -v quiet " + entries + " -of default=nw=1:nk=1 '" + path + "'").c_str(), "r");
    char line[256];
    // Side data of a frame comes as a line of its own, empty here.
    while (pipe && std::fgets(line, sizeof line, pipe))
      if (const size_t length = std::strcspn(line, "\n"); length > 0)
        values.emplace_back(line, length);
    if (pipe) pclose(pipe);
    if (values.empty()) values.emplace_back("0");
    return values;
  }

  // The sound as ffmpeg decodes it to 44 100 Hz signed 16-bit stereo, from where the picture
  // starts.
  static std::vector<int16_t> Sound(const TClip& clip) {
    const std::string path = Path(clip);
    const std::vector<uint8_t> bytes = RunFfmpeg("-i '" + path + "' -f s16le -ar 44100 -ac 2 -");
    std::vector<int16_t> sound(bytes.size() / 2);
    std::memcpy(sound.data(), bytes.data(), sound.size() * 2);
    const double videoStart =
        std::stod(Probe(path, "-select_streams v:0 -show_entries stream=start_time").front());
    const double audioStart =
        std::stod(Probe(path, "-select_streams a:0 -show_entries stream=start_time").front());
    const auto drop = static_cast<size_t>(std::lround((videoStart - audioStart) * 44100) * 2);
    sound.erase(sound.begin(), sound.begin() + std::min(drop, sound.size()));
    return sound;
  }

  static std::unique_ptr<TTempFolder> Folder;
  static std::set<std::string> Encoders;
};

std::unique_ptr<TTempFolder> VideoDecoder::Folder;
std::set<std::string> VideoDecoder::Encoders;

// Reads the sound to its end in uneven blocks.
std::vector<int16_t> ReadAllSound(TVideoDecoder& decoder) {
  std::vector<int16_t> sound;
  int16_t block[2 * 1500];
  for (uint32_t ask = 1;; ask = ask * 7 % 1499 + 1) {
    const uint32_t got = decoder.ReadAudio(block, ask);
    sound.insert(sound.end(), block, block + size_t{got} * 2);
    if (got < ask) return sound;
  }
}

// Times around each frame's start, and between frames, up to past the end.
std::vector<int64_t> TimesAround(const TReference& reference) {
  std::vector<int64_t> times;
  std::vector<int64_t> starts = reference.Times;
  starts.push_back(reference.End);
  for (size_t k = 0; k < starts.size(); ++k) {
    if (k > 0) times.push_back(starts[k] - 1);
    times.push_back(starts[k]);
    if (k + 1 < starts.size()) times.push_back((starts[k] + starts[k + 1]) / 2);
  }
  return times;
}

TEST_F(VideoDecoder, EachCodecGivesTheFrameDueAtEachTime) {
  std::vector<std::string> skipped;
  for (const TClip& clip : kClips) {
    SCOPED_TRACE(clip.File);
    if (!CanMake(clip)) {
      skipped.push_back(clip.Encoder);
      continue;
    }
    const TReference expected = Frames(clip);
    ASSERT_EQ(expected.Frames.size(), expected.Times.size());
    ASSERT_GE(expected.Frames.size(), 20u);
    auto decoder = Open(Path(clip));
    ASSERT_TRUE(decoder);
    EXPECT_EQ(decoder->Width(), kWidth);
    EXPECT_EQ(decoder->Height(), kHeight);
    // An MPEG program stream states no length; FFmpeg's estimate from its timestamps is short.
    if (!clip.File.ends_with(".mpg")) {
      EXPECT_NEAR(double(decoder->Duration()), 2.0 * kSecond, 0.1 * kSecond);
    }
    TPicture picture;
    size_t shown = SIZE_MAX;
    for (const int64_t time : TimesAround(expected)) {
      SCOPED_TRACE(time);
      const TVideoFrameResult result =
          decoder->FrameAt(time, picture.Bytes.data(), picture.Pitch, false);
      if (time >= expected.End) {
        EXPECT_EQ(result, TVideoFrameResult::End);
        continue;
      }
      const size_t due = expected.Due(time);
      EXPECT_EQ(result, due == shown ? TVideoFrameResult::Same : TVideoFrameResult::New);
      EXPECT_TRUE(picture.Rows() == expected.Frames[due]) << "frame " << due;
      shown = due;
    }
    EXPECT_TRUE(picture.SpareUntouched());
    EXPECT_FALSE(decoder->Failed()) << decoder->ErrorText();
  }
  if (!skipped.empty()) std::printf("no encoder here for: %s\n", skipped.front().c_str());
}

// Rows that are no whole number of libswscale's blocks of pixels: every pixel is converted
// whatever the pitch, in either layout, and nothing is written past the width. Microsoft Video
// 1 decodes to 5-5-5 itself, so for that layout its pictures are copied, not converted.
TEST_F(VideoDecoder, OddSizedPicturesAreConvertedToTheLastPixel) {
  for (const TClip& clip : {TClip{"odd.avi", "mpeg4", "-c:v mpeg4", "10", 68, 28},
                            TClip{"odd1.avi", "msvideo1", "-c:v msvideo1", "10", 68, 28}}) {
    for (const bool rgb555 : {false, true}) {
      SCOPED_TRACE(clip.File + (rgb555 ? " 5-5-5" : " 5-6-5"));
      const TReference expected = Frames(clip, rgb555);
      ASSERT_EQ(expected.Frames.size(), 20u);
      auto decoder = Open(Path(clip));
      ASSERT_TRUE(decoder);
      // A later frame each time, so each is written.
      for (const auto& [spare, frame] : {std::pair{0, 3}, {2, 7}, {50, 11}}) {
        SCOPED_TRACE(spare);
        TPicture picture(clip.Width, clip.Height, spare);
        const int64_t time = expected.Times[frame];
        ASSERT_EQ(decoder->FrameAt(time, picture.Bytes.data(), picture.Pitch, rgb555),
                  TVideoFrameResult::New);
        EXPECT_TRUE(picture.Rows() == expected.Frames[expected.Due(time)]);
        EXPECT_TRUE(picture.SpareUntouched());
      }
    }
  }
}

// Frames passed over are decoded all the same (the later ones are built on them), an earlier
// time holds the frame without writing, and nothing follows the end but the end.
TEST_F(VideoDecoder, SkipsAheadHoldsAndEnds) {
  for (const std::string file : {"mpeg4.avi", "mpeg1.mpg"}) {
    SCOPED_TRACE(file);
    const TClip& clip = Clip(file);
    const auto expected = Frames(clip);
    auto decoder = Open(Path(clip));
    ASSERT_TRUE(decoder);
    TPicture picture;
    EXPECT_EQ(decoder->FrameAt(0, picture.Bytes.data(), picture.Pitch, false),
              TVideoFrameResult::New);
    const int64_t far = kSecond * 3 / 2;
    EXPECT_EQ(decoder->FrameAt(far, picture.Bytes.data(), picture.Pitch, false),
              TVideoFrameResult::New);
    EXPECT_TRUE(picture.Rows() == expected.Frames[expected.Due(far)]);
    TPicture untouched;
    for (const int64_t time : {int64_t{0}, kSecond / 2, far})
      EXPECT_EQ(decoder->FrameAt(time, untouched.Bytes.data(), untouched.Pitch, false),
                TVideoFrameResult::Same);
    EXPECT_TRUE(untouched.SpareUntouched() && untouched.Rows() == TPicture().Rows());
    EXPECT_EQ(decoder->FrameAt(100 * kSecond, picture.Bytes.data(), picture.Pitch, false),
              TVideoFrameResult::End);
    EXPECT_EQ(decoder->FrameAt(0, picture.Bytes.data(), picture.Pitch, false),
              TVideoFrameResult::End);
  }
}

TEST_F(VideoDecoder, SoundIsTheCommandsFromThePicturesStart) {
  for (const TClip& clip : kClips) {
    SCOPED_TRACE(clip.File);
    if (!CanMake(clip)) continue;
    auto decoder = Open(Path(clip));
    ASSERT_TRUE(decoder);
    ASSERT_TRUE(decoder->HasAudio());
    const std::vector<int16_t> expected = Sound(clip);
    const std::vector<int16_t> sound = ReadAllSound(*decoder);
    ASSERT_GT(expected.size(), size_t{2 * 44100});
    EXPECT_EQ(sound.size(), expected.size());
    EXPECT_TRUE(std::equal(sound.begin(), sound.begin() + std::min(sound.size(), expected.size()),
                           expected.begin()));
  }
}

// The mixer reads the sound ahead in blocks while the engine asks for frames: the one file
// serves both as if each had it to itself.
TEST_F(VideoDecoder, PictureAndSoundReadTogetherAsApart) {
  for (const std::string file : {"mjpeg.avi", "mpeg1.mpg"}) {
    SCOPED_TRACE(file);
    const TClip& clip = Clip(file);
    const auto expected = Frames(clip);
    const std::vector<int16_t> sound = Sound(clip);
    auto decoder = Open(Path(clip));
    ASSERT_TRUE(decoder);
    std::vector<int16_t> heard(sound.size() + 2 * 44100);
    size_t frames = 0;
    TPicture picture;
    for (size_t k = 0; k < expected.Frames.size(); ++k) {
      frames += decoder->ReadAudio(heard.data() + frames * 2, 5000);
      ASSERT_EQ(decoder->FrameAt(expected.Times[k], picture.Bytes.data(), picture.Pitch, false),
                TVideoFrameResult::New);
      EXPECT_TRUE(picture.Rows() == expected.Frames[k]) << "frame " << k;
    }
    frames += decoder->ReadAudio(heard.data() + frames * 2, 44100);
    heard.resize(frames * 2);
    EXPECT_TRUE(heard == sound);
  }
}

TEST_F(VideoDecoder, RewindStartsPictureAndSoundAgain) {
  for (const std::string file : {"mpeg4.avi", "mpeg1.mpg", "h264.mp4"}) {
    SCOPED_TRACE(file);
    const TClip& clip = Clip(file);
    if (!CanMake(clip)) continue;
    const auto expected = Frames(clip);
    auto decoder = Open(Path(clip));
    ASSERT_TRUE(decoder);
    const std::vector<int16_t> first = ReadAllSound(*decoder);
    TPicture picture;
    // Once from the end, once from the middle.
    for (const int64_t stop : {100 * kSecond, kSecond}) {
      decoder->FrameAt(stop, picture.Bytes.data(), picture.Pitch, false);
      ASSERT_TRUE(decoder->Rewind());
      EXPECT_EQ(decoder->FrameAt(0, picture.Bytes.data(), picture.Pitch, false),
                TVideoFrameResult::New);
      EXPECT_TRUE(picture.Rows() == expected.Frames[0]);
      EXPECT_EQ(decoder->FrameAt(kSecond / 2, picture.Bytes.data(), picture.Pitch, false),
                TVideoFrameResult::New);
      EXPECT_TRUE(picture.Rows() == expected.Frames[expected.Due(kSecond / 2)]);
      EXPECT_TRUE(ReadAllSound(*decoder) == first);
    }
  }
}

size_t HeapInUse() { return mallinfo2().uordblks; }

// A file that carries one stream alone for a long stretch: the picture reading past a minute of
// sound, the sound reading ahead past seconds of picture. What waits is bounded (a few MB),
// the picture loses nothing, and the sound gives silence until the picture catches up.
TEST_F(VideoDecoder, LongStretchesOfOneStreamKeepMemoryBounded) {
  constexpr size_t kBound = size_t{7} << 20;
  const std::string longSound = (Folder->Path / "long-sound.avi").string();
  std::system(("ffmpeg -v quiet -y -f lavfi -i testsrc=size=64x48:rate=10:duration=1 -f lavfi "
               "-i sine=duration=100 -ac 2 -c:v mjpeg -c:a pcm_s16le '" +
               longSound + "'")
                  .c_str());
  ASSERT_GT(std::filesystem::file_size(longSound), 2 * kBound);
  {
    auto decoder = Open(longSound);
    ASSERT_TRUE(decoder);
    TPicture picture;
    const size_t before = HeapInUse();
    int frames = 0;
    for (int64_t time = 0; decoder->FrameAt(time, picture.Bytes.data(), picture.Pitch, false) !=
                           TVideoFrameResult::End;
         time += kSecond / 10)
      ++frames;
    EXPECT_EQ(frames, 10);
    EXPECT_LT(HeapInUse() - before, kBound);
  }
  const std::string longPicture = (Folder->Path / "long-picture.avi").string();
  std::system(("ffmpeg -v quiet -y -f lavfi -i testsrc2=size=320x240:rate=25:duration=45 -f "
               "lavfi -i sine=duration=1 -ac 2 -c:v mjpeg -q:v 1 -c:a pcm_s16le '" +
               longPicture + "'")
                  .c_str());
  ASSERT_GT(std::filesystem::file_size(longPicture), 2 * kBound);
  auto decoder = Open(longPicture);
  ASSERT_TRUE(decoder);
  std::vector<int16_t> sound(2 * 44100 * 3);
  const size_t before = HeapInUse();
  EXPECT_EQ(decoder->ReadAudio(sound.data(), 44100 * 3), 44100u * 3);
  EXPECT_LT(HeapInUse() - before, kBound);
  EXPECT_TRUE(std::all_of(sound.begin() + 2 * 44100, sound.end(), [](int16_t s) { return !s; }));
  std::vector<uint8_t> picture(320 * 240 * 2);
  int frames = 0;
  for (int64_t time = 0;
       decoder->FrameAt(time, picture.data(), 640, false) != TVideoFrameResult::End;
       time += kSecond / 25)
    ++frames;
  EXPECT_EQ(frames, 45 * 25);
  EXPECT_LT(decoder->ReadAudio(sound.data(), 44100), 44100u) << "the sound ends with the file";
}

TEST_F(VideoDecoder, DamagedFilesEndWithoutHarm) {
  const std::vector<uint8_t> whole = ReadFile(Path(Clip("mpeg4.avi")));
  std::vector<std::vector<uint8_t>> damaged;
  for (const size_t part : {whole.size() / 3, whole.size() * 2 / 3})
    damaged.emplace_back(whole.begin(), whole.begin() + part);
  damaged.push_back(whole);
  for (size_t i = whole.size() / 4; i < whole.size() * 3 / 4; i += 7) damaged.back()[i] ^= 0x5A;
  for (const auto& bytes : damaged) {
    const std::string path = Folder->Write("damaged.avi", {bytes.begin(), bytes.end()}).string();
    std::string error;
    auto decoder = TVideoDecoder::Open(path, true, error);
    if (!decoder) {
      EXPECT_FALSE(error.empty());
      continue;
    }
    TPicture picture;
    int64_t time = 0;
    while (decoder->FrameAt(time, picture.Bytes.data(), picture.Pitch, false) !=
               TVideoFrameResult::End &&
           time < 10 * kSecond)
      time += kSecond / 20;
    EXPECT_LT(time, 10 * kSecond) << "the clip did not end";
    EXPECT_LT(ReadAllSound(*decoder).size(), size_t{10 * 44100 * 2});
    EXPECT_TRUE(picture.SpareUntouched());
  }
}

TEST_F(VideoDecoder, RefusalsSayWhy) {
  std::string error;
  const std::string missing = (Folder->Path / "missing.avi").string();
  EXPECT_FALSE(TVideoDecoder::Open(missing, true, error));
  EXPECT_EQ(error, "cannot open " + missing + ": No such file or directory");

  const std::string text = Folder->Write("notes.avi", "These are notes, not a clip.\n").string();
  EXPECT_FALSE(TVideoDecoder::Open(text, true, error));
  EXPECT_EQ(error.rfind("cannot open " + text + ": ", 0), 0u) << error;

  const std::string sound = (Folder->Path / "tone.wav").string();
  std::system(("ffmpeg -v quiet -y -f lavfi -i sine=duration=0.2 '" + sound + "'").c_str());
  EXPECT_FALSE(TVideoDecoder::Open(sound, true, error));
  EXPECT_EQ(error, sound + " holds no video stream");

  std::vector<uint8_t> noise(5000);
  for (size_t i = 0; i < noise.size(); ++i) noise[i] = uint8_t(i * 2654435761u >> 13);
  EXPECT_FALSE(TVideoDecoder::OpenMemory(noise, "noise.avi", true, error));
  EXPECT_FALSE(error.empty());
}

}  // namespace
