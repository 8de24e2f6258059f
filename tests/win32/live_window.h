// The window under test: the real Win32 window on the (virtual) screen, in front, with either
// a record of the events it raises or the real window procedures and the scripted library.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "commands/procedures.h"
#include "doubles/double_control.h"
#include "doubles/recording_form.h"
#include "gui_driver.h"
#include "window/win32/web_api_form.h"

namespace webapitest::testing {

// Records the events the window raises, by handler name.
class EventLog : public FormEvents {
 public:
  void Form_Load() override { events.push_back("Form_Load"); }
  void Form_Unload(bool&) override { events.push_back("Form_Unload"); }
  void StatusButton_Click() override { events.push_back("StatusButton_Click"); }
  void FileRequestButton_Click() override { events.push_back("FileRequestButton_Click"); }
  void RequestUrl_Click() override { events.push_back("RequestUrl_Click"); }
  void MemRequestButton_Click() override { events.push_back("MemRequestButton_Click"); }
  void ResetButton_Click() override { events.push_back("ResetButton_Click"); }
  void RefreshButton_Click() override { events.push_back("RefreshButton_Click"); }
  void ReplyUrl_Click() override { events.push_back("ReplyUrl_Click"); }
  void ClearButton_Click() override { events.push_back("ClearButton_Click"); }
  std::vector<std::string> events;
};

// Where a control lies in the window's client area at the window's DPI, read from the table.
RECT TableRect(const ControlItem& item, int dpi);
POINT CenterOf(const RECT& rect);

// A shown window whose events go to an EventLog; nothing is loaded.
class LiveWindow {
 public:
  LiveWindow();
  ~LiveWindow();
  win32::WebApiForm& window() { return *window_; }
  HWND hwnd() const { return window_->hwnd(); }
  HWND operator[](Control control) const { return window_->Child(control); }
  Pump& pump() { return pump_; }
  EventLog& log() { return log_; }
  // The focus is in the control, as after a click into it.
  void FocusOn(Control control);
  HWND Focused() const { return GetFocus(); }

 private:
  std::unique_ptr<win32::WebApiForm> window_;
  EventLog log_;
  Pump pump_;
};

// The window with its procedures, the scripted library and a recording shell, loaded and
// shown as the program does it. The reply file lies in the temporary folder.
class LoadedWindow {
 public:
  explicit LoadedWindow(const std::u16string& doubleFolder = u"");
  ~LoadedWindow();
  win32::WebApiForm& window() { return *window_; }
  HWND hwnd() const { return window_->hwnd(); }
  HWND operator[](Control control) const { return window_->Child(control); }
  Pump& pump() { return pump_; }
  ScriptedLibrary& library() { return scripted_; }
  const std::u16string& replyPath() const { return replyPath_; }
  std::vector<std::u16string>& opened() { return opened_; }
  // Clicks a button as the mouse does, and lets the window finish what follows.
  void Click(Control button);
  // Sets a text box's text as if the user had typed it.
  void Enter(Control box, const std::u16string& text);
  // Closes the window as its close box does.
  void Close();

 private:
  ScriptedLibrary scripted_;
  ClientLibrary library_;
  std::vector<std::u16string> opened_;
  std::unique_ptr<win32::WebApiForm> window_;
  std::unique_ptr<FormProcedures> procedures_;
  Pump pump_;
  std::u16string replyPath_;
};

}  // namespace webapitest::testing
