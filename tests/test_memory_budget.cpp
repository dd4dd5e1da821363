// The memory budget of decoded pictures and video frames: sizes as the command line writes
// them, and declarations that share it, give it back, and fail past it as unreadable files do.
#include <gtest/gtest.h>

#include <algorithm>

#include "ObjectSamples.h"
#include "PictureSamples.h"
#include "TestSupport.h"
#include "base/SE_MemoryBudget.h"
#include "platform/PL_Text.h"

namespace {
using namespace samples;

TEST(MemoryBudgetSizes, AreReadAndShownAsPeopleWriteThem) {
  struct TCase {
    std::string Text;
    uint64_t Bytes;  // 0: refused
  };
  const TCase cases[] = {
      {"512M", uint64_t{512} << 20},
      {"2G", uint64_t{2} << 30},
      {"2g", uint64_t{2} << 30},
      {"64K", 65536},
      {"1T", uint64_t{1} << 40},
      {"1048576", 1048576},
      {"0", 0},
      {"0G", 0},
      {"", 0},
      {"G", 0},
      {"-1G", 0},
      {"1.5G", 0},
      {"2GB", 0},
      {"2 G", 0},
      {"12X", 0},
      {"18446744073709551615", UINT64_MAX},
      {"18446744073709551616", 0},
      {"16777216T", 0},
  };
  for (const TCase& test : cases) {
    SCOPED_TRACE(test.Text);
    uint64_t bytes = 7;
    EXPECT_EQ(ParseMemorySize(test.Text, bytes), test.Bytes != 0);
    EXPECT_EQ(bytes, test.Bytes != 0 ? test.Bytes : 7);
  }
  EXPECT_EQ(MemorySizeText(700), "700 bytes");
  EXPECT_EQ(MemorySizeText(uint64_t{512} << 20), "512 MiB");
  EXPECT_EQ(MemorySizeText(uint64_t{3} << 29), "1.5 GiB");
  EXPECT_EQ(MemorySizeText(20'000), "19.5 KiB");
}

// Pictures: "one.spr" and "two.spr", 100 x 100 each.
class MemoryBudget : public ::testing::Test, public TScriptRun {
 protected:
  void SetUp() override {
    Headless->Quiet = true;
    WriteFontFile(Temp, "fonts.ger");
    Temp.Write("one.spr", SolidSpr(100, 100, kRed));
    Temp.Write("two.spr", SolidSpr(100, 100, kGreen));
    TBmpFile bmp(100, 100);
    bmp.Pixels = PackRows(100, 100, 24, false, [](int32_t, int32_t) { return 0xFF00FFu; });
    const std::vector<uint8_t> bytes = WriteBmp(bmp);
    Temp.Write("three.bmp", std::string(bytes.begin(), bytes.end()));
  }
  void TearDown() override { SetMemoryLimit(Limit); }
  void Play(const std::string& script) {
    Load("CREATEENGINE(640, 480, T, FONTS.GER)\nCLEAR($84108410)\n" + script);
  }

  const uint64_t Limit = MemoryLimit();
  TTempFolder Temp;
  TScriptFolderScope Folder{Temp.Path.string()};
};

TEST_F(MemoryBudget, PicturesShareItAndADeclarationPastItFailsNamingFileAndBudget) {
  const uint64_t before = MemoryInUse();
  Play("");
  const uint64_t engine = MemoryInUse() - before;  // what the engine itself holds
  Veke.reset();
  EXPECT_EQ(MemoryInUse(), before);

  constexpr uint64_t kPicture = 100 * 100 * 2;
  const uint64_t budget = before + engine + kPicture * 3 / 2;
  SetMemoryLimit(budget);
  testing::internal::CaptureStderr();
  Play(
      "CREATEIMAGE(a, , one.spr, 0, 0, FALSE, TRUE)\n"
      "CREATEIMAGE(b, , ONE.SPR, 200, 0, FALSE, TRUE)\n"  // the same picture, charged once
      "CREATEIMAGE(c, , two.spr, 400, 0, FALSE, TRUE)\n"
      "CREATEIMAGE(d, , three.bmp, 400, 0, FALSE, TRUE)\n");
  const std::string errors = testing::internal::GetCapturedStderr();
  EXPECT_EQ(MemoryInUse(), before + engine + kPicture);
  // A decoded file is refused before it is decoded when its rows (three bytes a pixel) would
  // not fit either.
  for (const auto& [file, needs] : {std::pair{"two.spr", "19.5 KiB"}, {"three.bmp", "29.2 KiB"}}) {
    EXPECT_EQ(std::ranges::count_if(Headless->Messages,
                                    [&, file = file](const std::string& message) {
                                      return UpperAscii(message).ends_with("LOAD ERROR! FILE: " +
                                                                           UpperAscii(file));
                                    }),
              1)
        << file;
    EXPECT_NE(errors.find("memory budget: " + (Temp.Path / file).string() + " needs " + needs +
                          ", more than is left of the " + MemorySizeText(budget) + " budget"),
              std::string::npos)
        << errors;
  }
  EXPECT_EQ(errors.find("one.spr"), std::string::npos) << errors;
  Frame();
  EXPECT_EQ(Pixel(50, 50), kRed);
  EXPECT_EQ(Pixel(250, 50), kRed);
  EXPECT_NE(Pixel(450, 50), kGreen);

  // Let go, the pictures give their memory back, and the other one finds room.
  Veke.reset();
  EXPECT_EQ(MemoryInUse(), before);
  Play("CREATEIMAGE(c, , two.spr, 400, 0, FALSE, TRUE)\n");
  Frame();
  EXPECT_EQ(Pixel(450, 50), kGreen);
}

}  // namespace
