// The clip player on its own: where it draws, what it does without a clip, and how a clip
// that lets itself go at its end leaves it.
#include <gtest/gtest.h>

#include <cstdlib>

#include "TestSupport.h"
#include "video/SE_AnimPlay.h"

namespace {

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

}  // namespace
