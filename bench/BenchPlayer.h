#pragma once
// Runs the whole player on the headless host for a number of frames, as veke-render does
// without writing any picture, and reports the frames per second of wall-clock time.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <filesystem>
#include <string>

constexpr uint32_t kBenchStepMs = 20;

// Plays `script` once for `frames` frames of 20 ms, as BenchPlayer's iterations do; the frames
// shown, 0 when the player failed.
uint64_t PlayFrames(const std::string& script, bool hardware, uint32_t frames);

// Plays `script` for `frames` frames of 20 ms per benchmark iteration and sets the
// "frames/s" counter; surface mode with `hardware`. Returns the frames played in all.
uint64_t BenchPlayer(benchmark::State& state, const std::string& script, bool hardware,
                 uint32_t frames);

// A `side` x `side` picture file: a disc of `colour` on a transparent (black) square.
void WriteDiscSpr(const std::filesystem::path& path, int side, uint16_t colour);
