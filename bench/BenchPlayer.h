#pragma once
// Runs the whole player on the headless host for a number of frames, as veke-render does
// without writing any picture, and reports the frames per second of wall-clock time.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>

// Plays `script` for `frames` frames of 20 ms per benchmark iteration and sets the
// "frames/s" counter; surface mode with `hardware`.
void BenchPlayer(benchmark::State& state, const std::string& script, bool hardware,
                 uint32_t frames);
