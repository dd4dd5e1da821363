// The textured triangle filler against SDL's software renderer drawing the same textured
// triangles (SDL_RenderGeometry into an RGB565 surface), for large and small triangles inside
// a 640 x 480 frame. Rates are filled megapixels per second.
#include <SDL.h>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "BenchRatios.h"
#include "render3d/SE_PolyFiller.h"

namespace {

constexpr int32_t kWidth = 640, kHeight = 480;

// A fixed set of triangles of about `area` pixels each, wholly inside the frame, with
// texture coordinates spread over the texture.
std::vector<TFaceRec> MakeTriangles(int32_t count, double area, const uint16_t* texture) {
  std::mt19937 rng(static_cast<uint32_t>(area));
  std::uniform_real_distribution<double> unit(0, 1);
  std::vector<TFaceRec> faces;
  while (static_cast<int32_t>(faces.size()) < count) {
    double x[3], y[3];
    for (int i = 0; i < 3; ++i) x[i] = unit(rng), y[i] = unit(rng);
    const double shapeArea =
        std::abs((x[1] - x[0]) * (y[2] - y[0]) - (x[2] - x[0]) * (y[1] - y[0])) / 2;
    if (shapeArea < 0.05) continue;  // slivers would be all edge and no inside
    const double scale = std::sqrt(area / shapeArea);
    if (scale > kHeight - 2) continue;
    const double left = 1 + unit(rng) * (kWidth - 2 - scale),
                 top = unit(rng) * (kHeight - 1 - scale);
    TFaceRec face;
    face.Texture = texture;
    for (int i = 0; i < 3; ++i) {
      TCornerRec& c = face.Corners[i];
      c.X = static_cast<int32_t>(left + x[i] * scale);
      c.Y = static_cast<int32_t>(top + y[i] * scale);
      c.U = static_cast<int32_t>(rng() % 256), c.V = static_cast<int32_t>(rng() % 256);
    }
    face.FillProc = FillProcFor(kRenderTextured, false);
    faces.push_back(face);
  }
  return faces;
}

struct TScene {
  TScene(int32_t count, double area)
      : Frame(static_cast<size_t>(kWidth) * kHeight, 0x18E3), Texture(kTexturePixels) {
    std::mt19937 rng(11);
    for (uint16_t& texel : Texture) texel = static_cast<uint16_t>(rng() | 1);
    Faces = MakeTriangles(count, area, Texture.data());
    Target.ScreenBuffer = Frame.data();
    Target.Pitch = kWidth;
    // Each triangle alone on a cleared frame, so overlaps are counted as often as drawn.
    for (const TFaceRec& face : Faces) {
      std::fill(Frame.begin(), Frame.end(), 0);
      face.FillProc(Target, face);
      Pixels += std::count_if(Frame.begin(), Frame.end(), [](uint16_t p) { return p != 0; });
    }
  }
  std::vector<uint16_t> Frame, Texture;
  std::vector<TFaceRec> Faces;
  TFillTarget Target;
  int64_t Pixels = 0;
};

void Count(benchmark::State& state, int64_t pixels) {
  state.counters["Mpx/s"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * pixels / 1e6, benchmark::Counter::kIsRate);
}

void FillOurs(benchmark::State& state, int32_t count, double area) {
  TScene scene(count, area);
  for (auto _ : state) {
    for (const TFaceRec& face : scene.Faces) face.FillProc(scene.Target, face);
    benchmark::ClobberMemory();
  }
  Count(state, scene.Pixels);
}

template <class T, void (*Free)(T*)>
struct TSdlFree {
  void operator()(T* p) const { Free(p); }
};
template <class T, void (*Free)(T*)>
using TSdlHandle = std::unique_ptr<T, TSdlFree<T, Free>>;

// The same triangles through SDL: texture coordinates as fractions of the texture, the row
// coordinate u as SDL's vertical one, the texture copied without blending or tint.
void FillSdl(benchmark::State& state, int32_t count, double area) {
  TScene scene(count, area);
  TSdlHandle<SDL_Surface, SDL_FreeSurface> surface(SDL_CreateRGBSurfaceWithFormatFrom(
      scene.Frame.data(), kWidth, kHeight, 16, kWidth * 2, SDL_PIXELFORMAT_RGB565));
  TSdlHandle<SDL_Renderer, SDL_DestroyRenderer> renderer(
      surface ? SDL_CreateSoftwareRenderer(surface.get()) : nullptr);
  TSdlHandle<SDL_Texture, SDL_DestroyTexture> texture(
      renderer ? SDL_CreateTexture(renderer.get(), SDL_PIXELFORMAT_RGB565, SDL_TEXTUREACCESS_STATIC,
                                   kTextureSide, kTextureSide)
               : nullptr);
  if (!texture) return state.SkipWithError(SDL_GetError());
  SDL_UpdateTexture(texture.get(), nullptr, scene.Texture.data(), kTextureSide * 2);
  SDL_SetTextureBlendMode(texture.get(), SDL_BLENDMODE_NONE);
  std::vector<SDL_Vertex> vertices;
  for (const TFaceRec& face : scene.Faces)
    for (const TCornerRec& c : face.Corners)
      vertices.push_back({{static_cast<float>(c.X), static_cast<float>(c.Y)},
                          {255, 255, 255, 255},
                          {(c.V + 0.5f) / kTextureSide, (c.U + 0.5f) / kTextureSide}});
  const int vertexCount = static_cast<int>(vertices.size());
  for (auto _ : state) {
    SDL_RenderGeometry(renderer.get(), texture.get(), vertices.data(), vertexCount, nullptr, 0);
    SDL_RenderFlush(renderer.get());
    benchmark::ClobberMemory();
  }
  Count(state, scene.Pixels);
}

// Registered here because the program's main lives in bench_blit.cpp.
const bool kRegistered = [] {
  struct TSize {
    const char* Name;
    int32_t Count;
    double Area;
  };
  for (const TSize size : {TSize{"5000px", 64, 5000}, TSize{"200px", 1024, 200}}) {
    const std::string base = std::string("Fill/textured/") + size.Name;
    benchmark::RegisterBenchmark((base + "/ours").c_str(), FillOurs, size.Count, size.Area);
    benchmark::RegisterBenchmark((base + "/SDL").c_str(), FillSdl, size.Count, size.Area);
    TimeRatios().push_back({base + "/ours", base + "/SDL"});
  }
  return true;
}();

}  // namespace
