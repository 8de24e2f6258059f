// What every window test needs: COM, for the desktop shell object.
#include <gtest/gtest.h>

#include <windows.h>
#include <objbase.h>

namespace {

class WindowTestEnvironment : public ::testing::Environment {
 public:
  void SetUp() override { com_ = CoInitialize(nullptr); }
  void TearDown() override {
    if (SUCCEEDED(com_)) CoUninitialize();
  }

 private:
  HRESULT com_ = E_FAIL;
};

const auto* const environment = ::testing::AddGlobalTestEnvironment(new WindowTestEnvironment);

}  // namespace
