// The Windows program: wires the window, the window procedures and the client library
// together, runs the window's message loop and returns its exit code.
#include <windows.h>
#include <objbase.h>

#include <cstdlib>
#include <exception>
#include <string>

#include "client/library.h"
#include "commands/procedures.h"
#include "resource.h"
#include "window/win32/web_api_form.h"
#include "text/text.h"
#include "window/win32/text.h"

namespace {

using webapitest::ClientLibrary;

void ShowFailure(const std::string& text) {
  const std::wstring message = webapitest::win32::Wide(webapitest::FromUtf8(text));
  const std::wstring title = webapitest::win32::Wide(webapitest::kWindowTitle);
  MessageBoxW(nullptr, message.c_str(), title.c_str(), MB_OK | MB_ICONERROR);
}

int RunWindow(HINSTANCE instance, int showCommand) {
  ClientLibrary library(ClientLibrary::Locate());
  webapitest::win32::WebApiForm window(instance, IDI_WEBAPITEST);
  webapitest::FormProcedures procedures(window, library, webapitest::CreateShell);
  window.SetEvents(&procedures);
  if (!window.Load()) return window.exitCode();  // 1 after a failure it has shown
  window.Show(showCommand);
  const int exitCode = window.Run();
  window.SetEvents(nullptr);
  return exitCode;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
  // The desktop shell object is an apartment-threaded COM object.
  const HRESULT com = CoInitialize(nullptr);
  int exitCode = 1;
  try {
    exitCode = RunWindow(instance, showCommand);
  } catch (const std::exception& failure) {  // the window could not be created
    ShowFailure(failure.what());
  } catch (...) {
    ShowFailure("An unexpected failure ended the program.");
  }
  if (SUCCEEDED(com)) CoUninitialize();
  return exitCode;
}
