// The contract between the window procedures and a front end (Qt or Win32).
//
// A front end builds the window from the control table (controls.h), implements Form, and
// raises the events of FormEvents. The procedures see nothing else of the window.
//
// Text: the platform's native Unicode as UTF-16. Multi-line text always carries CR LF between
// lines, both ways; a front end whose widget uses LF converts at its edge. Every operation
// takes effect at once, on the window's thread, before it returns.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "window/controls.h"

namespace webapitest {

// A colour as 0x00BBGGRR.
using Rgb = std::uint32_t;
inline constexpr Rgb kGreen = 0x00FF00;  // 65280
inline constexpr Rgb kRed = 0x0000FF;    // 255

enum class Fill { Transparent, Solid };

class Form {
 public:
  virtual ~Form() = default;

  // The whole text of host, request, reqFile or repFile, as the user left it.
  virtual std::u16string Text(Control box) const = 0;
  // Replaces the whole text of status, output or request. The string is handed over: a front
  // end may keep it without a copy, which counts for a reply of tens of megabytes.
  virtual void SetText(Control box, std::u16string text) = 0;
  // The value of checkMemRaw or checkFileRaw: 1 checked, 0 unchecked.
  virtual int Value(Control checkBox) const = 0;

  // ActiveShape or StatusShape. A change shows only after Repaint, which paints the light
  // before it returns, even when the caller then blocks the window's thread.
  virtual void SetFillColor(Control light, Rgb color) = 0;
  virtual void SetFillStyle(Control light, Fill fill) = 0;
  virtual void Repaint(Control light) = 0;

  // Moves the keyboard focus to the control (request).
  virtual void Focus(Control control) = 0;

  // A modal message box with the critical (stop) icon and one OK button; returns once the
  // user has dismissed it.
  virtual void ShowCritical(std::u16string_view title, std::u16string_view text) = 0;
};

// The events a front end raises, each handled by the procedure of the same name.
class FormEvents {
 public:
  virtual ~FormEvents() = default;

  // Once, after the controls exist and before the window is first shown.
  virtual void Form_Load() = 0;
  // Once, when the window is being closed. Setting cancel would refuse the close.
  virtual void Form_Unload(bool& cancel) = 0;

  virtual void StatusButton_Click() = 0;
  virtual void FileRequestButton_Click() = 0;
  virtual void RequestUrl_Click() = 0;
  virtual void MemRequestButton_Click() = 0;
  virtual void ResetButton_Click() = 0;
  virtual void RefreshButton_Click() = 0;
  virtual void ReplyUrl_Click() = 0;
  virtual void ClearButton_Click() = 0;
};

// Raises the click event of a command button; other controls raise nothing.
void RaiseClick(FormEvents& events, Control button);

}  // namespace webapitest
