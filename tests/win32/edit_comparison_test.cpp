// The output pane beside the system's own multi-line read-only edit control of the same size,
// style and font, given the same text: every message that readers and tools send is answered
// alike, at every offset, line and point.
#include <gtest/gtest.h>

#include <windowsx.h>

#include <cstdio>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "live_window.h"

namespace webapitest::testing {
namespace {

using Answers = std::vector<long long>;

struct Sample {
  const char* name;
  std::u16string text;
  int scrolled = 0;  // rows scrolled down before asking
};

std::u16string Repeat(const std::u16string& piece, int times) {
  std::u16string out;
  for (int i = 0; i < times; ++i) out += piece;
  return out;
}

std::vector<Sample> Corpus(int columns) {
  const auto n = static_cast<std::size_t>(columns);
  std::u16string many;
  for (int i = 0; i < 40; ++i) many += u"line " + std::u16string(1, static_cast<char16_t>(u'a' + i % 26)) + u"\r\n";
  return {{"short lines", u"one\r\ntwo\r\nthree"},
          {"empty", u""},
          {"tabs", u"\tstart\r\nmid\tdle\r\nend\t\r\n\t\t"},
          {"words", Repeat(u"word ", 60)},
          {"long word", std::u16string(n + n / 2, u'x') + u" tail"},
          {"row at the width", std::u16string(n, u'y') + u"\r\n" + std::u16string(n - 1, u'z') + u" next"},
          {"blanks", std::u16string(n + 5, u' ') + u"\r\nafter"},
          {"lone LF", u"up\ndown\r\nend"},
          {"more lines than a screen", many},
          {"wide", u"ab\u4e2d\u6587cd\r\n\u65e5\u672c"},
          {"combining", u"cafe\u0301 e\u0301te\u0301\r\nx"},
          {"scrolled", many + Repeat(u"word ", 40), 7}};
}

// The box and the pane: each message goes to both and their answers are compared.
struct Pair {
  HWND box, pane;
  int rowHeight;
};

void Reset(HWND w, const Sample& s) {
  SendMessageW(w, EM_SETSEL, 0, 0);
  SendMessageW(w, EM_LINESCROLL, 0, -100000);
  SendMessageW(w, EM_LINESCROLL, 0, s.scrolled);
}

// Whether an offset falls between the CR and the LF of a line break.
bool InsideBreak(const Sample& s, std::size_t at) {
  return at > 0 && at < s.text.size() && s.text[at - 1] == u'\r' && s.text[at] == u'\n';
}

long long Send(HWND w, UINT m, WPARAM wp = 0, LPARAM lp = 0) { return SendMessageW(w, m, wp, lp); }

using Ask = std::function<Answers(HWND, const Sample&, const RECT&, int)>;

Answers Selections(HWND w, const Sample& s, bool lengths) {
  const auto n = static_cast<WPARAM>(s.text.size());
  const std::pair<WPARAM, LPARAM> pairs[] = {{0, -1}, {static_cast<WPARAM>(-1), 0}, {3, 1}, {n + 5, 1}, {2, 2},
                                             {1, static_cast<LPARAM>(n) - 1}, {n / 3, static_cast<LPARAM>(2 * n / 3)}};
  Answers a;
  for (const auto& [from, to] : pairs) {
    if (InsideBreak(s, from) || InsideBreak(s, static_cast<WPARAM>(to))) continue;
    SendMessageW(w, EM_SETSEL, from, to);
    DWORD f = 0, t = 0;
    if (lengths) {
      a.push_back(Send(w, EM_LINELENGTH, static_cast<WPARAM>(-1)));
      continue;
    }
    a.push_back(Send(w, EM_GETSEL, reinterpret_cast<WPARAM>(&f), reinterpret_cast<LPARAM>(&t)));
    a.insert(a.end(), {f, t});
  }
  return a;
}

const std::vector<std::pair<const char*, Ask>>& Messages() {
  static const std::vector<std::pair<const char*, Ask>> asks = {
      {"EM_GETLINECOUNT", [](HWND w, auto&, auto&, int) { return Answers{Send(w, EM_GETLINECOUNT)}; }},
      {"EM_LINEINDEX", [](HWND w, auto&, auto&, int) {
         Answers a;
         for (int l = -1; l < 80; ++l) a.push_back(Send(w, EM_LINEINDEX, static_cast<WPARAM>(l)));
         return a;
       }},
      {"EM_LINEFROMCHAR", [](HWND w, const Sample& s, auto&, int) {
         Answers a;
         for (std::size_t i = 0; i <= s.text.size() + 1; ++i) a.push_back(Send(w, EM_LINEFROMCHAR, i));
         return a;
       }},
      {"EM_LINELENGTH", [](HWND w, const Sample& s, auto&, int) {
         Answers a;
         for (std::size_t i = 0; i <= s.text.size() + 1; ++i) a.push_back(Send(w, EM_LINELENGTH, i));
         return a;
       }},
      {"EM_LINELENGTH(-1)", [](HWND w, const Sample& s, auto&, int) { return Selections(w, s, true); }},
      {"EM_SETSEL/EM_GETSEL", [](HWND w, const Sample& s, auto&, int) { return Selections(w, s, false); }},
      {"EM_GETLINE", [](HWND w, auto&, auto&, int) {
         Answers a;
         for (int l = 0; l < 80; ++l)
           for (WORD size : {WORD{300}, WORD{3}}) {
             wchar_t buffer[300] = {size, L'#'};
             const long long got = Send(w, EM_GETLINE, static_cast<WPARAM>(l), reinterpret_cast<LPARAM>(buffer));
             a.push_back(got);
             for (long long i = 0; i <= got && i < 300; ++i) a.push_back(buffer[i]);
           }
         return a;
       }},
      {"EM_POSFROMCHAR", [](HWND w, const Sample& s, auto&, int) {
         Answers a;
         for (std::size_t i = 0; i <= s.text.size() + 1; ++i)
           if (!InsideBreak(s, i)) a.push_back(Send(w, EM_POSFROMCHAR, i));
         return a;
       }},
      {"EM_CHARFROMPOS", [](HWND w, auto&, const RECT& c, int row) {
         Answers a;
         for (int y = -2; y < c.bottom + 3; y += std::max(1, row / 3))
           for (int x = -2; x < c.right + 3; x += 2) a.push_back(Send(w, EM_CHARFROMPOS, 0, MAKELPARAM(x, y)));
         return a;
       }},
      {"click", [](HWND w, const Sample& s, const RECT& c, int row) {
         Answers a;
         for (int y = 1; y < c.bottom; y += row)  // hit-testing itself is EM_CHARFROMPOS's
           for (int x = 0; x < c.right; x += 11) {
             if (Send(w, EM_GETFIRSTVISIBLELINE) != s.scrolled) Reset(w, s);  // a click replaces the selection
             SendMessageW(w, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
             SendMessageW(w, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
             a.push_back(Send(w, EM_GETSEL));
           }
         return a;
       }},
      {"EM_SCROLL/EM_GETTHUMB", [](HWND w, auto&, auto&, int) {
         Answers a;
         for (WPARAM code : std::initializer_list<WPARAM>{SB_LINEDOWN, SB_PAGEDOWN, SB_PAGEDOWN, SB_PAGEDOWN, SB_LINEUP, SB_PAGEUP, SB_TOP, 99u})
           a.insert(a.end(), {Send(w, EM_SCROLL, code), Send(w, EM_GETFIRSTVISIBLELINE), Send(w, EM_GETTHUMB)});
         return a;
       }},
      {"EM_LINESCROLL/EM_SCROLLCARET", [](HWND w, const Sample& s, auto&, int) {
         Answers a;
         for (LPARAM rows : {3, -1, 1000, -1000})
           a.insert(a.end(), {Send(w, EM_LINESCROLL, 0, rows), Send(w, EM_GETFIRSTVISIBLELINE)});
         SendMessageW(w, EM_SETSEL, s.text.size(), s.text.size());
         SendMessageW(w, EM_LINESCROLL, 0, -1000);
         a.insert(a.end(), {Send(w, EM_SCROLLCARET), Send(w, EM_GETFIRSTVISIBLELINE)});
         return a;
       }},
      {"EM_GETRECT/EM_GETMARGINS", [](HWND w, auto&, auto&, int) {
         Answers a;
         const auto rect = [&] {
           RECT r{};
           SendMessageW(w, EM_GETRECT, 0, reinterpret_cast<LPARAM>(&r));
           a.insert(a.end(), {r.left, r.top, r.right, r.bottom, Send(w, EM_GETMARGINS), Send(w, EM_POSFROMCHAR, 0)});
         };
         rect();
         SendMessageW(w, EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, MAKELPARAM(5, 7));
         rect();
         SendMessageW(w, EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, MAKELPARAM(EC_USEFONTINFO, EC_USEFONTINFO));
         rect();
         return a;
       }},
      {"WM_GETTEXT(LENGTH)", [](HWND w, auto&, auto&, int) {
         Answers a{Send(w, WM_GETTEXTLENGTH)};
         for (WPARAM size : {0u, 1u, 5u, 2000u}) {
           std::wstring buffer(2000, L'#');
           a.push_back(Send(w, WM_GETTEXT, size, reinterpret_cast<LPARAM>(buffer.data())));
           a.insert(a.end(), buffer.begin(), buffer.begin() + std::min<std::size_t>(size + 1, 2000));
         }
         return a;
       }},
      {"WM_GETDLGCODE", [](HWND w, auto&, auto&, int) {
         Answers a{Send(w, WM_GETDLGCODE)};
         for (WPARAM key : {WPARAM{VK_RETURN}, WPARAM{VK_DOWN}, WPARAM{'A'}}) {
           MSG m{w, WM_KEYDOWN, key, 0, 0, {}};
           a.push_back(Send(w, WM_GETDLGCODE, key, reinterpret_cast<LPARAM>(&m)));
         }
         return a;
       }},
      {"font, limit, password, style", [](HWND w, auto&, auto&, int) {
         return Answers{Send(w, WM_GETFONT), Send(w, EM_GETLIMITTEXT), Send(w, EM_GETPASSWORDCHAR),
                        GetWindowLongW(w, GWL_STYLE) & 0xFFFF};
       }},
  };
  return asks;
}

// Where Wine's edit control, the box these tests run against, is not the system's box, and
// where the pane keeps to the rules of both platforms' boxes: the messages of a text that
// answer otherwise, and why.
struct Known {
  const char* sample;
  std::set<std::string> messages;
  const char* why;
};
const Known kKnown[] = {
    {"blanks",
     {"EM_GETLINECOUNT", "EM_LINEINDEX", "EM_LINEFROMCHAR", "EM_LINELENGTH", "EM_LINELENGTH(-1)", "EM_GETLINE",
      "EM_POSFROMCHAR", "EM_CHARFROMPOS", "click"},
     "Wine breaks a run of blanks longer than a row; the pane lets the blanks hang past the edge"},
    {"wide", {"EM_POSFROMCHAR", "EM_CHARFROMPOS", "click"},
     "the test font has no CJK glyphs, so Wine gives them one cell; the pane two, by their East Asian width"},
    {"combining", {"EM_LINELENGTH(-1)", "EM_SETSEL/EM_GETSEL", "EM_POSFROMCHAR", "EM_CHARFROMPOS", "click"},
     "Wine lets the caret stop between a letter and its accent; the pane never splits a character"},
};

bool IsKnown(const char* sample, const std::string& message) {
  for (const Known& k : kKnown)
    if (std::string(k.sample) == sample && k.messages.count(message)) return true;
  return false;
}

TEST(EditComparison, ThePaneAnswersEveryMessageAsTheSystemsBox) {
  LiveWindow live;
  const HWND pane = live[Control::output];
  RECT place{};
  GetWindowRect(pane, &place);
  MapWindowPoints(nullptr, GetParent(pane), reinterpret_cast<POINT*>(&place), 2);
  const DWORD style = WS_CHILD | WS_VSCROLL | WS_TABSTOP | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL;
  const HWND box = CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", L"", style, place.left, place.top,
                                   place.right - place.left, place.bottom - place.top, GetParent(pane), nullptr,
                                   GetModuleHandleW(nullptr), nullptr);
  ASSERT_NE(box, nullptr);
  SendMessageW(box, WM_SETFONT, SendMessageW(pane, WM_GETFONT, 0, 0), FALSE);
  SendMessageW(box, EM_SETLIMITTEXT, 0, 0);  // as the program sets its boxes
  RECT client{};
  GetClientRect(box, &client);
  HDC dc = GetDC(box);
  HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(box, WM_GETFONT, 0, 0)));
  TEXTMETRICW metrics{};
  GetTextMetricsW(dc, &metrics);
  SelectObject(dc, old);
  ReleaseDC(box, dc);
  SetWindowTextW(box, std::wstring(1000, L'x').c_str());
  const auto columns = static_cast<int>(SendMessageW(box, EM_LINELENGTH, 0, 0));  // a row's cells

  std::map<std::string, std::pair<long long, long long>> agreed;  // message: agreeing, all
  for (const Sample& sample : Corpus(columns)) {
    for (HWND w : {box, pane}) SetWindowTextW(w, reinterpret_cast<const wchar_t*>(sample.text.c_str()));
    for (const auto& [message, ask] : Messages()) {
      std::vector<Answers> answers;
      for (HWND w : {box, pane}) {
        Reset(w, sample);
        answers.push_back(ask(w, sample, client, metrics.tmHeight));
      }
      auto& [same, all] = agreed[message];
      std::size_t first = answers[0].size() == answers[1].size() ? answers[0].size() : 0;
      for (std::size_t i = 0; i < std::max(answers[0].size(), answers[1].size()); ++i) {
        const bool equal = i < answers[0].size() && i < answers[1].size() && answers[0][i] == answers[1][i];
        same += equal;
        ++all;
        if (!equal) first = std::min(first, i);
      }
      if (IsKnown(sample.name, message)) continue;
      const auto at = [&](const Answers& a) { return first < a.size() ? std::to_string(a[first]) : "none"; };
      EXPECT_TRUE(answers[1] == answers[0]) << message << " on \"" << sample.name << "\": answer " << first
                                        << " is " << at(answers[1]) << ", the box's " << at(answers[0]);
    }
  }
  for (const auto& [message, counts] : agreed)
    std::printf("agreement %-30s %5.1f %% of %lld\n", message.c_str(), 100.0 * static_cast<double>(counts.first) / static_cast<double>(counts.second),
                counts.second);
  DestroyWindow(box);
}

}  // namespace
}  // namespace webapitest::testing
