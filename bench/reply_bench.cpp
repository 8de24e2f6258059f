// Reading a large reply back, against a plain read of the same file into memory.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "client/reply_file.h"

namespace {

constexpr std::size_t kSize = 64u << 20;

// A 64 MB reply file of 80-character lines, or of one single line, written once.
const std::string& ReplyFile(bool oneLine) {
  static std::string lines, single;
  std::string& path = oneLine ? single : lines;
  if (path.empty()) {
    path = oneLine ? "bench_reply_single.txt" : "bench_reply_lines.txt";
    std::ofstream out(path, std::ios::binary);
    std::string line(78, 'x');
    line += "\r\n";
    std::string block;
    if (oneLine) block.assign(1 << 20, 'y');
    else while (block.size() < (1 << 20)) block += line;
    for (std::size_t written = 0; written < kSize; written += block.size()) out << block;
  }
  return path;
}

void PlainRead(benchmark::State& state) {
  const std::string& path = ReplyFile(state.range(0) != 0);
  for (auto _ : state) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    std::fseek(file, 0, SEEK_END);
    std::string bytes(static_cast<std::size_t>(std::ftell(file)), '\0');
    std::fseek(file, 0, SEEK_SET);
    benchmark::DoNotOptimize(std::fread(bytes.data(), 1, bytes.size(), file));
    std::fclose(file);
    benchmark::DoNotOptimize(bytes.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kSize));
}

void LoadReply(benchmark::State& state) {
  const std::string& path = ReplyFile(state.range(0) != 0);
  const std::u16string name(path.begin(), path.end());
  for (auto _ : state) {
    std::u16string text = webapitest::LoadReplyText(name);
    benchmark::DoNotOptimize(text.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kSize));
}

BENCHMARK(PlainRead)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(LoadReply)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
