// The output pane's text broken into lines no wider than the pane, before the EDIT sees it.
//
// A wrapping multi-line EDIT re-measures the rest of a paragraph for every visual line it
// makes, so one long line costs time that grows with the square of its length (under Wine a
// single 100,000-character line took about 35 s). The pane's font is fixed-pitch, so the text
// can be broken here, in one pass, exactly where the EDIT would break it: the EDIT then only
// ever lays out short lines. The inserted breaks exist only on the screen: the original text
// is kept, and copying maps a selection of the shown text back to it.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace webapitest::win32 {

class PaneText {
 public:
  PaneText() = default;
  // columns: how many characters fit in one line of the pane (at least 1).
  PaneText(std::u16string text, std::size_t columns);

  const std::u16string& original() const { return original_; }
  // The text as the pane shows it: original with CR LF inserted where a line is too wide.
  const std::u16string& shown() const { return shown_; }
  // The original text behind the shown characters [first, last); positions past the end and
  // positions inside an inserted break are clamped.
  std::u16string OriginalOf(std::size_t first, std::size_t last) const;

 private:
  std::size_t ToOriginal(std::size_t shown) const;

  std::u16string original_;
  std::u16string shown_;
  std::vector<std::size_t> breaks_;  // where each inserted CR LF starts in shown_, ascending
};

}  // namespace webapitest::win32
