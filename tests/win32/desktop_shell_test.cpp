// The desktop shell object as the window creates it at load.
#include <gtest/gtest.h>

#include <windows.h>

#include <stdexcept>
#include <string>
#include <thread>

#include "window/shell.h"

namespace webapitest {
namespace {

TEST(DesktopShell, IsCreatedByItsProgrammaticName) {
  // The test program has initialised COM on this thread, as the program does in WinMain.
  EXPECT_NE(CreateShell(), nullptr);
}

TEST(DesktopShell, WithoutComTheFailureNamesTheObject) {
  std::string message;
  std::thread([&] {  // a thread of its own has not initialised COM
    try {
      CreateShell();
    } catch (const std::runtime_error& failure) {
      message = failure.what();
    }
  }).join();
  EXPECT_NE(message.find("Shell.Application"), std::string::npos) << message;
  EXPECT_NE(message.find("HRESULT 0x"), std::string::npos) << message;
}

}  // namespace
}  // namespace webapitest
