// The program itself, started as a user starts it: where it finds the client library.
#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <cstdint>
#include <fstream>
#include <string>
#include <thread>

#include "doubles/double_control.h"
#include "gui_driver.h"
#include "text/text.h"

namespace webapitest::testing {
namespace {

std::wstring FolderOf(const std::wstring& path) { return path.substr(0, path.find_last_of(L"\\/") + 1); }

std::wstring OwnPath() {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  return path;
}

struct Search {
  DWORD process;
  std::u16string windowClass;
  HWND found = nullptr;
};

BOOL CALLBACK Visit(HWND window, LPARAM data) {
  auto* search = reinterpret_cast<Search*>(data);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner != search->process || !IsWindowVisible(window) || ClassOf(window) != search->windowClass) return TRUE;
  search->found = window;
  return FALSE;
}

// A visible top-level window of the process, of the given class, or nullptr.
HWND WindowOf(DWORD process, const std::u16string& windowClass) {
  Search search{process, windowClass};
  EnumWindows(Visit, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

BOOL CALLBACK AddText(HWND child, LPARAM texts) {
  *reinterpret_cast<std::u16string*>(texts) += TextOf(child) + u"\n";
  return TRUE;
}

// The texts of a window's children, one after another.
std::u16string ChildTexts(HWND window) {
  std::u16string texts;
  EnumChildWindows(window, AddText, reinterpret_cast<LPARAM>(&texts));
  return texts;
}

HWND WaitFor(DWORD process, const std::u16string& windowClass) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (std::chrono::steady_clock::now() < end) {
    if (HWND found = WindowOf(process, windowClass)) return found;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return nullptr;
}

// With no library beside the program, the one the system finds on PATH serves; where there
// is none either, the failure names both places looked at and the program ends with code 1.
class LibrarySearch : public ::testing::TestWithParam<bool> {};

TEST_P(LibrarySearch, FindsTheLibraryOnPathOrNamesBothPlaces) {
  const bool onPath = GetParam();
  // The build puts the programs in bin/, beside the tests' folder.
  const std::wstring program = FolderOf(OwnPath()) + L"..\\bin\\webapitest.exe";
  wchar_t temp[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, temp);
  const std::wstring folder = std::wstring(temp) + L"webapitest-search-" + std::to_wstring(GetCurrentProcessId()) +
                              (onPath ? L"-path" : L"-none") + L"\\";
  CreateDirectoryW(folder.c_str(), nullptr);
  const std::wstring copy = folder + L"webapitest.exe";
  ASSERT_TRUE(CopyFileW(program.c_str(), copy.c_str(), FALSE)) << GetLastError();

  // The child inherits this environment: no override, and PATH with or without the double.
  wchar_t kept[32767] = {};
  GetEnvironmentVariableW(L"PATH", kept, 32767);
  const std::wstring doubles = win32::Wide(DoublePath());
  SetEnvironmentVariableW(L"PATH", ((onPath ? FolderOf(doubles) + L";" : L"") + kept).c_str());
  SetEnvironmentVariableW(L"WEBAPITEST_LIBRARY", nullptr);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION child{};
  std::wstring commandLine = L"\"" + copy + L"\"";
  const bool started = CreateProcessW(copy.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                      folder.c_str(), &startup, &child);
  SetEnvironmentVariableW(L"PATH", kept);
  ASSERT_TRUE(started) << GetLastError();

  if (onPath) {
    HWND window = WaitFor(child.dwProcessId, u"WebApiForm");
    ASSERT_NE(window, nullptr);
    PostMessageW(window, WM_CLOSE, 0, 0);
  } else {
    HWND box = WaitFor(child.dwProcessId, u"#32770");
    ASSERT_NE(box, nullptr);
    const std::u16string texts = ChildTexts(box);
    EXPECT_NE(texts.find(u"nor where the system looks"), std::u16string::npos) << ToUtf8(texts);
    EXPECT_NE(texts.find(win32::Utf16(copy.substr(0, copy.size() - 14) + L"webapi.dll")), std::u16string::npos);
    PostMessageW(box, WM_COMMAND, IDOK, 0);
  }
  ASSERT_EQ(WaitForSingleObject(child.hProcess, 30000), WAIT_OBJECT_0);
  DWORD code = 99;
  GetExitCodeProcess(child.hProcess, &code);
  EXPECT_EQ(code, onPath ? 0u : 1u);
  CloseHandle(child.hThread);
  CloseHandle(child.hProcess);
  DeleteFileW(copy.c_str());
  RemoveDirectoryW(folder.c_str());
}

INSTANTIATE_TEST_SUITE_P(Program, LibrarySearch, ::testing::Values(true, false),
                         [](const auto& row) { return row.param ? "OnPath" : "Nowhere"; });

#ifndef _WIN64
// The 32-bit program is large-address aware: under 64-bit Windows it has more than 2 GiB of
// address space for a large reply. Reserved here from outside, in pieces, as much as it gives
// (up to 2.5 GiB); a copy with the flag cleared gets less than 2 GiB, so the check can tell.
class LargeAddresses : public ::testing::TestWithParam<bool> {};

TEST_P(LargeAddresses, TheProgramGetsMoreThanTwoGibibytesOnlyWithTheFlag) {
  const bool flag = GetParam();
  wchar_t temp[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, temp);
  const std::wstring copy = std::wstring(temp) + L"webapitest-" + (flag ? L"aware" : L"unaware") + L".exe";
  ASSERT_TRUE(CopyFileW((FolderOf(OwnPath()) + L"..\\bin\\webapitest.exe").c_str(), copy.c_str(), FALSE));
  if (!flag) {  // IMAGE_FILE_LARGE_ADDRESS_AWARE off in the file header's characteristics
    std::fstream file(copy.c_str(), std::ios::in | std::ios::out | std::ios::binary);
    std::uint32_t header = 0;
    std::uint16_t characteristics = 0;
    file.seekg(0x3c).read(reinterpret_cast<char*>(&header), 4);
    file.seekg(header + 22).read(reinterpret_cast<char*>(&characteristics), 2);
    characteristics &= static_cast<std::uint16_t>(~IMAGE_FILE_LARGE_ADDRESS_AWARE);
    file.seekp(header + 22).write(reinterpret_cast<const char*>(&characteristics), 2);
  }
  SetEnvironmentVariableW(L"WEBAPITEST_LIBRARY", win32::Wide(DoublePath()).c_str());
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION child{};
  std::wstring commandLine = L"\"" + copy + L"\"";
  ASSERT_TRUE(CreateProcessW(copy.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, temp, &startup,
                             &child));
  HWND window = WaitFor(child.dwProcessId, u"WebApiForm");
  ASSERT_NE(window, nullptr);
  constexpr SIZE_T kPiece = SIZE_T{64} << 20;
  unsigned long long reserved = 0;
  while (reserved < (5ULL << 29) && VirtualAllocEx(child.hProcess, nullptr, kPiece, MEM_RESERVE, PAGE_NOACCESS))
    reserved += kPiece;
  EXPECT_EQ(reserved > (1ULL << 31), flag) << (reserved >> 20) << " MiB reserved";
  PostMessageW(window, WM_CLOSE, 0, 0);
  EXPECT_EQ(WaitForSingleObject(child.hProcess, 30000), WAIT_OBJECT_0);
  CloseHandle(child.hThread);
  CloseHandle(child.hProcess);
  DeleteFileW(copy.c_str());
}

INSTANTIATE_TEST_SUITE_P(Program, LargeAddresses, ::testing::Values(true, false),
                         [](const auto& row) { return row.param ? "Aware" : "Unaware"; });
#endif

}  // namespace
}  // namespace webapitest::testing
