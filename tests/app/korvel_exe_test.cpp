// The built korvel.exe: its version block, and its process.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

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

TEST(VersionBlockTest, ReadsOneZeroZeroOneInUsEnglish) {
  const std::string path = KorvelExePath();
  DWORD handle = 0;
  std::vector<char> block(::GetFileVersionInfoSizeA(path.c_str(), &handle));
  ASSERT_FALSE(block.empty()) << "no version block in " << path;
  ASSERT_TRUE(
      ::GetFileVersionInfoA(path.c_str(), 0, static_cast<DWORD>(block.size()), block.data()));
  auto value = [&](const std::string& query) -> const void* {
    void* found = nullptr;
    UINT length = 0;
    return ::VerQueryValueA(block.data(), query.c_str(), &found, &length) ? found : nullptr;
  };

  const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(value("\\"));
  ASSERT_NE(fixed, nullptr);
  EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000u);
  EXPECT_EQ(fixed->dwFileVersionLS, 0x00000001u);
  EXPECT_EQ(fixed->dwProductVersionMS, 0x00010000u);
  EXPECT_EQ(fixed->dwProductVersionLS, 0x00000001u);
  const auto* translation = static_cast<const WORD*>(value("\\VarFileInfo\\Translation"));
  ASSERT_NE(translation, nullptr);
  EXPECT_EQ(translation[0], 0x0409);
  EXPECT_EQ(translation[1], 1200);

  const std::pair<const char*, const char*> strings[] = {
      {"FileVersion", "1, 0, 0, 1"}, {"ProductVersion", "1, 0, 0, 1"},
      {"InternalName", "korvel"}, {"OriginalFilename", "korvel.EXE"},
      {"FileDescription", "korvel MFC Application"}, {"ProductName", "korvel Application"},
  };
  for (const auto& [name, expected] : strings) {
    const std::string query = std::string("\\StringFileInfo\\040904B0\\") + name;
    EXPECT_STREQ(static_cast<const char*>(value(query)), expected) << name;
  }
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
