// Picture loading: our JPEG and BMP decoders on a 1024 x 768 picture against libjpeg-turbo's
// own decode of the same file, SDL's BMP reader, and a plain row copy. Prints megapixels per
// second per case; the closing table gives the time ratio ours / reference.
#include <SDL.h>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>
// The IJG headers need size_t and FILE declared before them.
#include <jpeglib.h>

#include "BenchRatios.h"
#include "PictureSamples.h"
#include "image/SE_Picture.h"

namespace {

constexpr int32_t kWidth = 1024, kHeight = 768;
constexpr int64_t kPixels = int64_t{kWidth} * kHeight;

// Something like a photograph: soft gradients, a few hard edges and some grain, so the JPEG
// has the mix of smooth and busy blocks that real backgrounds have.
std::vector<uint8_t> MakeScene() {
  std::mt19937 rng(7);
  std::vector<uint8_t> bgr(static_cast<size_t>(kPixels) * 3);
  for (int32_t y = 0; y < kHeight; ++y)
    for (int32_t x = 0; x < kWidth; ++x) {
      uint8_t* p = &bgr[(static_cast<size_t>(y) * kWidth + x) * 3];
      const double wave = 40 * std::sin(x / 37.0) * std::cos(y / 23.0);
      const bool disc = (x - 600) * (x - 600) + (y - 300) * (y - 300) < 150 * 150;
      const int grain = static_cast<int>(rng() % 17) - 8;
      p[0] = static_cast<uint8_t>(std::clamp(60 + x / 6 + wave + grain, 0.0, 255.0));
      p[1] = static_cast<uint8_t>(std::clamp(disc ? 200.0 : 40 + y / 5 + grain, 0.0, 255.0));
      p[2] = static_cast<uint8_t>(std::clamp((x ^ y) % 97 + 100 - wave + grain, 0.0, 255.0));
    }
  return bgr;
}

// The scene as the files authors bring: a JPEG at a common quality and a 24-bit bottom-up BMP.
std::vector<uint8_t> SceneJpeg(const std::vector<uint8_t>& bgr) {
  TBitmap24 picture;
  picture.Width = kWidth;
  picture.Height = kHeight;
  picture.Rows = bgr;
  TJpegOptions options;
  options.Quality = 85;
  return EncodeJpeg(picture, options);
}

std::vector<uint8_t> SceneBmp(const std::vector<uint8_t>& bgr) {
  TBmpFile bmp(kWidth, kHeight);
  bmp.Pixels = PackRows(kWidth, kHeight, 24, false, [&](int32_t x, int32_t y) {
    const uint8_t* p = &bgr[(static_cast<size_t>(y) * kWidth + x) * 3];
    return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16;
  });
  return WriteBmp(bmp);
}

struct TFiles {
  TFiles() : Scene(MakeScene()), Jpeg(SceneJpeg(Scene)), Bmp(SceneBmp(Scene)) {}
  std::vector<uint8_t> Scene, Jpeg, Bmp;
};
const TFiles& Files() {
  static const TFiles files;
  return files;
}

void Count(benchmark::State& state) {
  state.counters["Mpx/s"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * kPixels / 1e6, benchmark::Counter::kIsRate);
}

void JpegOurs(benchmark::State& state) {
  const std::vector<uint8_t>& jpeg = Files().Jpeg;
  for (auto _ : state) {
    TBitmap24 picture;
    DecodeJpeg(jpeg.data(), jpeg.size(), picture);
    benchmark::DoNotOptimize(picture.Rows.data());
  }
  Count(state);
  state.counters["file KB"] = static_cast<double>(jpeg.size()) / 1024;
}

// What libjpeg-turbo does on its own: the whole file to RGB rows in a buffer made once.
void JpegLibjpeg(benchmark::State& state) {
  const std::vector<uint8_t>& jpeg = Files().Jpeg;
  std::vector<uint8_t> rgb(static_cast<size_t>(kPixels) * 3);
  for (auto _ : state) {
    jpeg_decompress_struct info{};
    jpeg_error_mgr error{};
    info.err = jpeg_std_error(&error);
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, jpeg.data(), static_cast<unsigned long>(jpeg.size()));
    jpeg_read_header(&info, TRUE);
    info.out_color_space = JCS_RGB;
    jpeg_start_decompress(&info);
    while (info.output_scanline < info.output_height) {
      JSAMPROW row = &rgb[static_cast<size_t>(info.output_scanline) * kWidth * 3];
      jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    benchmark::DoNotOptimize(rgb.data());
  }
  Count(state);
}

void BmpOurs(benchmark::State& state) {
  const std::vector<uint8_t>& bmp = Files().Bmp;
  for (auto _ : state) {
    TBitmap24 picture;
    DecodeBmp(bmp.data(), bmp.size(), picture);
    benchmark::DoNotOptimize(picture.Rows.data());
  }
  Count(state);
}

void BmpSdl(benchmark::State& state) {
  const std::vector<uint8_t>& bmp = Files().Bmp;
  for (auto _ : state) {
    SDL_Surface* surface =
        SDL_LoadBMP_RW(SDL_RWFromConstMem(bmp.data(), static_cast<int>(bmp.size())), 1);
    if (!surface) return state.SkipWithError(SDL_GetError());
    benchmark::DoNotOptimize(surface->pixels);
    SDL_FreeSurface(surface);
  }
  Count(state);
}

// The least any BMP reader does: a new picture and every row copied into place.
void BmpRowCopy(benchmark::State& state) {
  const std::vector<uint8_t>& bmp = Files().Bmp;
  const size_t stride = kWidth * 3;
  for (auto _ : state) {
    std::vector<uint8_t> rows(static_cast<size_t>(kPixels) * 3);
    for (int32_t y = 0; y < kHeight; ++y)
      std::memcpy(&rows[static_cast<size_t>(y) * stride], &bmp[54 + (kHeight - 1 - y) * stride],
                  stride);
    benchmark::DoNotOptimize(rows.data());
  }
  Count(state);
}

// Registered here because the program's main lives in bench_blit.cpp.
const bool kRegistered = [] {
  using TCase = std::pair<const char*, void (*)(benchmark::State&)>;
  for (const TCase& c : {TCase{"jpeg/ours", JpegOurs}, TCase{"jpeg/libjpeg-turbo", JpegLibjpeg},
                         TCase{"bmp/ours", BmpOurs}, TCase{"bmp/SDL_LoadBMP", BmpSdl},
                         TCase{"bmp/row-copy", BmpRowCopy}})
    benchmark::RegisterBenchmark(c.first, c.second)->Unit(benchmark::kMillisecond);
  TimeRatios().insert(TimeRatios().end(), {{"jpeg/ours", "jpeg/libjpeg-turbo"},
                                           {"bmp/ours", "bmp/SDL_LoadBMP"},
                                           {"bmp/ours", "bmp/row-copy"}});
  return true;
}();

}  // namespace
