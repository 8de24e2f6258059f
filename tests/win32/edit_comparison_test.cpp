// The output pane beside the system's own multi-line read-only edit control of the same size,
// style and font, given the same text: every message that readers and tools send is answered
// alike, at every offset, line and point.
#include <gtest/gtest.h>

#include <algorithm>
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

std::vector<Sample> Corpus(std::size_t n) {  // n: the cells of a row
  std::u16string many, words;
  for (int i = 0; i < 40; ++i) many += u"line " + std::u16string(1, static_cast<char16_t>(u'a' + i % 26)) + u"\r\n";
  for (int i = 0; i < 60; ++i) words += u"word ";
  return {{"short lines", u"one\r\ntwo\r\nthree"},
          {"empty", u""},
          {"tabs", u"\tstart\r\nmid\tdle\r\nend\t\r\n\t\t"},
          {"words", words},
          {"long word", std::u16string(n + n / 2, u'x') + u" tail"},
          {"row at the width", std::u16string(n, u'y') + u"\r\n" + std::u16string(n - 1, u'z') + u" next"},
          {"blanks", std::u16string(n + 5, u' ') + u"\r\nafter"},
          {"lone LF", u"up\ndown\r\nend"},
          {"more lines than a screen", many},
          {"wide", u"ab\u4e2d\u6587cd\r\n\u65e5\u672c"},
          {"combining", u"cafe\u0301 e\u0301te\u0301\r\nx"},
          {"scrolled", many + words, 7}};
}

long long Send(HWND w, UINT m, WPARAM wp = 0, LPARAM lp = 0) { return SendMessageW(w, m, wp, lp); }

void Reset(HWND w, const Sample& s) {
  Send(w, EM_SETSEL, 0, 0);
  Send(w, EM_LINESCROLL, 0, -100000);
  Send(w, EM_LINESCROLL, 0, s.scrolled);
}

// Whether an offset falls between the CR and the LF of a line break.
bool InsideBreak(const Sample& s, std::size_t at) {
  return at > 0 && at < s.text.size() && s.text[at - 1] == u'\r' && s.text[at] == u'\n';
}

using Ask = std::function<Answers(HWND, const Sample&, const RECT&, int)>;

Ask AtOffsets(UINT message) {
  return [message](HWND w, const Sample& s, auto&, int) {
    Answers a;
    for (std::size_t i = 0; i <= s.text.size() + 1; ++i)
      if (!InsideBreak(s, i)) a.push_back(Send(w, message, i));
    return a;
  };
}

// Selects a set of ranges in turn; after each, EM_LINELENGTH(-1) or EM_GETSEL.
Ask AfterSelecting(bool lengths) {
  return [lengths](HWND w, const Sample& s, auto&, int) {
    const auto n = static_cast<long long>(s.text.size());
    const std::pair<long long, long long> ranges[] = {{0, -1}, {-1, 0}, {3, 1}, {n + 5, 1}, {2, 2}, {1, n - 1}, {n / 3, 2 * n / 3}};
    Answers a;
    for (const auto& [from, to] : ranges) {
      if (InsideBreak(s, static_cast<std::size_t>(from)) || InsideBreak(s, static_cast<std::size_t>(to))) continue;
      Send(w, EM_SETSEL, static_cast<WPARAM>(from), static_cast<LPARAM>(to));
      DWORD f = 0, t = 0;
      if (lengths) a.push_back(Send(w, EM_LINELENGTH, WPARAM(-1)));
      else a.insert(a.end(), {Send(w, EM_GETSEL, reinterpret_cast<WPARAM>(&f), reinterpret_cast<LPARAM>(&t)), f, t});
    }
    return a;
  };
}

const std::vector<std::pair<const char*, Ask>> kMessages = {
    {"EM_GETLINECOUNT", [](HWND w, auto&, auto&, int) { return Answers{Send(w, EM_GETLINECOUNT)}; }},
    {"EM_LINEINDEX", [](HWND w, auto&, auto&, int) {
       Answers a;
       for (int l = -1; l < 80; ++l) a.push_back(Send(w, EM_LINEINDEX, WPARAM(l)));
       return a;
     }},
    {"EM_LINEFROMCHAR", AtOffsets(EM_LINEFROMCHAR)},
    {"EM_LINELENGTH", AtOffsets(EM_LINELENGTH)},
    {"EM_POSFROMCHAR", AtOffsets(EM_POSFROMCHAR)},
    {"EM_LINELENGTH(-1)", AfterSelecting(true)},
    {"EM_SETSEL/EM_GETSEL", AfterSelecting(false)},
    {"EM_GETLINE", [](HWND w, auto&, auto&, int) {
       Answers a;
       for (int l = 0; l < 80; ++l)
         for (WORD size : {WORD{300}, WORD{3}}) {
           wchar_t buffer[300] = {size, L'#'};
           const long long got = Send(w, EM_GETLINE, WPARAM(l), reinterpret_cast<LPARAM>(buffer));
           a.push_back(got);
           a.insert(a.end(), buffer, buffer + std::min(got + 1, 300LL));
         }
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
           if (Send(w, EM_GETFIRSTVISIBLELINE) != s.scrolled) Reset(w, s);
           Send(w, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
           Send(w, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
           a.push_back(Send(w, EM_GETSEL));
         }
       return a;
     }},
    {"EM_SCROLL/EM_GETTHUMB", [](HWND w, auto&, auto&, int) {
       Answers a;
       for (WPARAM code : {SB_LINEDOWN, SB_PAGEDOWN, SB_PAGEDOWN, SB_PAGEDOWN, SB_LINEUP, SB_PAGEUP, SB_TOP, 99})
         a.insert(a.end(), {Send(w, EM_SCROLL, code), Send(w, EM_GETFIRSTVISIBLELINE), Send(w, EM_GETTHUMB)});
       return a;
     }},
    {"EM_LINESCROLL/EM_SCROLLCARET", [](HWND w, const Sample& s, auto&, int) {
       Answers a;
       for (LPARAM rows : {3, -1, 1000, -1000})
         a.insert(a.end(), {Send(w, EM_LINESCROLL, 0, rows), Send(w, EM_GETFIRSTVISIBLELINE)});
       Send(w, EM_SETSEL, s.text.size(), static_cast<LPARAM>(s.text.size()));
       Send(w, EM_LINESCROLL, 0, -1000);
       a.insert(a.end(), {Send(w, EM_SCROLLCARET), Send(w, EM_GETFIRSTVISIBLELINE)});
       return a;
     }},
    {"EM_GETRECT/EM_GETMARGINS", [](HWND w, auto&, auto&, int) {
       Answers a;
       for (int set = 0; set < 3; ++set) {  // as the box was made, 5 and 7 pixels, the font's again
         const LPARAM margins = set == 1 ? MAKELPARAM(5, 7) : MAKELPARAM(EC_USEFONTINFO, EC_USEFONTINFO);
         if (set) Send(w, EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, margins);
         RECT r{};
         Send(w, EM_GETRECT, 0, reinterpret_cast<LPARAM>(&r));
         a.insert(a.end(), {r.left, r.top, r.right, r.bottom, Send(w, EM_GETMARGINS), Send(w, EM_POSFROMCHAR, 0)});
       }
       return a;
     }},
    {"WM_GETTEXT(LENGTH)", [](HWND w, auto&, auto&, int) {
       Answers a{Send(w, WM_GETTEXTLENGTH)};
       for (WPARAM size : {0, 1, 5, 1999}) {
         std::wstring buffer(2000, L'#');
         a.push_back(Send(w, WM_GETTEXT, size, reinterpret_cast<LPARAM>(buffer.data())));
         a.insert(a.end(), buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(size + 1));
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
    {"typing, cutting, clearing, pasting", [](HWND w, auto&, auto&, int) {
       Answers a;
       Send(w, EM_SETSEL, 0, 2);
       for (UINT m : {WM_CHAR, WM_CUT, WM_CLEAR, WM_PASTE}) {
         Send(w, m, 'q');
         a.insert(a.end(), {Send(w, WM_GETTEXTLENGTH), Send(w, EM_GETMODIFY)});
       }
       return a;
     }},
    {"font, limit, password, style, undo", [](HWND w, auto&, auto&, int) {
       return Answers{Send(w, WM_GETFONT), Send(w, EM_GETLIMITTEXT), Send(w, EM_GETPASSWORDCHAR),
                      GetWindowLongW(w, GWL_STYLE) & 0xFFFF, Send(w, EM_GETMODIFY), Send(w, EM_CANUNDO),
                      Send(w, EM_GETWORDBREAKPROC) != 0, Send(w, EM_UNDO), Send(w, EM_GETMODIFY)};
     }},
};

// Where Wine's edit control, the box these tests run against, is not the system's box, and
// where the pane keeps to the rules of both platforms' boxes: the messages of a text that
// answer otherwise, and why.
const std::map<std::string, std::set<std::string>> kKnown = {
    // Wine breaks a run of blanks longer than a row; the pane lets the blanks hang past the edge.
    {"blanks", {"EM_GETLINECOUNT", "EM_LINEINDEX", "EM_LINEFROMCHAR", "EM_LINELENGTH", "EM_LINELENGTH(-1)",
                "EM_GETLINE", "EM_POSFROMCHAR", "EM_CHARFROMPOS", "click"}},
    // The test font has no CJK glyphs, so Wine gives them one cell; the pane two, by their width.
    {"wide", {"EM_POSFROMCHAR", "EM_CHARFROMPOS", "click"}},
    // Wine lets the caret stop between a letter and its accent; the pane never splits a character.
    {"combining", {"EM_LINELENGTH(-1)", "EM_SETSEL/EM_GETSEL", "EM_POSFROMCHAR", "EM_CHARFROMPOS", "click"}},
};

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
  Send(box, WM_SETFONT, static_cast<WPARAM>(Send(pane, WM_GETFONT)), FALSE);
  Send(box, EM_SETLIMITTEXT, 0, 0);  // as the program sets its boxes
  RECT client{};
  GetClientRect(box, &client);
  SetWindowTextW(box, L"a\r\nb");
  const auto row = static_cast<int>(HIWORD(Send(box, EM_POSFROMCHAR, 3)) - HIWORD(Send(box, EM_POSFROMCHAR, 0)));
  SetWindowTextW(box, std::wstring(1000, L'x').c_str());
  const auto columns = static_cast<std::size_t>(Send(box, EM_LINELENGTH, 0, 0));

  std::map<std::string, std::pair<long long, std::size_t>> agreed;  // message: agreeing, all
  for (const Sample& sample : Corpus(columns)) {
    for (HWND w : {box, pane}) SetWindowTextW(w, reinterpret_cast<const wchar_t*>(sample.text.c_str()));
    for (const auto& [message, ask] : kMessages) {
      Answers answers[2];
      for (int i : {0, 1}) {
        Reset(i ? pane : box, sample);
        answers[i] = ask(i ? pane : box, sample, client, row);
      }
      const auto& [want, got] = answers;
      const std::size_t both = std::min(want.size(), got.size());
      auto& [same, all] = agreed[message];
      for (std::size_t i = 0; i < both; ++i) same += want[i] == got[i];
      all += std::max(want.size(), got.size());
      const auto known = kKnown.find(sample.name);
      if (want == got || (known != kKnown.end() && known->second.count(message))) continue;
      const auto first = static_cast<std::size_t>(std::mismatch(want.begin(), want.begin() + static_cast<std::ptrdiff_t>(both), got.begin()).first - want.begin());
      const auto at = [&](const Answers& a) { return first < a.size() ? std::to_string(a[first]) : "none"; };
      ADD_FAILURE() << message << " on \"" << sample.name << "\": answer " << first << " is " << at(got)
                    << ", the box's " << at(want);
    }
  }
  for (const auto& [message, counts] : agreed)
    std::printf("agreement %-30s %5.1f %% of %zu\n", message.c_str(), 100.0 * static_cast<double>(counts.first) / static_cast<double>(counts.second), counts.second);
  DestroyWindow(box);
}

}  // namespace
}  // namespace webapitest::testing
