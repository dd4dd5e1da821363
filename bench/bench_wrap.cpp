// Word wrap of a long text file in a wide box, as CREATETEXT does it while the script is read:
// 8 MB of words in the default font. Wrapping must stay linear in the text, or a large text
// file holds the player before its first frame where neither a time limit nor Escape reaches.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>

#include "platform/PL_Host.h"
#include "player/VEKEngine.h"

namespace {

std::filesystem::path WordsFile(size_t bytes) {
  const auto path = std::filesystem::temp_directory_path() / "veke-bench-words.txt";
  std::ofstream file(path, std::ios::binary);
  const char* const words[] = {"presentation ", "kiosk ", "a ", "museum, ", "Hungarian "};
  for (size_t written = 0, i = 0; written < bytes; ++i) {
    file << words[i % std::size(words)];
    written += std::char_traits<char>::length(words[i % std::size(words)]);
  }
  return path;
}

void WrapTextFile(benchmark::State& state) {
  const size_t bytes = static_cast<size_t>(state.range(0)) << 20;
  const auto file = WordsFile(bytes);
  auto host = std::make_unique<THeadlessHost>();
  host->Quiet = true;
  InstallHost(std::move(host));
  const std::string script = "CREATETEXT(t, " + file.string() + ", 0, 0, 600, 400, ARIAL14)\n";
  size_t lines = 0;
  for (auto _ : state) {
    TVEKE veke;
    veke.LoadScriptText(script);
    lines = dynamic_cast<TVKText&>(*veke.FindObject("T")).Lines.size();
  }
  state.counters["lines"] = static_cast<double>(lines);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
  std::filesystem::remove(file);
}

BENCHMARK(WrapTextFile)->Arg(1)->Arg(8)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
