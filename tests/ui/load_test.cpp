// LOAD driven as the operator would: the button, then the real file-open
// dialog, a typed path and its Open or Cancel button.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "tests/ui/main_dialog_fixture.h"

namespace {

// A file in the temporary folder holding exactly these bytes; gives its path.
std::string WriteTempFile(const std::string& name, const std::string& bytes) {
  char folder[MAX_PATH] = {};
  ::GetTempPathA(sizeof folder, folder);
  const std::string path = std::string(folder) + name;
  EXPECT_TRUE(std::ofstream(path, std::ios::binary) << bytes) << path;
  return path;
}

// The file dialog's file-name field: the only edit it shows.
BOOL CALLBACK FindVisibleEdit(HWND child, LPARAM found) {
  char name[16] = {};
  ::GetClassNameA(child, name, sizeof name);
  if (::lstrcmpiA(name, "Edit") != 0 || !::IsWindowVisible(child)) return TRUE;
  *reinterpret_cast<HWND*>(found) = child;
  return FALSE;
}

// Presses LOAD with the bar off zero, then Open in the file dialog after
// typing path (Cancel when there is none), and waits until LOAD has returned.
void Load(HWND dlg, const char* path) {
  Send(::GetDlgItem(dlg, IDC_PROGRESS), PBM_SETPOS, 25);
  PostClick(::GetDlgItem(dlg, IDC_LOAD));
  HWND fileDialog = WaitForOwnedWindow(dlg);
  ASSERT_NE(fileDialog, nullptr);
  EXPECT_FALSE(::IsWindowEnabled(dlg));
  EXPECT_EQ(Send(::GetDlgItem(fileDialog, 0x470 /* type list */), CB_GETCOUNT), 1);
  if (path != nullptr) {
    HWND field = nullptr;
    ASSERT_TRUE(WaitUntil([&] {
      ::EnumChildWindows(fileDialog, &FindVisibleEdit, reinterpret_cast<LPARAM>(&field));
      return field != nullptr;
    }));
    Send(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path));
  }
  PostClick(::GetDlgItem(fileDialog, path != nullptr ? IDOK : IDCANCEL));
  EXPECT_TRUE(WaitUntil([&] { return !::IsWindow(fileDialog); })) << "file dialog stayed open";
  Send(dlg, WM_NULL);  // answered only once the command has returned
  // What every load leaves behind, whatever came of it.
  EXPECT_TRUE(::IsWindowEnabled(::GetDlgItem(dlg, IDCANCEL)));
  EXPECT_EQ(Send(::GetDlgItem(dlg, IDC_PROGRESS), PBM_GETPOS), 0);
  EXPECT_EQ(FindOwnedWindow(dlg), nullptr) << "no message for any outcome of a load";
}

using LoadTest = MainDialogTest;

TEST_F(LoadTest, AFileGivesItsFirst58BytesOrUpToItsSubAndAFailedLoadChangesNothing) {
  const std::string lines = std::string(28, 'A') + "\r\n" + "second line of the banner...";
  const std::string sixty = WriteTempFile("korvel-60.txt", lines + "\r\n");
  const std::string sub = WriteTempFile("korvel-sub.txt", "HELLO\x1AWORLD");
  const std::string locked = WriteTempFile("korvel-locked.txt", "LOCKED");
  const std::string missing = sixty.substr(0, sixty.size() - 4) + "-missing.txt";
  ::DeleteFileA(missing.c_str());
  HANDLE holder = ::CreateFileA(locked.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(holder, INVALID_HANDLE_VALUE);
  Run([&](HWND dlg) {
    HWND edit = ::GetDlgItem(dlg, IDC_MESSAGE);
    Load(dlg, sixty.c_str());
    EXPECT_EQ(WindowTextOf(edit), lines);
    Send(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("TYPED"));
    const char* cancel = nullptr;
    for (const char* failing : {cancel, missing.c_str(), locked.c_str()}) {
      SCOPED_TRACE(failing != nullptr ? failing : "cancel");
      Load(dlg, failing);
      EXPECT_EQ(WindowTextOf(edit), "TYPED");
    }
    Load(dlg, sub.c_str());
    Click(::GetDlgItem(dlg, IDC_PORT1));
    Click(::GetDlgItem(dlg, IDC_PROGRAM));
    EXPECT_EQ(FindOwnedWindow(dlg), nullptr);
  });
  ::CloseHandle(holder);
  const std::vector<std::vector<std::uint8_t>> frames = {BlankFrameBytes(), Bytes("HELLO\x1A")};
  EXPECT_EQ(com1_.Frames(), frames);
  EXPECT_EQ(com1_.Received().size(), BlankFrameBytes().size() + 6)
      << "nothing goes out after the SUB";
  EXPECT_EQ(dialog_.message(), "HELLO\x1A");
}

}  // namespace
