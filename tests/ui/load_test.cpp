// LOAD driven as the operator would: the button, then the real file-open
// dialog, a typed path and its Open or Cancel button.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/ui/main_dialog_fixture.h"

namespace {

// A file in the temporary folder holding exactly these bytes; gives its path.
std::string WriteTempFile(const std::string& name, const std::string& bytes) {
  char folder[MAX_PATH] = {};
  ::GetTempPathA(sizeof folder, folder);
  const std::string path = std::string(folder) + name;
  HANDLE file = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  DWORD written = 0;
  ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  ::CloseHandle(file);
  EXPECT_EQ(written, bytes.size()) << path;
  return path;
}

BOOL CALLBACK FindVisibleEdit(HWND child, LPARAM found) {
  char name[16] = {};
  ::GetClassNameA(child, name, sizeof name);
  if (::lstrcmpiA(name, "Edit") != 0 || !::IsWindowVisible(child)) return TRUE;
  *reinterpret_cast<HWND*>(found) = child;
  return FALSE;
}

// The file dialog's file-name field: the only edit it shows.
HWND FileNameField(HWND fileDialog) {
  HWND edit = nullptr;
  ::EnumChildWindows(fileDialog, &FindVisibleEdit, reinterpret_cast<LPARAM>(&edit));
  return edit;
}

// Sets the bar off zero, presses LOAD and waits for the file dialog.
HWND OpenFileDialog(HWND dlg) {
  Send(::GetDlgItem(dlg, IDC_PROGRESS), PBM_SETPOS, 25);
  PostClick(::GetDlgItem(dlg, IDC_LOAD));
  return WaitForOwnedWindow(dlg);
}

// Presses a button of the file dialog (Open after typing path, when one is
// given) and waits until LOAD has returned.
void Finish(HWND dlg, HWND fileDialog, const char* path) {
  if (path != nullptr) {
    HWND field = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (field = FileNameField(fileDialog)) != nullptr; }));
    Send(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path));
  }
  PostClick(::GetDlgItem(fileDialog, path != nullptr ? IDOK : IDCANCEL));
  EXPECT_TRUE(WaitUntil([&] { return !::IsWindow(fileDialog); })) << "file dialog stayed open";
  Send(dlg, WM_NULL);  // answered only once the command has returned
}

void Load(HWND dlg, const std::string& path) {
  HWND fileDialog = OpenFileDialog(dlg);
  if (fileDialog != nullptr) Finish(dlg, fileDialog, path.c_str());
}

// What every load leaves behind, whatever came of it.
void ExpectLoadEnded(HWND dlg) {
  EXPECT_TRUE(::IsWindowEnabled(::GetDlgItem(dlg, IDCANCEL)));
  EXPECT_EQ(Send(::GetDlgItem(dlg, IDC_PROGRESS), PBM_GETPOS), 0);
  EXPECT_EQ(FindOwnedWindow(dlg), nullptr) << "no message for any outcome of a load";
}

std::string EditText(HWND dlg) { return WindowTextOf(::GetDlgItem(dlg, IDC_MESSAGE)); }

using LoadTest = MainDialogTest;

TEST_F(LoadTest, ASixtyByteFileGivesItsFirst58Bytes) {
  const std::string lines = std::string(28, 'A') + "\r\n" + "second line of the banner...";
  const std::string path = WriteTempFile("korvel-60.txt", lines + "\r\n");
  Run([&](HWND dlg) {
    HWND fileDialog = OpenFileDialog(dlg);
    ASSERT_NE(fileDialog, nullptr);
    EXPECT_FALSE(::IsWindowEnabled(dlg));
    EXPECT_EQ(Send(::GetDlgItem(fileDialog, 0x470 /* type list */), CB_GETCOUNT), 1);
    Finish(dlg, fileDialog, path.c_str());
    EXPECT_EQ(EditText(dlg), lines);
    ExpectLoadEnded(dlg);
  });
  EXPECT_EQ(dialog_.message(), lines);
}

TEST_F(LoadTest, ACancelledOrUnreadableLoadLeavesTheTextAsItWas) {
  const std::string earlier = WriteTempFile("korvel-earlier.txt", "EARLIER");
  const std::string locked = WriteTempFile("korvel-locked.txt", "LOCKED");
  const std::string missing = earlier.substr(0, earlier.size() - 4) + "-missing.txt";
  ::DeleteFileA(missing.c_str());
  HANDLE holder = ::CreateFileA(locked.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(holder, INVALID_HANDLE_VALUE);
  Run([&](HWND dlg) {
    Load(dlg, earlier);
    Send(::GetDlgItem(dlg, IDC_MESSAGE), WM_SETTEXT, 0, reinterpret_cast<LPARAM>("TYPED"));
    for (const char* path : {static_cast<const char*>(nullptr), missing.c_str(), locked.c_str()}) {
      SCOPED_TRACE(path != nullptr ? path : "cancel");
      HWND fileDialog = OpenFileDialog(dlg);
      ASSERT_NE(fileDialog, nullptr);
      Finish(dlg, fileDialog, path);
      EXPECT_EQ(EditText(dlg), "TYPED");
      ExpectLoadEnded(dlg);
    }
  });
  ::CloseHandle(holder);
  EXPECT_EQ(dialog_.message(), "EARLIER");
}

TEST_F(LoadTest, ATextEndedBySubIsProgrammedUpToTheSub) {
  const std::string path = WriteTempFile("korvel-sub.txt", "HELLO\x1AWORLD");
  Run([&](HWND dlg) {
    Load(dlg, path);
    Click(::GetDlgItem(dlg, IDC_PORT1));
    Click(::GetDlgItem(dlg, IDC_PROGRAM));
    EXPECT_EQ(FindOwnedWindow(dlg), nullptr);
  });
  const std::vector<std::vector<std::uint8_t>> frames = {BlankFrameBytes(), Bytes("HELLO\x1A")};
  EXPECT_EQ(com1_.Frames(), frames);
  EXPECT_EQ(com1_.Received().size(), BlankFrameBytes().size() + 6)
      << "nothing goes out after the SUB";
}

}  // namespace
