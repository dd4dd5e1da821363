#pragma once
// Pairs of cases that the benchmark program compares after the run, for benchmarks that live
// outside bench_blit.cpp: the time of the first over the time of the second (1.00 = as fast,
// above = slower).
#include <map>
#include <string>
#include <vector>

struct TTimeRatio {
  std::string Ours, Against;
};
std::vector<TTimeRatio>& TimeRatios();

// `rates` holds a speed per case name (any unit, the same for both cases of a pair).
void PrintTimeRatios(const std::map<std::string, double>& rates);
