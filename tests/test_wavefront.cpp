// Meshes from 3D tools into object files: what authors' OBJ files hold, and what is refused.
#include <gtest/gtest.h>

#include "render3d/SE_Wavefront.h"

namespace {

int32_t Int16At(const std::vector<uint8_t>& bytes, size_t index) {
  return static_cast<int16_t>(bytes[2 * index] | bytes[2 * index + 1] << 8);
}

TEST(Wavefront, PolygonsFanFromTheirFirstCornerAndIndicesMayCountBack) {
  TWavefrontStats stats;
  const auto bytes = ConvertWavefront(
      "# a square and a triangle\nv 0 0 0\nv 10 0 0\nv 10 10 0\nv 0 10 0\n"
      "vt 0.5 0.5\nvn 0 0 1\ng side\nf 1/1/1 2/1/1 3//1 4\nf -1 -3 -2\n",
      {.ConvertAxes = false}, &stats);
  ASSERT_EQ(bytes.size(), 4u + 6 * 4 + 6 * 3);
  EXPECT_EQ(Int16At(bytes, 0), 4);
  EXPECT_EQ(Int16At(bytes, 1), 3);
  EXPECT_EQ(Int16At(bytes, 2 + 3 * 2), 10);  // vertex 3: (10, 10, 0)
  const std::vector<int32_t> faces = {1, 2, 3, 1, 3, 4, 4, 2, 3};
  for (size_t i = 0; i < faces.size(); ++i) EXPECT_EQ(Int16At(bytes, 2 + 12 + i), faces[i]) << i;
  EXPECT_EQ(stats.Polygons, 1);
}

TEST(Wavefront, AxesTurnToThePlayersAndScaleFitsAndCentres) {
  const std::string mesh = "v 1 2 3\r\nv 3 4 5\r\nf 1 2 1\r\n";  // as Windows tools end lines
  const auto turned = ConvertWavefront(mesh, {});
  EXPECT_EQ(Int16At(turned, 2), 1);
  EXPECT_EQ(Int16At(turned, 3), -2);
  EXPECT_EQ(Int16At(turned, 4), -3);
  // Centred on (2, 3, 4), the corners lie sqrt(3) away; fitted to 100: 57.7 per axis.
  const auto fitted = ConvertWavefront(mesh, {.Fit = 100, .Center = true, .ConvertAxes = false});
  EXPECT_EQ(Int16At(fitted, 2), -58);
  EXPECT_EQ(Int16At(fitted, 5), 58);
  const auto scaled = ConvertWavefront(mesh, {.Scale = 2.5, .ConvertAxes = false});
  EXPECT_EQ(Int16At(scaled, 7), 12);  // 5 x 2.5 = 12.5, a tie, goes to the even 12
  // Coordinates near the end of the range fit like any others.
  const auto huge =
      ConvertWavefront("v 1e200 0 0\nv 0 -3e200 0\nf 1 2 1\n", {.Fit = 100, .ConvertAxes = false});
  EXPECT_EQ(Int16At(huge, 2), 33);
  EXPECT_EQ(Int16At(huge, 6), -100);
}

TEST(Wavefront, WhatTheObjectFileCannotHoldIsRefusedNamingTheLine) {
  const auto refused = [](const std::string& text, const std::string& words) {
    try {
      ConvertWavefront(text, {});
      ADD_FAILURE() << "accepted: " << text;
    } catch (const TWavefrontError& error) {
      EXPECT_NE(std::string(error.what()).find(words), std::string::npos) << error.what();
    }
  };
  refused("v 0 0 0\nv 1 0 0\nf 1 2 3\n", "line 3: vertex 3 is not among the 2");
  refused("v 0 0 0\nf 1 1 -5\n", "vertex -5");
  refused("v 0 x 0\n", "line 1: bad coordinate \"x\"");
  refused(std::string("v 0 1\0x 0\n", 11), "line 1: bad coordinate \"1\\x00x\"");
  for (const char* word : {"+1", "0x10", "1e-400", "1e400", "inf", "1,5", "1.5.2"})
    refused("v 0 " + std::string(word) + " 0\n", "line 1: bad coordinate");
  refused("v 0 0 0\nf 1 2\n", "at least three corners");
  refused("v 40000 0 0\nf 1 1 1\n", "outside -32768..32767");
  refused("", "no faces");
  refused("v 0 0 0\nv 1 1 1\n", "no faces");
  refused("v 0.1 0 0\nv 0 0.2 0\nv 0 0 0.3\nf 1 2 3\n", "every vertex rounds to the same point");
  std::string many;
  for (int i = 0; i < 32768; ++i) many += "v 0 0 0\n";
  refused(many, "32768 vertices");
}

}  // namespace
