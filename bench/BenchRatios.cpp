#include "BenchRatios.h"

#include <cstdio>

std::vector<TTimeRatio>& TimeRatios() {
  static std::vector<TTimeRatio> ratios;
  return ratios;
}

void PrintTimeRatios(const std::map<std::string, double>& rates) {
  if (TimeRatios().empty()) return;
  std::printf("\n%-36s %10s   %-36s %10s %15s\n", "ours", "rate", "against", "rate",
              "time ours/them");
  for (const TTimeRatio& r : TimeRatios()) {
    const auto ours = rates.find(r.Ours), them = rates.find(r.Against);
    if (ours == rates.end() || them == rates.end()) continue;
    std::printf("%-36s %10.4g   %-36s %10.4g %14.2fx\n", r.Ours.c_str(), ours->second,
                r.Against.c_str(), them->second, them->second / ours->second);
  }
}
