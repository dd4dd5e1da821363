// Parameter conversions at parse time and at run time.
#include <gtest/gtest.h>

#include "TestSupport.h"
#include "player/VEKParams.h"

namespace {
TEST(ScriptNumbers, IntegersAcceptDecimalAndBothHexForms) {
  struct Case {
    const char* text;
    bool ok;
    int32_t value;
  } cases[] = {{"0", true, 0},           {"-17", true, -17},          {"+5", true, 5},
               {"$1F", true, 31},        {"0x1f", true, 31},          {"$FFFFFFFF", true, -1},
               {"-$10", true, -16},      {"2147483647", true, 2147483647},
               {"-2147483648", true, INT32_MIN},
               {"2147483648", false, 0}, {"$100000000", false, 0},    {"", false, 0},
               {"-", false, 0},          {"$", false, 0},             {"12a", false, 0},
               {"1 2", false, 0},        {"0x", false, 0},            {"1.0", false, 0}};
  for (const auto& c : cases) {
    int32_t value = 12345;
    EXPECT_EQ(TextToInt(c.text, value), c.ok) << c.text;
    if (c.ok) {
      EXPECT_EQ(value, c.value) << c.text;
    }
  }
}

TEST(ScriptNumbers, RealsUseThePointWhateverTheLocale) {
  long double value = 0;
  ASSERT_TRUE(TextToReal("1.5", value));
  EXPECT_EQ(value, 1.5L);
  ASSERT_TRUE(TextToReal("-2.5E+2", value));
  EXPECT_EQ(value, -250.0L);
  ASSERT_TRUE(TextToReal(".5", value));
  EXPECT_EQ(value, 0.5L);
  for (const char* bad : {"", ".", "1e", "inf", "nan", "0x10", "1.5x", "1,5", "e5"})
    EXPECT_FALSE(TextToReal(bad, value)) << bad;
}

TEST(ScriptNumbers, BooleanKeywordsAreTwoFixedLists) {
  for (const char* word : {"TRUE", "VISIBLE", "ENABLED", "AUTODONE", "LOOPED", "CONTINOUOS",
                           "SHOWINVISIBLEFACES", "SPRITE", "ON"})
    EXPECT_EQ(BoolKeyword(word), 1) << word;
  for (const char* word : {"FALSE", "INVISIBLE", "DISABLED", "NOAUTODONE", "NOLOOPED",
                           "NOCONTINOUOS", "NOSHOWINVISIBLEFACES", "NOSPRITE", "OFF"})
    EXPECT_EQ(BoolKeyword(word), 0) << word;
  for (const char* word : {"", "true", "YES", "CONTINUOUS"}) EXPECT_EQ(BoolKeyword(word), -1);
}

TEST(ScriptParamReader, ReadsQuotedUnquotedAndLastParameters) {
  TParamReader reader("\"Say, (hi)\"  junk, next , , last )  tail");
  std::string value;
  ASSERT_TRUE(reader.Next(value));
  EXPECT_EQ(value, "\"Say, (hi)\"");
  ASSERT_TRUE(reader.Next(value));
  EXPECT_EQ(value, "NEXT");
  ASSERT_TRUE(reader.Next(value));
  EXPECT_EQ(value, "");
  ASSERT_TRUE(reader.Next(value));
  EXPECT_EQ(value, "LAST");
  EXPECT_FALSE(reader.Next(value));  // only "  tail" is left: no "," and no ")"
}

TEST(ScriptParamReader, RestStopsAtTheParenthesis) {
  TParamReader reader("img, 10, 20 ) // x");
  std::string name;
  ASSERT_TRUE(reader.Next(name));
  EXPECT_EQ(reader.RestUpToParen(), "10, 20");
  EXPECT_EQ(TParamReader(" a , b ").RestUpToParen(), "A , B");
}

class RunTimeParams : public ::testing::Test, public THeadlessFixture {};

TEST_F(RunTimeParams, ReadFromTheFrontAndWarnOnBadNumbers) {
  std::string text = " 10, black,white,$20, x1, ,";
  EXPECT_EQ(ParamInt(text), 10);
  EXPECT_EQ(ParamInt(text), 0);
  EXPECT_EQ(ParamInt(text), -1);
  EXPECT_EQ(ParamInt(text), 32);
  EXPECT_TRUE(Headless->Messages.empty());
  EXPECT_EQ(ParamInt(text), 0);
  ASSERT_EQ(Headless->Messages.size(), 1u);
  EXPECT_EQ(Headless->Messages[0], "Üzenet: Hibás egész szám effekt paraméter.");
  EXPECT_EQ(ParamInt(text), -1);  // empty
  EXPECT_EQ(ParamInt(text), -1);  // nothing left at all
  EXPECT_EQ(text, "");
}

TEST_F(RunTimeParams, BooleansDefaultToTrueAndQuotesMeanNothing) {
  std::string text = "off, invisible, maybe,,\"FALSE\"";
  EXPECT_FALSE(ParamBool(text));
  EXPECT_FALSE(ParamBool(text));
  EXPECT_TRUE(ParamBool(text));
  EXPECT_TRUE(ParamBool(text));
  EXPECT_TRUE(ParamBool(text));
  EXPECT_TRUE(ParamBool(text));
  std::string call = "sub, extra";
  EXPECT_EQ(NextParam(call), "SUB");
  EXPECT_EQ(call, " extra");
  EXPECT_TRUE(Headless->Messages.empty());
}
}  // namespace
