// The LOAD command driven as the operator would: the button, then the real
// file-open dialog, a typed path and its Open button.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "res/resource.h"
#include "tests/ui/main_dialog_fixture.h"

namespace {

// The file-open dialog's controls.
constexpr int kFileTypeList = 0x470;  // cmb1

// A file in the temporary folder holding exactly these bytes; gives its path.
std::string WriteTempFile(const std::string& name, const std::string& bytes) {
  char folder[MAX_PATH] = {};
  ::GetTempPathA(sizeof folder, folder);
  const std::string path = std::string(folder) + name;
  HANDLE file = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  EXPECT_NE(file, INVALID_HANDLE_VALUE) << path;
  DWORD written = 0;
  ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  ::CloseHandle(file);
  EXPECT_EQ(written, bytes.size());
  return path;
}

BOOL CALLBACK FindEdit(HWND child, LPARAM lParam) {
  char name[16] = {};
  ::GetClassNameA(child, name, sizeof name);
  if (lstrcmpiA(name, "Edit") != 0 || !::IsWindowVisible(child)) return TRUE;
  *reinterpret_cast<HWND*>(lParam) = child;
  return FALSE;
}

// The file dialog's file-name field: the only edit it shows.
HWND FileNameField(HWND fileDialog) {
  HWND edit = nullptr;
  ::EnumChildWindows(fileDialog, &FindEdit, reinterpret_cast<LPARAM>(&edit));
  return edit;
}

// Presses LOAD and waits for the file dialog the main dialog owns.
HWND OpenFileDialog(HWND dlg) {
  PostClick(::GetDlgItem(dlg, IDC_LOAD));
  HWND fileDialog = nullptr;
  EXPECT_TRUE(WaitUntil([&] { return (fileDialog = FindOwnedWindow(dlg)) != nullptr; }))
      << "no file dialog appeared";
  return fileDialog;
}

// Waits until the file dialog has gone and the command that showed it has
// finished: the dialog answers a sent message only once the command returned.
void WaitForLoadToEnd(HWND dlg, HWND fileDialog) {
  EXPECT_TRUE(WaitUntil([&] { return !::IsWindow(fileDialog); })) << "file dialog stayed open";
  Send(dlg, WM_NULL);
}

// LOAD, type the path into the file dialog, Open.
void LoadFile(HWND dlg, const std::string& path) {
  HWND fileDialog = OpenFileDialog(dlg);
  if (fileDialog == nullptr) return;
  HWND field = nullptr;
  ASSERT_TRUE(WaitUntil([&] { return (field = FileNameField(fileDialog)) != nullptr; }));
  Send(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
  PostClick(::GetDlgItem(fileDialog, IDOK));
  WaitForLoadToEnd(dlg, fileDialog);
}

// LOAD, then Cancel in the file dialog.
void CancelLoad(HWND dlg) {
  HWND fileDialog = OpenFileDialog(dlg);
  if (fileDialog == nullptr) return;
  PostClick(::GetDlgItem(fileDialog, IDCANCEL));
  WaitForLoadToEnd(dlg, fileDialog);
}

// What every load leaves behind, whatever came of it.
void ExpectLoadClosed(HWND dlg) {
  EXPECT_TRUE(::IsWindowEnabled(::GetDlgItem(dlg, IDCANCEL)));
  EXPECT_TRUE(::IsWindowEnabled(dlg));
  EXPECT_EQ(Send(::GetDlgItem(dlg, IDC_PROGRESS), PBM_GETPOS), 0);
  EXPECT_EQ(FindOwnedWindow(dlg), nullptr) << "no message for any outcome of a load";
}

void SetBar(HWND dlg, int position) { Send(::GetDlgItem(dlg, IDC_PROGRESS), PBM_SETPOS, position); }

std::string EditText(HWND dlg) { return TextOf(::GetDlgItem(dlg, IDC_MESSAGE)); }

using LoadTest = MainDialogTest;

TEST_F(LoadTest, ATwoLineFileGivesItsFirst58BytesThroughTheFileDialog) {
  const std::string first(28, 'A'), second = "second line of the banner...";
  ASSERT_EQ(second.size(), 28u);
  const std::string path = WriteTempFile("korvel-two-lines.txt", first + "\r\n" + second + "\r\n");

  Run([&](HWND dlg) {
    SetBar(dlg, 25);
    HWND fileDialog = OpenFileDialog(dlg);
    ASSERT_NE(fileDialog, nullptr);
    EXPECT_FALSE(::IsWindowEnabled(dlg)) << "the dialog takes no input while a file is chosen";
    EXPECT_EQ(Send(::GetDlgItem(dlg, IDC_PROGRESS), PBM_GETPOS), 0);

    // One file type to choose from, and no name offered.
    HWND types = ::GetDlgItem(fileDialog, kFileTypeList);
    ASSERT_EQ(Send(types, CB_GETCOUNT), 1);
    char type[64] = {};
    Send(types, CB_GETLBTEXT, 0, reinterpret_cast<LPARAM>(type));
    EXPECT_STREQ(type, "Banner files(*.txt)");
    HWND field = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (field = FileNameField(fileDialog)) != nullptr; }));
    EXPECT_EQ(TextOf(field), "");

    Send(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
    PostClick(::GetDlgItem(fileDialog, IDOK));
    WaitForLoadToEnd(dlg, fileDialog);

    EXPECT_EQ(EditText(dlg), first + "\r\n" + second);
    ExpectLoadClosed(dlg);
  });
  EXPECT_EQ(Dialog().message(), first + "\r\n" + second);
}

TEST_F(LoadTest, AShortFileGivesExactlyItsBytesAndTheEditStopsAtAZeroByte) {
  const std::string bytes("SHORT\0LINE\r\n", 12);
  const std::string path = WriteTempFile("korvel-short.txt", bytes);
  Run([&](HWND dlg) {
    LoadFile(dlg, path);
    EXPECT_EQ(EditText(dlg), "SHORT");
    ExpectLoadClosed(dlg);
  });
  EXPECT_EQ(Dialog().message(), bytes);
}

TEST_F(LoadTest, ATextEndedBySubIsProgrammedUpToTheSub) {
  const std::string path = WriteTempFile("korvel-sub.txt", "HELLO\x1AWORLD");
  Run([&](HWND dlg) {
    LoadFile(dlg, path);
    EXPECT_EQ(EditText(dlg), "HELLO\x1A") << "a character the keyboard may not type stays";
    Click(::GetDlgItem(dlg, IDC_PORT1));
    Click(::GetDlgItem(dlg, IDC_PROGRAM));
    EXPECT_EQ(FindOwnedWindow(dlg), nullptr);
  });

  const std::string blank = std::string(28, ' ') + "\r\n" + std::string(28, ' ') + "\r\n\x1A";
  const std::vector<std::vector<std::uint8_t>> frames = {
      std::vector<std::uint8_t>(blank.begin(), blank.end()), {'H', 'E', 'L', 'L', 'O', 0x1A}};
  EXPECT_EQ(Unit().Frames(), frames);
  EXPECT_EQ(Unit().Received().size(), blank.size() + 6) << "nothing goes out after the SUB";
}

TEST_F(LoadTest, ACancelledOrUnreadableLoadLeavesTextAndEditAsTheyWere) {
  const std::string earlier = WriteTempFile("korvel-earlier.txt", "EARLIER");
  const std::string locked = WriteTempFile("korvel-locked.txt", "LOCKED");
  const std::string missing = earlier.substr(0, earlier.size() - 4) + "-missing.txt";
  ::DeleteFileA(missing.c_str());

  Run([&](HWND dlg) {
    LoadFile(dlg, earlier);
    // The operator edits the loaded text: the edit and the loaded text differ.
    const std::string typed = "TYPED";
    Send(::GetDlgItem(dlg, IDC_MESSAGE), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(typed.c_str()));

    {
      SCOPED_TRACE("cancel");
      SetBar(dlg, 25);
      CancelLoad(dlg);
      EXPECT_EQ(EditText(dlg), typed);
      ExpectLoadClosed(dlg);
    }
    {
      SCOPED_TRACE("typed name of a missing file");
      SetBar(dlg, 25);
      LoadFile(dlg, missing);
      EXPECT_EQ(EditText(dlg), typed);
      ExpectLoadClosed(dlg);
    }
    {
      SCOPED_TRACE("file another program holds unshared");
      HANDLE holder = ::CreateFileA(locked.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
      ASSERT_NE(holder, INVALID_HANDLE_VALUE);
      SetBar(dlg, 25);
      LoadFile(dlg, locked);
      ::CloseHandle(holder);
      EXPECT_EQ(EditText(dlg), typed);
      ExpectLoadClosed(dlg);
    }
  });
  EXPECT_EQ(Dialog().message(), "EARLIER");
}

}  // namespace
