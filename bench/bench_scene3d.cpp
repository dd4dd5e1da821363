// The 3D scene at 640 x 480: a textured sphere of 2 000 faces turning every frame, drawn in the
// render modes scripts use, painter-ordered and with a depth buffer, and once with a fill
// routine that draws nothing so the front end (rotation, projection, checks, sort) shows on
// its own. Prints frames per second; the closing table compares the cases.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "BenchRatios.h"
#include "Scene3DSamples.h"
#include "render3d/SE_3DMapping.h"
#include "render3d/SE_PolyFiller.h"

namespace {

constexpr int32_t kWidth = 640, kHeight = 480;
constexpr int32_t kSlices = 40, kStacks = 26;  // 2 x 40 x 24 + 2 x 40 = 2 000 faces
constexpr int32_t kRadius = 180;

std::string SphereBytes() {
  std::vector<TVector3> vertices = {{0, -kRadius, 0}};
  for (int32_t stack = 1; stack < kStacks; ++stack) {
    const double polar = M_PI * stack / kStacks;
    for (int32_t slice = 0; slice < kSlices; ++slice) {
      const double around = 2 * M_PI * slice / kSlices;
      vertices.push_back(
          {static_cast<int32_t>(std::lround(kRadius * std::sin(polar) * std::cos(around))),
           static_cast<int32_t>(std::lround(-kRadius * std::cos(polar))),
           static_cast<int32_t>(std::lround(kRadius * std::sin(polar) * std::sin(around)))});
    }
  }
  vertices.push_back({0, kRadius, 0});
  const int32_t last = static_cast<int32_t>(vertices.size());
  const auto ring = [](int32_t stack, int32_t slice) {
    return 2 + (stack - 1) * kSlices + slice % kSlices;
  };
  std::vector<TVector3> faces;
  for (int32_t slice = 0; slice < kSlices; ++slice) {
    faces.push_back({1, ring(1, slice), ring(1, slice + 1)});
    faces.push_back({last, ring(kStacks - 1, slice), ring(kStacks - 1, slice + 1)});
    for (int32_t stack = 1; stack < kStacks - 1; ++stack) {
      faces.push_back({ring(stack, slice), ring(stack + 1, slice), ring(stack + 1, slice + 1)});
      faces.push_back({ring(stack, slice), ring(stack + 1, slice + 1), ring(stack, slice + 1)});
    }
  }
  return samples::ObjectBytes(vertices, samples::OutwardFaces(vertices, faces));
}

std::vector<uint16_t> Checkers(uint16_t a, uint16_t b) {
  std::vector<uint16_t> texture(kTexturePixels);
  for (int32_t i = 0; i < kTexturePixels; ++i) texture[i] = ((i >> 4) ^ (i >> 12)) & 1 ? a : b;
  return texture;
}

void Frames(benchmark::State& state, int32_t renderMode, bool zBuffer) {
  TSE3D scene(kWidth, kHeight, 16, 0, kHeight - 1, 0, kWidth - 1);
  auto sphere = samples::ParsedObject(SphereBytes());
  GenerateTexCoords(*sphere, kMappingSphere, {});
  sphere->Texture = Checkers(0xF800, 0xFFE0);
  sphere->Texture2 = Checkers(0x001F, 0x07E0);
  sphere->RenderCode = RenderCodeOfMode(renderMode);
  sphere->FillProc = FillProcFor(sphere->RenderCode, false);
  sphere->ScreenX = kWidth / 2, sphere->ScreenY = kHeight / 2;
  scene.Objects.push_back(sphere);
  scene.TotalFaces = sphere->FaceCount;
  scene.Prepare(zBuffer);
  std::vector<uint16_t> frame(kWidth * kHeight);
  for (auto _ : state) {
    std::fill(frame.begin(), frame.end(), 0x18E3);
    sphere->Beta += 120;
    sphere->Gamma += 45;
    scene.RenderAll(frame.data(), kWidth);
    benchmark::DoNotOptimize(frame.data());
  }
  state.counters["faces"] = scene.QueuedFaces;
  state.counters["frames/s"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
  state.counters["Mpx/s"] =
      benchmark::Counter(static_cast<double>(state.iterations()) * kWidth * kHeight / 1e6,
                         benchmark::Counter::kIsRate);
}

// Registered here because the program's main lives in bench_blit.cpp.
const bool kRegistered = [] {
  struct TCase {
    const char* Name;
    int32_t Mode;
    bool ZBuffer;
  };
  for (const TCase& c :
       {TCase{"scene3d/textured", 2, false}, TCase{"scene3d/textured-zbuffer", 2, true},
        TCase{"scene3d/keyed", 3, false}, TCase{"scene3d/two-textures", 4, false},
        TCase{"scene3d/environment", 5, false}, TCase{"scene3d/front-end", 0, false}})
    benchmark::RegisterBenchmark(c.Name, Frames, c.Mode, c.ZBuffer)->Unit(benchmark::kMillisecond);
  TimeRatios().insert(TimeRatios().end(), {{"scene3d/textured-zbuffer", "scene3d/textured"},
                                           {"scene3d/textured", "scene3d/front-end"}});
  return true;
}();

}  // namespace
