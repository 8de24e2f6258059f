// What the window benchmarks share: the reply files of the goals, and the plain read of a
// file into memory that every figure is compared with.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>

namespace webapitest::bench {

// The reply sizes the window must take: one per row of the figures.
struct ReplyCase {
  const char* name;
  std::size_t size;
  bool oneLine;  // one line of 'y', or 80-character lines of 'x' ending in CR LF
};
inline constexpr ReplyCase kReplyCases[] = {{"64 MB, 80-character lines", 64u << 20, false},
                                            {"1 MB, one line", 1u << 20, true},
                                            {"16 MB, one line", 16u << 20, true}};

inline void WriteReply(const std::string& path, const ReplyCase& reply) {
  std::ofstream out(path, std::ios::binary);
  std::string block;
  if (reply.oneLine) {
    block.assign(1 << 20, 'y');
  } else {
    const std::string line = std::string(78, 'x') + "\r\n";
    while (block.size() < (1 << 20)) block += line;
  }
  for (std::size_t written = 0; written < reply.size; written += block.size())
    out.write(block.data(), static_cast<std::streamsize>(std::min(block.size(), reply.size - written)));
}

inline double MsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

// Milliseconds to read the whole file into memory with the C library, and nothing else.
inline double PlainRead(const std::string& path) {
  const auto start = std::chrono::steady_clock::now();
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return 0;
  std::fseek(file, 0, SEEK_END);
  std::string bytes(static_cast<std::size_t>(std::ftell(file)), '\0');
  std::fseek(file, 0, SEEK_SET);
  if (std::fread(bytes.data(), 1, bytes.size(), file) != bytes.size()) std::fprintf(stderr, "short read\n");
  std::fclose(file);
  return MsSince(start);
}

}  // namespace webapitest::bench
