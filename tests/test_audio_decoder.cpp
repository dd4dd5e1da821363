// The compressed-audio decoder against the `ffmpeg` command on files that command makes: the
// same length and samples, the right pitch, exact seeks, loops that repeat a fresh open, and
// clean failures on missing, foreign and damaged files.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>

#include "HeapCounter.h"
#include "TestSupport.h"
#include "audio/SE_AudioDecoder.h"

namespace {

struct TSample {
  std::string File;
  std::string Options;   // ffmpeg output options
  int Channels = 2;      // of the file; ffmpeg's reference for mono is duplicated by the test
  double Seconds = 1.0;  // of the 440 Hz tone
};

const std::vector<TSample> kSamples = {
    {"tone.mp3", "-ar 44100 -ac 2"},
    {"tone.ogg", "-ar 44100 -ac 2 -c:a libvorbis"},
    {"tone.flac", "-ar 44100 -ac 2"},
    {"tone.m4a", "-ar 44100 -ac 2 -c:a aac"},
    {"mono22050.mp3", "-ar 22050 -ac 1", 1},
    {"tone48000.ogg", "-ar 48000 -ac 2 -c:a libvorbis"},
    {"tone.wav", "-ar 44100 -ac 2"},
    {"long.mp3", "-ar 44100 -ac 2", 2, 4.0},
    {"long.ogg", "-ar 44100 -ac 2 -c:a libvorbis", 2, 4.0},
    {"long48000.mp3", "-ar 48000 -ac 2", 2, 4.0},
    {"long.m4a", "-ar 44100 -ac 2 -c:a aac", 2, 4.0},
    // Raw AC-3 counts time in 1/90 000 s, which no whole number of samples fills.
    {"long.ac3", "-ar 44100 -ac 2", 2, 4.0},
};

bool HaveFfmpeg() { return std::system("ffmpeg -version >/dev/null 2>&1") == 0; }

std::vector<int16_t> RunFfmpeg(const std::string& arguments) {
  std::vector<int16_t> samples;
  std::FILE* pipe = popen(("ffmpeg -v quiet " + arguments).c_str(), "r");
  if (!pipe) return samples;
  int16_t block[4096];
  for (size_t n; (n = std::fread(block, sizeof(int16_t), std::size(block), pipe)) > 0;)
    samples.insert(samples.end(), block, block + n);
  pclose(pipe);
  return samples;
}

// Each sample file is made the first time a test of the suite asks for it.
class AudioDecoder : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (HaveFfmpeg()) Folder = std::make_unique<TTempFolder>();
  }
  static void TearDownTestSuite() { Folder.reset(); }
  void SetUp() override {
    if (!Folder) GTEST_SKIP() << "the ffmpeg command is not installed";
  }

  static std::string Path(const std::string& file) {
    const std::string path = (Folder->Path / file).string();
    const auto sample = std::find_if(kSamples.begin(), kSamples.end(),
                                     [&](const TSample& s) { return s.File == file; });
    if (sample != kSamples.end() && !std::filesystem::exists(path))
      std::system(("ffmpeg -v quiet -y -f lavfi -i sine=frequency=440:duration=" +
                   std::to_string(sample->Seconds) + " " + sample->Options + " '" + path + "'")
                      .c_str());
    return path;
  }
  static std::vector<uint8_t> Bytes(const std::string& file) {
    std::ifstream in(Path(file), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
  }

  static std::unique_ptr<TAudioDecoder> Open(const std::string& file) {
    std::string error;
    auto decoder = TAudioDecoder::Open(Path(file), error);
    EXPECT_TRUE(decoder) << error;
    return decoder;
  }

  // What `ffmpeg -f s16le -ar 44100 -ac 2` gives; mono as ffmpeg decodes it, on both sides.
  static std::vector<int16_t> Reference(const TSample& sample) {
    const std::vector<int16_t> decoded =
        RunFfmpeg("-i '" + Path(sample.File) + "' -f s16le -ar 44100 -ac " +
                  std::to_string(sample.Channels) + " -");
    if (sample.Channels == 2) return decoded;
    std::vector<int16_t> stereo;
    for (int16_t s : decoded) stereo.insert(stereo.end(), {s, s});
    return stereo;
  }

  static std::unique_ptr<TTempFolder> Folder;
};

std::unique_ptr<TTempFolder> AudioDecoder::Folder;

// Reads to the end in uneven pieces, so leftovers between reads are exercised.
std::vector<int16_t> ReadAll(TAudioDecoder& decoder, size_t limitFrames = SIZE_MAX) {
  std::vector<int16_t> samples;
  int16_t block[2 * 1500];
  for (uint32_t ask = 1;; ask = ask * 7 % 1499 + 1) {
    const auto asked = uint32_t(std::min<size_t>(ask, limitFrames));
    const uint32_t got = decoder.Read(block, asked);
    EXPECT_LE(got, asked);
    samples.insert(samples.end(), block, block + size_t{got} * 2);
    limitFrames -= got;
    if (limitFrames == 0) return samples;
    if (got < asked) {
      EXPECT_EQ(decoder.Read(block, 1), 0u) << "a short read is the end";
      return samples;
    }
  }
}

int MaxDifference(const std::vector<int16_t>& a, size_t offset, const std::vector<int16_t>& b) {
  int most = 0;
  for (size_t i = 0; i < b.size() && offset + i < a.size(); ++i)
    most = std::max(most, std::abs(a[offset + i] - b[i]));
  return most;
}

size_t Frames(const std::vector<int16_t>& samples) { return samples.size() / 2; }

TEST_F(AudioDecoder, SameLengthAndSamplesAsFfmpeg) {
  for (const TSample& sample : kSamples) {
    SCOPED_TRACE(sample.File);
    auto decoder = Open(sample.File);
    ASSERT_TRUE(decoder);
    const std::vector<int16_t> ours = ReadAll(*decoder), theirs = Reference(sample);
    ASSERT_FALSE(theirs.empty());
    EXPECT_EQ(Frames(ours), Frames(theirs));
    EXPECT_LE(MaxDifference(ours, 0, theirs), 2);
    EXPECT_FALSE(decoder->Failed()) << decoder->ErrorText();
    EXPECT_EQ(decoder->Read(nullptr, 100), 0u) << "the end stays the end";
    // The stated length is an estimate (MP3 counts the encoder's delay and padding).
    EXPECT_NEAR(double(decoder->DurationFrames()), double(Frames(theirs)),
                0.08 * double(Frames(theirs)));
  }
}

// Independent of ffmpeg's own decode: one second of 440 Hz is 44 100 frames with 880 sign
// changes on each side, whatever the file's rate and channels.
TEST_F(AudioDecoder, PlaysAtTheRightPitchAndLength) {
  // lavfi's sine is at 1/8 of full scale; ffmpeg spread it to the stereo files 3 dB lower,
  // and a mono file must come out on both sides at its own level.
  const std::map<std::string, int> loudness = {
      {"tone.mp3", 2896}, {"tone.ogg", 2896}, {"mono22050.mp3", 4096}, {"tone48000.ogg", 2896}};
  for (const auto& [file, expected] : loudness) {
    SCOPED_TRACE(file);
    auto decoder = Open(file);
    ASSERT_TRUE(decoder);
    const std::vector<int16_t> samples = ReadAll(*decoder);
    EXPECT_NEAR(double(Frames(samples)), 44100.0, 441.0);
    for (int side = 0; side < 2; ++side) {
      int crossings = 0, loudest = 0;
      for (size_t i = 2 + side; i < samples.size(); i += 2) {
        crossings += (samples[i - 2] < 0) != (samples[i] < 0);
        loudest = std::max(loudest, std::abs(int(samples[i])));
      }
      EXPECT_NEAR(crossings, 880, 8) << "side " << side;
      EXPECT_NEAR(loudest, expected, 200) << "side " << side;
    }
  }
}

// Seeks land on the exact output frame, also in resampled files and after the stream has
// ended, and the stream then runs to the same end.
TEST_F(AudioDecoder, SeekLandsOnTheExactFrame) {
  for (const std::string file :
       {"long.mp3", "long.ogg", "long48000.mp3", "long.m4a", "long.ac3", "tone.ogg"}) {
    SCOPED_TRACE(file);
    auto decoder = Open(file);
    ASSERT_TRUE(decoder);
    const std::vector<int16_t> whole = ReadAll(*decoder);
    // AAC's decoder fills some bands with noise of its own, which a seek draws afresh; the
    // others match to the sample. A frame too early or late would differ by hundreds.
    const int tolerance = file.ends_with(".m4a") ? 64 : 4;
    for (uint64_t frame : {uint64_t{1}, uint64_t{12345}, uint64_t{44101}, uint64_t{100003},
                           uint64_t{Frames(whole) - 999}}) {
      if (frame >= Frames(whole)) continue;
      SCOPED_TRACE(frame);
      ASSERT_TRUE(decoder->Seek(frame));
      const std::vector<int16_t> rest = ReadAll(*decoder);
      EXPECT_EQ(Frames(rest), Frames(whole) - frame);
      EXPECT_LE(MaxDifference(whole, frame * 2, rest), tolerance);
    }
    // A seek in the middle of playing, not only after the end.
    ASSERT_TRUE(decoder->Seek(0));
    ReadAll(*decoder, Frames(whole) / 3);
    ASSERT_TRUE(decoder->Seek(Frames(whole) / 2));
    EXPECT_LE(MaxDifference(whole, Frames(whole) / 2 * 2, ReadAll(*decoder, 5000)), tolerance);
  }
}

TEST_F(AudioDecoder, SeekToZeroRepeatsAFreshOpen) {
  for (const TSample& sample : kSamples) {
    SCOPED_TRACE(sample.File);
    auto decoder = Open(sample.File);
    ASSERT_TRUE(decoder);
    const std::vector<int16_t> fresh = ReadAll(*decoder);
    for (int round = 0; round < 2; ++round) {
      ASSERT_TRUE(decoder->Seek(0));
      EXPECT_TRUE(ReadAll(*decoder) == fresh) << "round " << round;
    }
    // Stopped half-way, as Stop rewinds a playing sound.
    ASSERT_TRUE(decoder->Seek(0));
    ReadAll(*decoder, Frames(fresh) / 2);
    ASSERT_TRUE(decoder->Seek(0));
    EXPECT_TRUE(ReadAll(*decoder) == fresh);
  }
}

TEST_F(AudioDecoder, SeekAtAndPastTheEnd) {
  auto decoder = Open("tone.mp3");
  ASSERT_TRUE(decoder);
  const size_t length = Frames(ReadAll(*decoder));
  EXPECT_TRUE(decoder->Seek(length));
  EXPECT_EQ(decoder->Read(nullptr, 10), 0u);
  EXPECT_FALSE(decoder->Seek(length + 1));
  EXPECT_EQ(decoder->Read(nullptr, 10), 0u);
  EXPECT_FALSE(decoder->Seek(UINT64_MAX));
  ASSERT_TRUE(decoder->Seek(length - 5));
  EXPECT_EQ(Frames(ReadAll(*decoder)), 5u);
}

TEST_F(AudioDecoder, FromMemoryAsFromTheFile) {
  // The AAC file keeps its index at the end, so opening it seeks in the memory file.
  for (const std::string file : {"tone.m4a", "long.ogg"}) {
    SCOPED_TRACE(file);
    std::string error;
    auto memory = TAudioDecoder::OpenMemory(Bytes(file), file, error);
    ASSERT_TRUE(memory) << error;
    auto disk = Open(file);
    const std::vector<int16_t> expected = ReadAll(*disk);
    EXPECT_TRUE(ReadAll(*memory) == expected);
    ASSERT_TRUE(memory->Seek(0));
    EXPECT_TRUE(ReadAll(*memory) == expected);
  }
}

TEST_F(AudioDecoder, SteadyReadingAllocatesNothing) {
  auto decoder = Open("long.mp3");
  ASSERT_TRUE(decoder);
  std::vector<int16_t> block(2 * 4096);
  for (int i = 0; i < 4; ++i) decoder->Read(block.data(), 4096);
  THeapWatch watch;
  while (decoder->Read(block.data(), 4096) > 0) {
  }
  EXPECT_EQ(watch.Peak(), 0u);
}

TEST_F(AudioDecoder, RefusesWhatItCannotPlay) {
  std::string error;
  const std::string missing = Path("missing.mp3");
  EXPECT_FALSE(TAudioDecoder::Open(missing, error));
  EXPECT_EQ(error, "cannot open " + missing + ": No such file or directory");

  const std::string text = Folder->Write("notes.mp3", "Hello, these are not sounds.\n").string();
  EXPECT_FALSE(TAudioDecoder::Open(text, error));
  EXPECT_EQ(error.rfind("cannot open " + text + ": ", 0), 0u) << error;

  EXPECT_FALSE(TAudioDecoder::OpenMemory({}, "empty.ogg", error));
  EXPECT_EQ(error.rfind("cannot open empty.ogg: ", 0), 0u) << error;

  // A wave file whose format tag names no sound format: the tag is what is wrong.
  std::vector<uint8_t> unknown = Bytes("tone.wav");
  unknown[20] = 0x34, unknown[21] = 0x12;
  EXPECT_FALSE(TAudioDecoder::OpenMemory(unknown, "odd.wav", error));
  EXPECT_EQ(error, "odd.wav: its audio format tag 0x1234 names no known sound format");

  const std::string video = Path("picture.avi");
  std::system(
      ("ffmpeg -v quiet -y -f lavfi -i testsrc=size=32x32:duration=0.2 -c:v mjpeg '" + video + "'")
          .c_str());
  EXPECT_FALSE(TAudioDecoder::Open(video, error));
  EXPECT_EQ(error, video + " holds no audio stream");

  // A colon in a relative name is part of the file's name, not one of FFmpeg's protocols.
  std::filesystem::copy_file(Path("tone.wav"), Path("data:tone.wav"));
  const std::filesystem::path before = std::filesystem::current_path();
  std::filesystem::current_path(Folder->Path);
  const bool opened = bool(TAudioDecoder::Open("data:tone.wav", error));
  std::filesystem::current_path(before);
  EXPECT_TRUE(opened) << error;
}

// A header may claim any rate; past real ones the resampler's filter or its output would
// grow without bound, so such a stream fails at once, saying why.
TEST_F(AudioDecoder, RatesBeyondRealOnesFail) {
  for (uint32_t rate : {10u, 8000u, 5000000u}) {
    SCOPED_TRACE(rate);
    // The one-second tone's header, claiming another rate (and bytes per second).
    std::vector<uint8_t> wav = Bytes("tone.wav");
    const uint32_t fields[] = {rate, rate * 4};
    std::memcpy(&wav[24], fields, sizeof fields);
    std::string error;
    auto decoder = TAudioDecoder::OpenMemory(wav, "odd.wav", error);
    ASSERT_TRUE(decoder) << error;
    const size_t frames = Frames(ReadAll(*decoder));
    if (rate == 8000) {
      EXPECT_NEAR(double(frames), 44100.0 * 44100 / 8000, 2.0);
      EXPECT_FALSE(decoder->Failed());
      continue;
    }
    EXPECT_EQ(frames, 0u);
    EXPECT_EQ(decoder->ErrorText(), "odd.wav: no sound plays at " + std::to_string(rate) + " Hz");
  }
}

// Cut or spoiled files end early or fail to open; they never crash and never give more than
// the whole file has.
TEST_F(AudioDecoder, DamagedFilesEndCleanly) {
  for (const std::string file : {"long.mp3", "long.ogg", "long.m4a", "tone.flac", "tone.wav"}) {
    const std::vector<uint8_t> whole = Bytes(file);
    const size_t full = Frames(ReadAll(*Open(file)));
    std::vector<std::vector<uint8_t>> damaged;
    for (size_t size : {size_t{1}, size_t{64}, size_t{700}, whole.size() / 3, whole.size() - 1})
      damaged.emplace_back(whole.begin(), whole.begin() + size);
    for (size_t step : {size_t{97}, size_t{1009}}) {
      std::vector<uint8_t> spoiled = whole;
      for (size_t i = 200; i < spoiled.size(); i += step) spoiled[i] ^= 0x5a;
      damaged.push_back(spoiled);
    }
    for (size_t i = 0; i < damaged.size(); ++i) {
      SCOPED_TRACE(file + " damaged #" + std::to_string(i));
      std::string error;
      auto decoder = TAudioDecoder::OpenMemory(damaged[i], file, error);
      if (!decoder) {
        EXPECT_FALSE(error.empty());
        continue;
      }
      EXPECT_LE(Frames(ReadAll(*decoder)), full + 44100);
      decoder->Seek(20000);
      ReadAll(*decoder);
    }
  }
}

}  // namespace
