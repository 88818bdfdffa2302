// The built korvel.exe: its version block, and the program run as the
// operator starts it.
#include <windows.h>
#include <commctrl.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "res/resource.h"
#include "tests/ui/modal_script.h"

namespace {

using ::testing::HasSubstr;

// The executable as Wine sees it: the build tree lies on drive Z:.
std::string KorvelExePath() {
  std::string path = KORVEL_EXE;
  if (!path.empty() && path[0] == '/') {
    path = "Z:" + path;
    for (char& c : path) {
      if (c == '/') c = '\\';
    }
  }
  return path;
}

class VersionBlockTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string path = KorvelExePath();
    DWORD handle = 0;
    const DWORD size = ::GetFileVersionInfoSizeA(path.c_str(), &handle);
    ASSERT_GT(size, 0u) << "no version block in " << path;
    block_.resize(size);
    ASSERT_TRUE(::GetFileVersionInfoA(path.c_str(), 0, size, block_.data()));
  }

  std::string Value(const std::string& name) {
    void* value = nullptr;
    UINT length = 0;
    const std::string query = "\\StringFileInfo\\040904B0\\" + name;
    if (!::VerQueryValueA(block_.data(), query.c_str(), &value, &length) || value == nullptr) {
      return "(missing)";
    }
    return std::string(static_cast<const char*>(value));
  }

  std::vector<char> block_;
};

TEST_F(VersionBlockTest, NumbersAreOneZeroZeroOne) {
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(::VerQueryValueA(block_.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
  ASSERT_NE(fixed, nullptr);
  EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
  EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000u);
  EXPECT_EQ(fixed->dwFileVersionLS, 0x00000001u);
  EXPECT_EQ(fixed->dwProductVersionMS, 0x00010000u);
  EXPECT_EQ(fixed->dwProductVersionLS, 0x00000001u);
  EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));
}

TEST_F(VersionBlockTest, StringsAreUsEnglishUnicode) {
  EXPECT_EQ(Value("FileVersion"), "1, 0, 0, 1");
  EXPECT_EQ(Value("ProductVersion"), "1, 0, 0, 1");
  EXPECT_EQ(Value("InternalName"), "korvel");
  EXPECT_EQ(Value("OriginalFilename"), "korvel.EXE");
  EXPECT_EQ(Value("FileDescription"), "korvel MFC Application");
  EXPECT_EQ(Value("ProductName"), "korvel Application");

  WORD* translation = nullptr;
  UINT length = 0;
  ASSERT_TRUE(::VerQueryValueA(block_.data(), "\\VarFileInfo\\Translation",
                               reinterpret_cast<void**>(&translation), &length));
  ASSERT_GE(length, 4u);
  EXPECT_EQ(translation[0], 0x0409);
  EXPECT_EQ(translation[1], 1200);
}

struct Search {
  DWORD processId;
  HWND found;
};

BOOL CALLBACK MatchMainWindow(HWND hwnd, LPARAM lParam) {
  auto* search = reinterpret_cast<Search*>(lParam);
  DWORD owner = 0;
  ::GetWindowThreadProcessId(hwnd, &owner);
  if (owner != search->processId || !::IsWindowVisible(hwnd)) return TRUE;
  if (TextOf(hwnd) != "KORVEL programmer") return TRUE;
  search->found = hwnd;
  return FALSE;
}

// korvel.exe started as a separate process; ended by force only when a check
// left it running.
class RunningKorvel : public ::testing::Test {
 protected:
  void SetUp() override {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    std::string commandLine = "\"" + KorvelExePath() + "\"";
    ASSERT_TRUE(::CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0,
                                 nullptr, nullptr, &startup, &process_))
        << "cannot start " << commandLine;
    ASSERT_TRUE(WaitUntil([&] { return (main_ = MainWindow()) != nullptr; }))
        << "the main dialog did not appear";
  }

  void TearDown() override {
    if (process_.hProcess == nullptr) return;
    if (::WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) {
      ::TerminateProcess(process_.hProcess, 1);
      ::WaitForSingleObject(process_.hProcess, 5000);
    }
    ::CloseHandle(process_.hThread);
    ::CloseHandle(process_.hProcess);
  }

  HWND MainWindow() {
    Search search{process_.dwProcessId, nullptr};
    ::EnumWindows(&MatchMainWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
  }

  // Waits for the process to end; gives its exit code, or -1 at the deadline.
  long ExitCode() {
    if (::WaitForSingleObject(process_.hProcess, static_cast<DWORD>(kDeadline.count())) !=
        WAIT_OBJECT_0) {
      return -1;
    }
    DWORD code = 0;
    ::GetExitCodeProcess(process_.hProcess, &code);
    return static_cast<long>(code);
  }

  PROCESS_INFORMATION process_{};
  HWND main_ = nullptr;
};

TEST_F(RunningKorvel, OpensItsDialogAndEndsWhenItCloses) {
  EXPECT_EQ(::GetWindow(main_, GW_OWNER), nullptr);
  EXPECT_FALSE(::IsWindowEnabled(::GetDlgItem(main_, IDC_PROGRAM)));
  EXPECT_EQ(TextOf(::GetDlgItem(main_, IDCANCEL)), "EXIT");
  ::PostMessageA(main_, WM_SYSCOMMAND, SC_CLOSE, 0);
  EXPECT_EQ(ExitCode(), 0);
}

TEST_F(RunningKorvel, AFailedRunIsReportedUnderTheProgramsName) {
  // The test prefix leads COM2 nowhere, so the run fails at once; were a port
  // there, nothing on it would answer and the warning would name it all the same.
  Click(::GetDlgItem(main_, IDC_PORT2));
  PostClick(::GetDlgItem(main_, IDC_PROGRAM));
  HWND box = nullptr;
  ASSERT_TRUE(WaitUntil([&] { return (box = FindOwnedWindow(main_)) != nullptr; }));
  EXPECT_EQ(TextOf(box), "korvel");
  EXPECT_THAT(AllText(box), HasSubstr("COM2"));
  EXPECT_FALSE(::IsWindowEnabled(main_));

  Click(::GetDlgItem(box, IDOK));
  EXPECT_TRUE(WaitUntil([&] { return ::IsWindowEnabled(main_) != FALSE; }));
  EXPECT_EQ(Send(::GetDlgItem(main_, IDC_PROGRESS), PBM_GETPOS), 0);
  ::PostMessageA(main_, WM_COMMAND, IDCANCEL, 0);
  EXPECT_EQ(ExitCode(), 0);
}

}  // namespace
