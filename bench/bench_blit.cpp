// Memory-mode blitters against SDL's own blits on the same pixels, on a 640 x 480 RGB565
// target. Prints megapixels per second per case, then ours / SDL and ours / memcpy.
#include <SDL.h>
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "BenchRatios.h"
#include "graphics/SE_Blit.h"

namespace {

constexpr int32_t kTargetWidth = 640, kTargetHeight = 480;

enum class TShape { Solid, Bordered, Outlined, Scattered };

// RGB565 pixels without 0, except where the shape makes them transparent: a disc inside a
// transparent border, a ring (the disc's outline, a fifth of its radius wide), or one pixel in
// four scattered at random.
std::vector<uint16_t> MakeSprite(int32_t width, int32_t height, TShape shape) {
  std::mt19937 rng(width * 31 + static_cast<int>(shape));
  std::vector<uint16_t> pixels(static_cast<size_t>(width) * height);
  const double cx = width / 2.0, cy = height / 2.0, r = std::min(cx, cy) * 0.9;
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x) {
      const double dx = x + 0.5 - cx, dy = y + 0.5 - cy;
      const double d2 = dx * dx + dy * dy;
      const bool hole = (shape == TShape::Bordered && d2 > r * r) ||
                        (shape == TShape::Outlined && (d2 > r * r || d2 < 0.64 * r * r)) ||
                        (shape == TShape::Scattered && rng() % 4 == 0);
      pixels[y * width + x] = hole ? 0 : static_cast<uint16_t>(rng() | 1);
    }
  return pixels;
}

struct TSurfaceDeleter {
  void operator()(SDL_Surface* s) const { SDL_FreeSurface(s); }
};
using TSdlSurface = std::unique_ptr<SDL_Surface, TSurfaceDeleter>;

TSdlSurface Wrap(uint16_t* pixels, int32_t width, int32_t height) {
  return TSdlSurface(SDL_CreateRGBSurfaceWithFormatFrom(pixels, width, height, 16, width * 2,
                                                        SDL_PIXELFORMAT_RGB565));
}

// One sprite on the shared target, with SDL views of both.
struct TScene {
  TScene(int32_t width, int32_t height, TShape shape, bool pack = true)
      : Target(kTargetWidth * kTargetHeight, 0x4208), Sprite(MakeSprite(width, height, shape)) {
    TargetDesc = {kTargetWidth,
                  kTargetHeight,
                  kTargetWidth * 2,
                  reinterpret_cast<uint8_t*>(Target.data()),
                  {}};
    Blit.Pixels = reinterpret_cast<const uint8_t*>(Sprite.data());
    Blit.Width = width, Blit.Height = height;
    Blit.X = (kTargetWidth - width) / 2, Blit.Y = (kTargetHeight - height) / 2;
    Blit.ClipRight = kTargetWidth - 1, Blit.ClipBottom = kTargetHeight - 1;
    // As the player's pictures have them.
    Spans = FindVisibleSpans(Blit.Pixels, width, height, 2);
    if (pack) PackVisibleRows(Spans, Blit.Pixels, width, 2, "sprite");
    Blit.Spans = &Spans;
    SdlTarget = Wrap(Target.data(), kTargetWidth, kTargetHeight);
    SdlSprite = Wrap(Sprite.data(), width, height);
  }
  int64_t Pixels() const { return int64_t{Blit.Width} * Blit.Height; }
  std::vector<uint16_t> Target, Sprite;
  TVisibleSpans Spans;
  TSurfaceDesc TargetDesc;
  TBlitSprite Blit;
  TSdlSurface SdlTarget, SdlSprite;
};

void Measure(benchmark::State& state, int64_t pixels, const std::function<void()>& draw) {
  for (auto _ : state) {
    draw();
    benchmark::ClobberMemory();
  }
  state.counters["Mpx/s"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * pixels / 1e6, benchmark::Counter::kIsRate);
}

enum class TSdlMode { Copy, Key, KeyRle, Alpha, KeyAlpha };

void SetUpSdl(SDL_Surface* sprite, TSdlMode mode, int32_t alpha) {
  const bool keyed =
      mode == TSdlMode::Key || mode == TSdlMode::KeyRle || mode == TSdlMode::KeyAlpha;
  const bool blended = mode == TSdlMode::Alpha || mode == TSdlMode::KeyAlpha;
  SDL_SetColorKey(sprite, keyed ? SDL_TRUE : SDL_FALSE, 0);
  SDL_SetSurfaceRLE(sprite, mode == TSdlMode::KeyRle ? 1 : 0);
  SDL_SetSurfaceBlendMode(sprite, blended ? SDL_BLENDMODE_BLEND : SDL_BLENDMODE_NONE);
  SDL_SetSurfaceAlphaMod(sprite, static_cast<Uint8>(blended ? alpha : 255));
}

void RegisterOurs(const std::string& name, int32_t w, int32_t h, TShape shape, int32_t alpha,
                  void (*blitter)(const TBlitSprite&, TSurfaceDesc&), TBlitVariant variant,
                  bool useSpans = true, bool pack = true) {
  benchmark::RegisterBenchmark(name.c_str(), [=](benchmark::State& state) {
    TScene scene(w, h, shape, pack);
    scene.Blit.Alpha = alpha;
    if (!useSpans) scene.Blit.Spans = nullptr;
    if (!ForceBlitVariant(variant)) return state.SkipWithError("variant not supported");
    Measure(state, scene.Pixels(), [&] { blitter(scene.Blit, scene.TargetDesc); });
  });
}

void RegisterSdl(const std::string& name, int32_t w, int32_t h, TShape shape, int32_t alpha,
                 TSdlMode mode) {
  benchmark::RegisterBenchmark(name.c_str(), [=](benchmark::State& state) {
    TScene scene(w, h, shape);
    SetUpSdl(scene.SdlSprite.get(), mode, alpha);
    SDL_Rect at{scene.Blit.X, scene.Blit.Y, w, h};
    // The first blit builds SDL's blit map (and the RLE form); keep that out of the timing.
    SDL_BlitSurface(scene.SdlSprite.get(), nullptr, scene.SdlTarget.get(), &at);
    Measure(state, scene.Pixels(), [&] {
      SDL_Rect dest = at;
      SDL_BlitSurface(scene.SdlSprite.get(), nullptr, scene.SdlTarget.get(), &dest);
    });
  });
}

void RegisterMemcpy(const std::string& name, int32_t w, int32_t h) {
  benchmark::RegisterBenchmark(name.c_str(), [=](benchmark::State& state) {
    TScene scene(w, h, TShape::Solid);
    const size_t bytes = scene.Sprite.size() * 2;
    Measure(state, scene.Pixels(),
            [&] { std::memcpy(scene.Target.data(), scene.Sprite.data(), bytes); });
  });
}

// A line of the closing table: our case against SDL's, both against memcpy.
struct TComparison {
  std::string Ours, Sdl, Memcpy;
};
std::vector<TComparison> Comparisons;

void RegisterAll() {
  const TBlitVariant best = ActiveBlitVariant();  // what the player would use here
  struct TSize {
    int32_t W, H;
  };
  for (const TSize size : {TSize{256, 256}, TSize{640, 480}}) {
    const std::string dims = std::to_string(size.W) + "x" + std::to_string(size.H);
    const std::string memcpyName = "memcpy/" + dims;
    RegisterMemcpy(memcpyName, size.W, size.H);

    RegisterOurs("copy/" + dims + "/ours", size.W, size.H, TShape::Solid, 255, BlitCopy16, best);
    RegisterSdl("copy/" + dims + "/SDL", size.W, size.H, TShape::Solid, 255, TSdlMode::Copy);
    Comparisons.push_back({"copy/" + dims + "/ours", "copy/" + dims + "/SDL", memcpyName});

    for (auto [shape, shapeName] :
         {std::pair{TShape::Bordered, "bordered"}, std::pair{TShape::Outlined, "outlined"},
          std::pair{TShape::Scattered, "scattered"}}) {
      const std::string base = std::string("key/") + shapeName + "/" + dims;
      RegisterOurs(base + "/ours", size.W, size.H, shape, 255, BlitKey16, best);
      RegisterOurs(base + "/ours-no-spans", size.W, size.H, shape, 255, BlitKey16, best, false);
      RegisterOurs(base + "/ours-unpacked", size.W, size.H, shape, 255, BlitKey16, best, true,
                   false);
      RegisterOurs(base + "/ours-reference", size.W, size.H, shape, 255, BlitKey16,
                   TBlitVariant::Reference);
      RegisterSdl(base + "/SDL", size.W, size.H, shape, 255, TSdlMode::Key);
      RegisterSdl(base + "/SDL-RLE", size.W, size.H, shape, 255, TSdlMode::KeyRle);
      for (const char* ours : {"/ours", "/ours-unpacked", "/ours-no-spans", "/ours-reference"})
        for (const char* sdl : {"/SDL", "/SDL-RLE"})
          Comparisons.push_back({base + ours, base + sdl, memcpyName});
    }

    for (int32_t alpha : {100, 128}) {
      const std::string base = "/" + dims + "/a" + std::to_string(alpha);
      const std::string sdlBlend = "blend" + base + "/SDL";
      RegisterSdl(sdlBlend, size.W, size.H, TShape::Solid, alpha, TSdlMode::Alpha);
      RegisterOurs("blend-int" + base + "/ours", size.W, size.H, TShape::Solid, alpha, Blend565,
                   best);
      Comparisons.push_back({"blend-int" + base + "/ours", sdlBlend, memcpyName});
      for (auto [variant, variantName] :
           {std::pair{TBlitVariant::Avx2, "avx2"}, std::pair{TBlitVariant::Sse2, "sse2"},
            std::pair{TBlitVariant::Reference, "reference"}}) {
        const std::string name = "blend-packed" + base + "/ours-" + variantName;
        RegisterOurs(name, size.W, size.H, TShape::Solid, alpha, BlendPacked565, variant);
        Comparisons.push_back({name, sdlBlend, memcpyName});
      }
      const std::string keyed = "blend-packed-key/bordered" + base;
      RegisterOurs(keyed + "/ours", size.W, size.H, TShape::Bordered, alpha, BlendPackedKey565,
                   best);
      RegisterSdl(keyed + "/SDL", size.W, size.H, TShape::Bordered, alpha, TSdlMode::KeyAlpha);
      Comparisons.push_back({keyed + "/ours", keyed + "/SDL", memcpyName});
    }
  }
}

// Passes everything to the console and keeps each case's rate for the closing tables: its
// Mpx/s, or its one counter (frames a second, multiples of real time), or runs per unit of the
// time it reports. With repetitions, the
// median's rate replaces the single runs'.
class TCollector : public benchmark::ConsoleReporter {
 public:
  explicit TCollector(OutputOptions options) : ConsoleReporter(options) {}
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
      if (run.error_occurred || (run.run_type == Run::RT_Aggregate && !median)) continue;
      auto rate = run.counters.find("Mpx/s");
      if (rate == run.counters.end() && run.counters.size() == 1) rate = run.counters.begin();
      Rates[run.run_name.function_name] =
          rate != run.counters.end() ? rate->second.value : 1 / run.GetAdjustedRealTime();
    }
    ConsoleReporter::ReportRuns(runs);
  }
  std::map<std::string, double> Rates;
};

void PrintRatios(const std::map<std::string, double>& rates) {
  std::printf("\n%-44s %10s %-34s %10s %9s %9s\n", "ours", "Mpx/s", "against", "Mpx/s", "ours/SDL",
              "ours/mem");
  for (const auto& c : Comparisons) {
    const auto ours = rates.find(c.Ours), sdl = rates.find(c.Sdl), mem = rates.find(c.Memcpy);
    if (ours == rates.end() || sdl == rates.end() || mem == rates.end()) continue;
    std::printf("%-44s %10.0f %-34s %10.0f %8.2fx %8.2fx\n", c.Ours.c_str(), ours->second,
                c.Sdl.c_str(), sdl->second, ours->second / sdl->second, ours->second / mem->second);
  }
}

}  // namespace

int main(int argc, char** argv) {
  RegisterAll();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  TCollector collector(isatty(fileno(stdout)) ? benchmark::ConsoleReporter::OO_ColorTabular
                                              : benchmark::ConsoleReporter::OO_Tabular);
  benchmark::RunSpecifiedBenchmarks(&collector);
  PrintRatios(collector.Rates);
  PrintTimeRatios(collector.Rates);
  benchmark::Shutdown();
  return 0;
}
