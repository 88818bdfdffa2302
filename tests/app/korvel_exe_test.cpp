// The built korvel.exe as a process.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "tests/winlayer/modal_script.h"

namespace {

// The executable as Wine sees it: the build tree lies on drive Z:.
std::string KorvelExePath() {
  std::string path = KORVEL_EXE;
  if (path.empty() || path[0] != '/') return path;
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return "Z:" + path;
}

// A failed run's box is the end-to-end tests'; here the process itself.
TEST(RunningKorvelTest, EndsWithStatusZeroWhenItsDialogCloses) {
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  std::string commandLine = "\"" + KorvelExePath() + "\"";
  ASSERT_TRUE(::CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                               nullptr, &startup, &process));
  HWND main = nullptr;
  EXPECT_TRUE(WaitUntil([&] {
    for (main = ::FindWindowExA(nullptr, nullptr, nullptr, "KORVEL programmer"); main != nullptr;
         main = ::FindWindowExA(nullptr, main, nullptr, "KORVEL programmer")) {
      DWORD owner = 0;
      ::GetWindowThreadProcessId(main, &owner);
      if (owner == process.dwProcessId && ::IsWindowVisible(main)) return true;
    }
    return false;
  }));
  if (main != nullptr) ::PostMessageA(main, WM_SYSCOMMAND, SC_CLOSE, 0);
  const DWORD deadline = static_cast<DWORD>(kDeadline.count());
  const bool ended = ::WaitForSingleObject(process.hProcess, deadline) == WAIT_OBJECT_0;
  EXPECT_TRUE(ended) << "korvel.exe did not end when its dialog closed";
  DWORD code = 1;
  ::GetExitCodeProcess(process.hProcess, &code);
  EXPECT_EQ(code, 0u);
  if (!ended) ::TerminateProcess(process.hProcess, 1);
  ::CloseHandle(process.hThread);
  ::CloseHandle(process.hProcess);
}

}  // namespace
