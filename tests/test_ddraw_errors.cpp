#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

#include "base/SE_DDrawErrors.h"

namespace {

constexpr const char* kUnrecognized = "Unrecognized Error";

TEST(DDrawErrors, TableIsSortedUniqueAndComplete) {
  const auto table = DDErrorTable();
  // Success plus the 115 failure codes a display failure can report.
  EXPECT_EQ(table.size(), 116u);
  std::set<uint32_t> codes;
  std::set<std::string> texts;
  for (size_t i = 0; i < table.size(); ++i) {
    EXPECT_TRUE(codes.insert(table[i].Code).second) << std::hex << table[i].Code;
    ASSERT_NE(table[i].Text, nullptr);
    EXPECT_GT(std::strlen(table[i].Text), 0u) << std::hex << table[i].Code;
    // Two codes sharing a text would mean one was pasted over the other.
    EXPECT_TRUE(texts.insert(table[i].Text).second) << table[i].Text;
    if (i > 0) {
      EXPECT_LT(table[i - 1].Code, table[i].Code);
    }
    EXPECT_EQ(DDErrorDescription(table[i].Code), table[i].Text);
  }
}

TEST(DDrawErrors, KnownDescriptions) {
  EXPECT_STREQ(DDErrorDescription(DDResult::kOk), "The request completed successfully.");
  EXPECT_STREQ(DDErrorDescription(DDResult::kInvalidMode),
               "DirectDraw does not support the requested mode.");
  EXPECT_STREQ(DDErrorDescription(DDResult::kOutOfMemory),
               "DirectDraw does not have enough memory to perform the operation.");
  EXPECT_STREQ(DDErrorDescription(DDResult::kSurfaceLost),
               "Access to the surface is refused because the surface memory is gone. Call the "
               "IDirectDrawSurface::Restore method on this surface to restore the memory "
               "associated with it.");
  // The first and last entries guard the ends of the binary search.
  EXPECT_STREQ(DDErrorDescription(DDResult::kDeviceDoesntOwnSurface),
               "Surfaces created by one DirectDraw device cannot be used directly by another "
               "DirectDraw device.");
}

// Raw values as a driver returns them, so a wrong constant shows up as a wrong text.
TEST(DDrawErrors, RawCodesMapToTheirTexts) {
  EXPECT_STREQ(DDErrorDescription(0x80004005u), "There is an undefined error condition.");
  EXPECT_STREQ(DDErrorDescription(0x80004001u), "The operation is not supported.");
  EXPECT_STREQ(DDErrorDescription(0x80070057u),
               "One or more of the parameters passed to the method are incorrect.");
  EXPECT_STREQ(DDErrorDescription(0x887601C2u),  // 450
               DDErrorDescription(DDResult::kSurfaceLost));
  EXPECT_STREQ(DDErrorDescription(0x8876017Cu),  // 380
               "DirectDraw does not have enough display memory to perform the operation.");
  EXPECT_STREQ(DDErrorDescription(0x8876021Cu),  // 540
               "The previous blit operation that is transferring information to or from this "
               "surface is incomplete.");
}

TEST(DDrawErrors, UnknownCodesAreUnrecognized) {
  EXPECT_STREQ(DDErrorDescription(DDResult::kFalse), kUnrecognized);
  EXPECT_STREQ(DDErrorDescription(DDResult::kFacilityBase), kUnrecognized);
  EXPECT_STREQ(DDErrorDescription(DDResult::Make(451)), kUnrecognized);
  EXPECT_STREQ(DDErrorDescription(0xFFFFFFFFu), kUnrecognized);
  // Known to the SDK headers but without a description in the player's table.
  EXPECT_STREQ(DDErrorDescription(DDResult::kNewMode), kUnrecognized);
}

}  // namespace
