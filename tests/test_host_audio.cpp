// The hosts' sound output and timers: the headless host on the virtual clock, the SDL host
// with real threads and SDL's dummy and disk audio drivers.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <thread>

#include "TestSupport.h"
#include "audio/SE_Mixer.h"

namespace {

using namespace std::chrono_literals;

const TWaveFormat kCdFormat;  // 44 100 Hz, 16-bit stereo

std::vector<uint8_t> Noise(size_t bytes, uint32_t seed) {
  std::mt19937 random(seed);
  std::vector<uint8_t> data(bytes);
  for (uint8_t& byte : data) byte = static_cast<uint8_t>(random() | 1);
  return data;
}

TAudioChannel Playing(TAudioMixer& mixer, const std::vector<uint8_t>& data, bool looping) {
  TAudioChannel channel = mixer.CreateChannel(kCdFormat, static_cast<uint32_t>(data.size()));
  mixer.Write(channel, 0, data.data(), static_cast<uint32_t>(data.size()));
  mixer.Play(channel, looping);
  return channel;
}

uint64_t PlayedBytes(const TAudioMixer& mixer, TAudioChannel channel) {
  uint64_t bytes = 0;
  mixer.GetPlayedBytes(channel, bytes);
  return bytes;
}

// What a headless host hands to OnAudio, in bytes.
struct TCapture {
  explicit TCapture(THeadlessHost& host) {
    host.OnAudio = [this, &host](const int16_t* samples, uint32_t frames) {
      Calls.push_back({frames, host.VirtualTime});
      const auto* bytes = reinterpret_cast<const uint8_t*>(samples);
      Bytes.insert(Bytes.end(), bytes, bytes + frames * kMixChannels * 2);
    };
  }
  struct TCall {
    uint32_t Frames, AtTime;
  };
  std::vector<TCall> Calls;
  std::vector<uint8_t> Bytes;
};

bool Silent(std::vector<uint8_t>::const_iterator from, std::vector<uint8_t>::const_iterator to) {
  return std::all_of(from, to, [](uint8_t byte) { return byte == 0; });
}

TEST(HeadlessAudio, EveryStepOfTheClockMixesItsShareWithoutDrift) {
  THeadlessHost host;
  host.StepMs = 33;
  TCapture capture(host);
  auto frame = TPlatformSurface::Create(4, 4, PixelFormatForDepth(16, false));
  for (int step = 0; step < 10; ++step) {
    // Shown and skipped frames alike: time passes in both.
    if (step % 3)
      host.Present(*frame, false, TFrameChanges{});
    else
      host.FrameSkipped();
  }
  ASSERT_EQ(capture.Calls.size(), 10u);
  uint32_t total = 0;
  for (size_t i = 0; i < capture.Calls.size(); ++i) {
    EXPECT_TRUE(capture.Calls[i].Frames == 1455 || capture.Calls[i].Frames == 1456);
    EXPECT_EQ(capture.Calls[i].AtTime, 33 * i);  // mixed before the clock moves on
    total += capture.Calls[i].Frames;
  }
  EXPECT_EQ(total, 44100u * 330 / 1000);
  EXPECT_TRUE(Silent(capture.Bytes.begin(), capture.Bytes.end()));  // no mixer: silence

  // A step longer than the host mixes at once still adds up to its exact length.
  host.StepMs = 1000;
  capture.Calls.clear();
  host.FrameSkipped();
  total = 0;
  for (const TCapture::TCall& call : capture.Calls) total += call.Frames;
  EXPECT_EQ(total, 44100u);
}

TEST(HeadlessAudio, AWavPlayedOnceIsCapturedByteForByteThenSilence) {
  THeadlessHost host;
  TCapture capture(host);
  TAudioMixer mixer;
  std::string error;
  ASSERT_TRUE(host.OpenAudio(mixer, error));
  const std::vector<uint8_t> wave = Noise(100000, 5);
  Playing(mixer, wave, false);
  auto frame = TPlatformSurface::Create(4, 4, PixelFormatForDepth(16, false));
  for (int i = 0; i < 40; ++i) host.Present(*frame, false, TFrameChanges{});

  ASSERT_EQ(capture.Bytes.size(), 40u * 882 * 4);
  EXPECT_TRUE(std::equal(wave.begin(), wave.end(), capture.Bytes.begin()));
  EXPECT_TRUE(Silent(capture.Bytes.begin() + wave.size(), capture.Bytes.end()));
}

TEST(HeadlessAudio, AClosedDeviceLeavesTheMixerAlone) {
  THeadlessHost host;
  TCapture capture(host);
  TAudioMixer mixer;
  std::string error;
  host.OpenAudio(mixer, error);
  TAudioChannel channel = Playing(mixer, Noise(4000, 9), true);
  host.FrameSkipped();
  EXPECT_EQ(PlayedBytes(mixer, channel), 882u * 4);
  host.CloseAudio();
  capture.Bytes.clear();
  host.FrameSkipped();
  EXPECT_EQ(PlayedBytes(mixer, channel), 882u * 4);
  EXPECT_EQ(capture.Bytes.size(), 882u * 4);
  EXPECT_TRUE(Silent(capture.Bytes.begin(), capture.Bytes.end()));
}

// Runs the headless host's tasks each step, as the engine loop does, and notes when each
// timer's task ran.
struct TVirtualRun {
  THeadlessHost Host;
  std::vector<std::pair<char, uint32_t>> Runs;

  std::function<void()> Note(char name) {
    return [this, name] { Runs.push_back({name, Host.VirtualTime}); };
  }
  void Steps(int count) {
    for (int i = 0; i < count; ++i) {
      Host.RunTasks();
      Host.FrameSkipped();
    }
  }
};

TEST(HeadlessTimers, TasksRunAfterEachIntervalOfVirtualTimeInCreationOrder) {
  TVirtualRun run;
  auto b = run.Host.StartTimer(40, run.Note('b'));
  auto a = run.Host.StartTimer(50, run.Note('a'));
  run.Steps(7);  // 0 .. 120
  // Due 40 (b) and 50 (a); a step is 20 ms, so each runs at the first turn at or after its
  // time and is due an interval after that.
  EXPECT_EQ(run.Runs, (std::vector<std::pair<char, uint32_t>>{
                          {'b', 40}, {'a', 60}, {'b', 80}, {'b', 120}, {'a', 120}}));

  // The same run gives the same times, also across the clock's wrap-around.
  TVirtualRun wrapped;
  wrapped.Host.StartClock(0xFFFFFFFFu - 30);
  auto c = wrapped.Host.StartTimer(50, wrapped.Note('c'));
  wrapped.Steps(7);
  ASSERT_EQ(wrapped.Runs.size(), 2u);
  EXPECT_EQ(wrapped.Runs[0].second, 0xFFFFFFFFu - 30 + 60);
  EXPECT_EQ(wrapped.Runs[1].second, 0xFFFFFFFFu - 30 + 120);
}

TEST(HeadlessTimers, ATimerDestroyedInsideATaskNeverRunsAgain) {
  TVirtualRun run;
  std::unique_ptr<THostTimer> self, later, started;
  int selfRuns = 0, laterRuns = 0, startedRuns = 0;
  self = run.Host.StartTimer(20, [&] {
    ++selfRuns;
    self.reset();   // its own timer, while its task runs
    later.reset();  // another one, due in this very turn
    started = run.Host.StartTimer(0, [&] { ++startedRuns; });
  });
  later = run.Host.StartTimer(20, [&] { ++laterRuns; });
  run.Steps(6);
  EXPECT_EQ(selfRuns, 1);
  EXPECT_EQ(laterRuns, 0);
  EXPECT_EQ(startedRuns, 4);  // from the next turn on, once a turn
}

class EngineTimers : public ::testing::Test, public TScriptRun {};

TEST_F(EngineTimers, TheEngineLoopRunsDueTasksBeforeEachFrame) {
  Load("");
  std::vector<uint32_t> times;
  auto timer = Headless->StartTimer(50, [&] { times.push_back(Headless->PlayedMs()); });
  Frames(10);
  EXPECT_EQ(times, (std::vector<uint32_t>{60, 120, 180}));
}

// Calls RunTasks until `done` or `patience` has passed.
template <typename TDone>
bool RunTasksUntil(THost& host, TDone done, std::chrono::milliseconds patience = 2s) {
  const auto limit = std::chrono::steady_clock::now() + patience;
  while (!done() && std::chrono::steady_clock::now() < limit) {
    host.RunTasks();
    std::this_thread::sleep_for(1ms);
  }
  return done();
}

TEST(SdlTimers, TasksAreHandedToTheThreadThatRunsTasks) {
  auto host = CreateSdlHost();
  std::vector<std::thread::id> ranOn;
  auto timer = host->StartTimer(2, [&] { ranOn.push_back(std::this_thread::get_id()); });
  ASSERT_TRUE(RunTasksUntil(*host, [&] { return ranOn.size() >= 5; }));
  timer.reset();
  EXPECT_TRUE(std::all_of(ranOn.begin(), ranOn.end(),
                          [](std::thread::id id) { return id == std::this_thread::get_id(); }));
  const size_t runs = ranOn.size();
  std::this_thread::sleep_for(20ms);
  host->RunTasks();
  EXPECT_EQ(ranOn.size(), runs);  // joined: nothing more comes
}

TEST(SdlTimers, ATimerWaitsForItsTaskBeforeCountingTheNextInterval) {
  auto host = CreateSdlHost();
  int runs = 0;
  auto timer = host->StartTimer(1, [&] { ++runs; });
  std::this_thread::sleep_for(50ms);  // fifty intervals, but the task is handed over once
  host->RunTasks();
  EXPECT_EQ(runs, 1);
}

TEST(SdlTimers, DestroyedTimersNeverRunTheirTaskAgain) {
  auto host = CreateSdlHost();
  // Destroyed from inside its own task, while RunTasks runs it.
  int selfRuns = 0;
  std::unique_ptr<THostTimer> self = host->StartTimer(1, [&] {
    ++selfRuns;
    self.reset();
  });
  ASSERT_TRUE(RunTasksUntil(*host, [&] { return selfRuns > 0; }));
  EXPECT_FALSE(self);

  // Destroyed while its task waits to be run.
  int waitingRuns = 0;
  auto waiting = host->StartTimer(1, [&] { ++waitingRuns; });
  std::this_thread::sleep_for(30ms);
  waiting.reset();
  RunTasksUntil(
      *host, [] { return false; }, 50ms);
  EXPECT_EQ(selfRuns, 1);
  EXPECT_EQ(waitingRuns, 0);
}

// Sets an environment variable for the scope and puts the old value back.
class TEnvironment {
 public:
  TEnvironment(const char* name, const std::string& value) : Name(name) {
    const char* old = std::getenv(name);
    if (old) Old = old;
    Had = old != nullptr;
    setenv(name, value.c_str(), 1);
  }
  ~TEnvironment() {
    if (Had)
      setenv(Name, Old.c_str(), 1);
    else
      unsetenv(Name);
  }

 private:
  const char* Name;
  std::string Old;
  bool Had = false;
};

TEST(SdlAudio, TheDeviceCallbackPullsTheMixUntilClosed) {
  TEnvironment driver("SDL_AUDIODRIVER", "dummy");
  auto host = CreateSdlHost();
  TAudioMixer mixer;
  TAudioChannel channel = Playing(mixer, Noise(44100 * 4, 3), true);
  std::string error;
  ASSERT_TRUE(host->OpenAudio(mixer, error)) << error;
  const auto limit = std::chrono::steady_clock::now() + 2s;
  while (PlayedBytes(mixer, channel) == 0 && std::chrono::steady_clock::now() < limit)
    std::this_thread::sleep_for(5ms);
  host->CloseAudio();
  const uint64_t played = PlayedBytes(mixer, channel);
  EXPECT_GT(played, 0u);
  std::this_thread::sleep_for(50ms);
  EXPECT_EQ(PlayedBytes(mixer, channel), played);
}

TEST(SdlAudio, TheDiskDriverRecordsTheMixAsItIs) {
  TTempFolder folder;
  const std::string file = (folder.Path / "out.raw").string();
  TEnvironment driver("SDL_AUDIODRIVER", "disk");
  TEnvironment output("SDL_DISKAUDIOFILE", file);
  auto host = CreateSdlHost();
  TAudioMixer mixer;
  const std::vector<uint8_t> wave = Noise(8820 * 4, 4);  // 0.2 s
  TAudioChannel channel = Playing(mixer, wave, false);
  std::string error;
  ASSERT_TRUE(host->OpenAudio(mixer, error)) << error;
  const auto limit = std::chrono::steady_clock::now() + 3s;
  while (mixer.IsPlaying(channel) && std::chrono::steady_clock::now() < limit)
    std::this_thread::sleep_for(5ms);
  host->CloseAudio();

  std::ifstream in(file, std::ios::binary);
  const std::vector<uint8_t> recorded{std::istreambuf_iterator<char>(in), {}};
  // SDL may write a silent buffer before the device is started; the sound comes whole after it.
  const auto start = std::find_if(recorded.begin(), recorded.end(), [](uint8_t b) { return b; });
  ASSERT_GE(recorded.end() - start, static_cast<std::ptrdiff_t>(wave.size()));
  EXPECT_EQ((start - recorded.begin()) % 4096, 0);
  EXPECT_TRUE(std::equal(wave.begin(), wave.end(), start));
  EXPECT_TRUE(Silent(start + static_cast<std::ptrdiff_t>(wave.size()), recorded.end()));
}

TEST(SdlAudio, NoDeviceIsAReasonNotAnEnd) {
  TEnvironment driver("SDL_AUDIODRIVER", "no-such-driver");
  auto host = CreateSdlHost();
  TAudioMixer mixer;
  std::string error;
  EXPECT_FALSE(host->OpenAudio(mixer, error));
  EXPECT_FALSE(error.empty());
  host->CloseAudio();  // harmless
}

}  // namespace
