// What the window benchmarks share: the reply files of the goals, and the plain read of a
// file into memory that every figure is compared with.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>

namespace webapitest::bench {

// The reply sizes and shapes the window must take: one per row of the figures.
enum class Shape {
  Lines,          // 80-character lines of 'x' ending in CR LF
  OneLine,        // one line of 'y'
  Words,          // one line of words, a blank every 5 to 12 characters
  WordsAndTabs,   // the same with every third blank a tab
  LinesWithTabs,  // 80-character lines of words, indented with tabs and tabbed within
  Accents,        // one line of words, every fourth letter with a combining accent (UTF-8)
};
struct ReplyCase {
  const char* name;
  std::size_t size;
  Shape shape;
};
inline constexpr ReplyCase kReplyCases[] = {
    {"64 MB, 80-character lines", 64u << 20, Shape::Lines},
    {"1 MB, one line", 1u << 20, Shape::OneLine},
    {"16 MB, one line", 16u << 20, Shape::OneLine},
    {"1 MB, one line of words", 1u << 20, Shape::Words},
    {"1 MB, words and tabs", 1u << 20, Shape::WordsAndTabs},
    {"16 MB, one line of words", 16u << 20, Shape::Words},
    {"64 MB, lines with tabs", 64u << 20, Shape::LinesWithTabs},
    {"16 MB, words with accents", 16u << 20, Shape::Accents},
};

// 1 MiB of a reply's shape, repeated to fill the file. Words come from a fixed sequence, so
// every run writes the same file.
inline std::string ReplyBlock(Shape shape) {
  std::string block;
  unsigned seed = 12345;
  const auto next = [&seed](unsigned below) {
    seed = seed * 1103515245u + 12345u;
    return (seed >> 16) % below;
  };
  const auto words = [&](std::string& out, std::size_t length, bool tabs, bool accents = false) {
    // Acute, grave, diaeresis and circumflex, decomposed: U+0301, U+0300, U+0308, U+0302 in UTF-8.
    static const char* const kAccents[] = {"\xCC\x81", "\xCC\x80", "\xCC\x88", "\xCC\x82"};
    for (int blanks = 0; out.size() < length; ++blanks) {
      for (unsigned n = 4 + next(8); n > 0 && out.size() < length; --n) {
        out += static_cast<char>('a' + next(26));
        if (accents && next(4) == 0 && out.size() + 2 < length) out += kAccents[next(4)];
      }
      if (out.size() < length) out += tabs && blanks % 3 == 2 ? '\t' : ' ';
    }
  };
  switch (shape) {
    case Shape::Lines: {
      const std::string line = std::string(78, 'x') + "\r\n";
      while (block.size() < (1 << 20)) block += line;
      break;
    }
    case Shape::OneLine: block.assign(1 << 20, 'y'); break;
    case Shape::Words: words(block, 1 << 20, false); break;
    case Shape::WordsAndTabs: words(block, 1 << 20, true); break;
    case Shape::Accents: words(block, 1 << 20, false, true); break;
    case Shape::LinesWithTabs:
      while (block.size() < (1 << 20)) {
        std::string line(1 + next(3), '\t');
        words(line, 78, true);
        block += line + "\r\n";
      }
      break;
  }
  return block;
}

inline void WriteReply(const std::string& path, const ReplyCase& reply) {
  std::ofstream out(path, std::ios::binary);
  const std::string block = ReplyBlock(reply.shape);
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
