// Reading the reply file back: the line rules and the files that are not files.
#include <gtest/gtest.h>

#include <clocale>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "text/text.h"
#include "client/regular_file.h"
#include "client/reply_file.h"
#include "doubles/double_control.h"

#ifdef _WIN32
#include <windows.h>
#include <winioctl.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

#if defined(__SANITIZE_ADDRESS__)
// An allocation that cannot be served fails as it does without the sanitizer (std::bad_alloc)
// instead of ending the tests.
extern "C" const char* __asan_default_options() { return "allocator_may_return_null=1"; }
#endif

namespace webapitest {
namespace {

// The pane's text of bytes read in one piece.
std::u16string WholeReply(std::string_view bytes) {
  ReplyReader reply(bytes.size());
  reply.Add(bytes);
  return reply.Finish();
}

struct LineCase {
  const char* name;
  std::string file;
  std::u16string shown;
};

class ReplyLines : public ::testing::TestWithParam<LineCase> {};

TEST_P(ReplyLines, EachLineEndsInCrLfInWhateverPiecesItIsRead) {
  const std::string& file = GetParam().file;
  EXPECT_EQ(WholeReply(file), GetParam().shown);
  for (std::size_t cut = 1; cut < file.size(); ++cut) {
    ReplyReader reply(file.size());
    reply.Add(std::string_view(file).substr(0, cut));
    reply.Add(std::string_view(file).substr(cut));
    EXPECT_EQ(reply.Finish(), GetParam().shown) << "cut after " << cut;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Files, ReplyLines,
    ::testing::Values(LineCase{"Empty", "", u""},
                      LineCase{"CrLf", "one\r\ntwo\r\n", u"one\r\ntwo\r\n"},
                      LineCase{"CrOnly", "one\rtwo\r", u"one\r\ntwo\r\n"},
                      LineCase{"NoFinalBreak", "one\r\ntwo", u"one\r\ntwo\r\n"},
                      LineCase{"LfStaysInsideALine", "one\ntwo\n", u"one\ntwo\n\r\n"},
                      LineCase{"LfAfterCrGoesWithIt", "a\r\n\nb", u"a\r\n\nb\r\n"},
                      LineCase{"EmptyLines", "\r\r\n\r", u"\r\n\r\n\r\n"},
                      LineCase{"LoneLf", "\n", u"\n\r\n"},
                      LineCase{"NulByte", std::string("a\0b\r\nc", 6), u"a\u2400b\r\nc\r\n"}),
    [](const ::testing::TestParamInfo<LineCase>& row) { return std::string(row.param.name); });

class ReplyFile : public ::testing::Test {
 protected:
  ~ReplyFile() override { std::remove(path.c_str()); }
  void Write(const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }
  std::u16string Path() const { return std::u16string(path.begin(), path.end()); }
  std::string path = testing::OwnFileName("reply.txt");
};

TEST_F(ReplyFile, LoadsTheWholeFileNulBytesIncluded) {
  Write(std::string("before\0after\rlast", 17));
  EXPECT_EQ(LoadReplyText(Path()), u"before\u2400after\r\nlast\r\n");
}

TEST_F(ReplyFile, AnEmptyFileShowsNothing) {
  Write("");
  EXPECT_EQ(LoadReplyText(Path()), u"");
}

TEST_F(ReplyFile, ALargeFileArrivesWhole) {
  const std::string line(999, 'x');
  std::string bytes;
  for (int i = 0; i < 3000; ++i) bytes += line + "\r\n";
  Write(bytes);
  const std::u16string text = LoadReplyText(Path());
  EXPECT_EQ(text.size(), bytes.size());
  EXPECT_EQ(text.substr(text.size() - 3), u"x\r\n");
}

// The file is read in pieces of 1 MiB: line breaks and odd bytes on either side of a piece's
// end must come out as if the file were read whole.
TEST_F(ReplyFile, PiecesJoinAsIfReadWhole) {
  constexpr std::size_t kPiece = 1u << 20;
  const std::vector<std::pair<std::size_t, std::string>> cuts = {
      {kPiece - 1, "\r\nnext"},   // CR ends a piece, its LF starts the next
      {kPiece - 1, "\rnext\r"},   // a lone CR at the end of a piece
      {kPiece, "\nnext"},         // an LF at the start of a piece stays in the line
      {kPiece - 1, "\r"},         // the file ends in a CR at a piece's end
      {kPiece + 10, "\xe9t\xe9"},  // bytes beyond ASCII after the first piece
      {kPiece - 1, std::string("\0\r\n", 3)},
      {kPiece - 1, "\xc3\xa9t\xc3\xa9"},        // a two-byte character cut by a piece's end
      {kPiece - 2, "\xe2\x82\xac\r\n"},          // a three-byte one, after two of its bytes
      {kPiece - 3, "\xf0\x9f\x98\x80" "\r\nx"},  // a four-byte one, after three
      {kPiece - 1, "\xe2\x82"},                 // the file ends inside a character
      {2 * kPiece - 1, "\xc3\xa9"},             // the cut after a first piece that was ASCII
  };
  for (const char* locale : {"C", "C.UTF-8"}) {
    if (!std::setlocale(LC_ALL, locale)) continue;
    for (const auto& [fill, tail] : cuts) {
      std::string bytes = std::string(fill, 'x') + tail;
      if (fill > kPiece) bytes[kPiece / 2] = '\xe9';  // the first piece is not ASCII either
      Write(bytes);
      EXPECT_TRUE(LoadReplyText(Path()) == WholeReply(bytes))
          << locale << ": " << fill << " + " << ::testing::PrintToString(tail);
    }
  }
  std::setlocale(LC_ALL, "C");
}

// A reply larger than memory can hold (a sparse file) leaves the pane empty, at once, instead
// of ending the program; on 32-bit Windows also one whose size only the low 32 bits of a
// size_t would make look small (there it would be read as its last KiB).
class TooLargeReply : public ReplyFile, public ::testing::WithParamInterface<long long> {};

TEST_P(TooLargeReply, LeavesThePaneEmpty) {
  Write("x");
  const long long bytes = GetParam();
#ifdef _WIN32
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  DWORD unused = 0;
  DeviceIoControl(file, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &unused, nullptr);
  LARGE_INTEGER size{};
  size.QuadPart = bytes;
  const bool grown = SetFilePointerEx(file, size, nullptr, FILE_BEGIN) && SetEndOfFile(file);
  CloseHandle(file);
#else
  const bool grown = truncate(path.c_str(), bytes) == 0;
#endif
  if (!grown) GTEST_SKIP() << "this file system holds no sparse file of " << bytes << " bytes";
  EXPECT_EQ(LoadReplyText(Path()), u"");
}

const long long kTooLarge[] = {
    1LL << 40,  // a terabyte
#if SIZE_MAX == UINT32_MAX
    (4LL << 30) + 1024,  // 4 GiB + 1 KiB
#endif
};

INSTANTIATE_TEST_SUITE_P(Sparse, TooLargeReply, ::testing::ValuesIn(kTooLarge),
                         [](const auto& row) { return std::to_string(row.param) + "Bytes"; });

TEST_F(ReplyFile, PathsThatNameNoRegularFileGiveAnEmptyPane) {
  EXPECT_FALSE(RegularFile(u"").ok());
  EXPECT_FALSE(RegularFile(u"no such file.txt").ok());
  EXPECT_FALSE(RegularFile(u".").ok());
#ifdef _WIN32
  EXPECT_FALSE(RegularFile(u"NUL").ok());
  EXPECT_FALSE(RegularFile(u"CON").ok());
#else
  EXPECT_FALSE(RegularFile(u"/dev/zero").ok());
  EXPECT_FALSE(RegularFile(u"/dev/urandom").ok());
  const std::string fifo = testing::OwnFileName("fifo");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  // Nothing writes to the pipe: reading it would wait for ever.
  EXPECT_EQ(LoadReplyText(std::u16string(fifo.begin(), fifo.end())), u"");
  unlink(fifo.c_str());
#endif
  EXPECT_EQ(LoadReplyText(u"."), u"");
}

#ifndef _WIN32
// Files that say one size and hold another, or fail half-way, as files do that change or
// break while they are read.
TEST_F(ReplyFile, FilesThatChangeOrFailWhileReadAreHandled) {
  // The kernel's files say they are empty and are not: all of it is read.
  const std::u16string status = LoadReplyText(u"/proc/self/status");
  EXPECT_NE(status.find(u"Name:"), std::u16string::npos);
  EXPECT_EQ(status.substr(status.size() - 2), u"\r\n");
  // A read that fails (this one at its very first byte) leaves the pane empty.
  EXPECT_EQ(LoadReplyText(u"/proc/self/mem"), u"");
}
#endif


}  // namespace
}  // namespace webapitest
