// The clip player on its own: where it draws, what it does without a clip, how a clip that
// lets itself go at its end leaves it, and what memory its frames take.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>

#include "HeapCounter.h"
#include "base/SE_MemoryBudget.h"

#include "TestSupport.h"
#include "video/SE_AnimPlay.h"

namespace {

// The AVI at `path` with another picture size in its main header and its video format.
void ClaimAviSize(const std::string& path, uint32_t width, uint32_t height) {
  std::ifstream in(path, std::ios::binary);
  std::string bytes{std::istreambuf_iterator<char>(in), {}};
  in.close();
  const auto put = [&](size_t at, uint32_t value) { std::memcpy(&bytes[at], &value, 4); };
  const size_t header = bytes.find("avih"), format = bytes.find("strf", bytes.find("vids"));
  ASSERT_NE(header, std::string::npos);
  ASSERT_NE(format, std::string::npos);
  put(header + 8 + 32, width);  // dwWidth, dwHeight
  put(header + 8 + 36, height);
  put(format + 8 + 4, width);  // biWidth, biHeight
  put(format + 8 + 8, height);
  std::ofstream(path, std::ios::binary) << bytes;
}

class AnimPlay : public ::testing::Test, public TScriptRun {
 protected:
  void SetUp() override {
    Headless->Quiet = true;
    Load("");
    clip = (Temp.Path / "clip.avi").string();
    const std::string command =
        "ffmpeg -v error -y -f lavfi -i testsrc=size=64x48:rate=10:duration=1 -c:v mpeg4 " + clip;
    ASSERT_EQ(std::system(command.c_str()), 0);
  }
  TGEDisplay& Display() { return *Veke->Engine->Display; }

  TTempFolder Temp;
  std::string clip;
};

TEST_F(AnimPlay, WithoutAClipNothingPlaysAndTimeStandsAtZero) {
  TGEAnimPlay player(Display(), nullptr);
  player.Play();
  EXPECT_FALSE(player.Playing);
  EXPECT_EQ(player.GetTime(), 0);
  EXPECT_FALSE(player.Update());
  player.Open((Temp.Path / "none.avi").string(), 5, 5, false, false, 0, 0, 0, false);
  player.Play();
  EXPECT_FALSE(player.Opened);
  EXPECT_FALSE(player.Playing);
  std::string text;
  EXPECT_TRUE(player.GetError(text));  // a missing clip is not an error of the player
}

TEST_F(AnimPlay, SizesComeFromTheClipTheCallerOrTheWholeDisplay) {
  TGEAnimPlay player(Display(), nullptr);
  player.Open(clip, 10, 20, false, false, 0, 0, 0, false);
  EXPECT_EQ(player.VideoWidth, 64);
  EXPECT_EQ(player.DestRect.Right, 74);
  EXPECT_EQ(player.DestRect.Bottom, 68);
  player.Open(clip, 10, 20, false, false, 0, 128, 0, false);
  EXPECT_EQ(player.DestRect.Right, 138);
  EXPECT_EQ(player.DestRect.Bottom, 68);
  player.Open(clip, 10, 20, true, false, 0, 5, 5, false);
  EXPECT_EQ(player.DestRect.Left, 0);
  EXPECT_EQ(player.DestRect.Right, 640);
  EXPECT_EQ(player.DestRect.Bottom, 480);
  EXPECT_FALSE(player.Update());  // stopped: nothing drawn
}

TEST_F(AnimPlay, AClipThatLetsItselfGoNeedsOpeningAgain) {
  TGEAnimPlay player(Display(), nullptr);
  player.Open(clip, 0, 0, false, false, 0, 0, 0, true);
  player.Play();
  for (int i = 0; i < 100 && player.Playing; ++i) {
    Frame();
    player.Update();
  }
  EXPECT_FALSE(player.Playing);
  EXPECT_FALSE(player.Opened);
  EXPECT_EQ(player.GetTime(), 0);
  player.Play();
  EXPECT_FALSE(player.Playing);
}

// A header may claim any size: declaring a clip takes no memory for its frames, and the first
// frame's buffer is made when it decodes, at its own size, held to the cap of a picture and
// charged to the memory budget while the clip is open.
TEST_F(AnimPlay, FramesTakeMemoryAtTheirOwnSizeWhenTheFirstOneDecodes) {
  const std::string lying = (Temp.Path / "lying.avi").string();
  const std::string command = "ffmpeg -v error -y -f lavfi -i testsrc=size=64x48:rate=10:duration=1 "
                              "-c:v cinepak " + lying;
  ASSERT_EQ(std::system(command.c_str()), 0);
  ClaimAviSize(lying, 16000, 16000);
  struct TCase {
    std::string File;
    int32_t Width, Height;  // of the buffer made for the first frame; 0: none is made
  };
  for (const TCase& test : {TCase{clip, 64, 48}, TCase{lying, 0, 0}}) {
    SCOPED_TRACE(test.File);
    const uint64_t charged = MemoryInUse();
    const size_t held = AllocatedBytes();
    TGEAnimPlay player(Display(), nullptr);
    player.Open(test.File, 0, 0, false, false, 0, 0, 0, false);
    EXPECT_TRUE(player.Opened);
    EXPECT_FALSE(player.VideoSurface);
    EXPECT_LT(AllocatedBytes(), held + (16u << 20));
    EXPECT_EQ(MemoryInUse(), charged);
    player.Play();
    Frame();
    player.Update();
    EXPECT_LT(AllocatedBytes(), held + (16u << 20));
    EXPECT_EQ(player.Playing, test.Width != 0);  // a clip without a frame of its own ends
    if (test.Width == 0) continue;
    ASSERT_TRUE(player.VideoSurface);
    EXPECT_EQ(player.VideoSurface->Width(), test.Width);
    EXPECT_EQ(player.VideoSurface->Height(), test.Height);
    EXPECT_EQ(MemoryInUse(), charged + uint64_t(test.Width) * test.Height * 2);
  }
}

}  // namespace
