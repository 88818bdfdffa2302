// The main dialog driven as the operator would, with simulated units on the line.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>

#include "tests/ui/main_dialog_fixture.h"

namespace {

using ProgrammerDialogTest = MainDialogTest;

TEST_F(ProgrammerDialogTest, StartsWithNoPortProgramOffTheBarAtZeroOfSixtyAndFocusOnExit) {
  const DWORD uiThread = ::GetCurrentThreadId();
  Run([&](HWND dlg) {
    EXPECT_EQ(Send(::GetDlgItem(dlg, IDC_PORT1), BM_GETCHECK), BST_UNCHECKED);
    EXPECT_EQ(Send(::GetDlgItem(dlg, IDC_PORT2), BM_GETCHECK), BST_UNCHECKED);
    EXPECT_FALSE(::IsWindowEnabled(::GetDlgItem(dlg, IDC_PROGRAM)));
    EXPECT_EQ(::GetWindowTextLengthA(::GetDlgItem(dlg, IDC_MESSAGE)), 0);

    HWND bar = ::GetDlgItem(dlg, IDC_PROGRESS);
    EXPECT_EQ(Send(bar, PBM_GETRANGE, TRUE), 0);
    EXPECT_EQ(Send(bar, PBM_GETRANGE, FALSE), 60);
    EXPECT_EQ(Send(bar, PBM_GETPOS), 0);

    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    ASSERT_TRUE(::GetGUIThreadInfo(uiThread, &info));
    EXPECT_EQ(info.hwndFocus, ::GetDlgItem(dlg, IDCANCEL));
  });
  EXPECT_EQ(dialog_.port(), 0);
}

TEST_F(ProgrammerDialogTest, PortTwoThenPortOneProgramsBothUartsAndKeepsTheLast) {
  Run([&](HWND dlg) {
    for (int port : {IDC_PORT2, IDC_PORT1}) {
      Click(::GetDlgItem(dlg, port));
      EXPECT_TRUE(::IsWindowEnabled(::GetDlgItem(dlg, IDC_PROGRAM)));
    }
  });
  EXPECT_EQ(dialog_.port(), 1);
  // The port set-up of COM2, then of COM1, and nothing else.
  SimBus expected;
  FakeClock clock;
  UartDriver setUp(expected, clock);
  setUp.InitPort(2);
  setUp.InitPort(1);
  EXPECT_EQ(bus_.Log(), expected.Log());
}

TEST_F(ProgrammerDialogTest, SystemMenuAboutItemOpensTheAboutBoxForEveryValueMaskingToIt) {
  Run([&](HWND dlg) {
    HMENU menu = ::GetSystemMenu(dlg, FALSE);
    const int last = ::GetMenuItemCount(menu) - 1;
    ASSERT_GE(last, 2);
    EXPECT_TRUE(::GetMenuState(menu, last - 2, MF_BYPOSITION) & MF_SEPARATOR);
    EXPECT_EQ(::GetMenuItemID(menu, last - 1), 0x0020u);
    EXPECT_EQ(::GetMenuItemID(menu, last), 0x0010u);
    char text[64] = {};
    ::GetMenuStringA(menu, last - 1, text, sizeof text, MF_BYPOSITION);
    EXPECT_STREQ(text, "COM &ports...");
    ::GetMenuStringA(menu, last, text, sizeof text, MF_BYPOSITION);
    EXPECT_STREQ(text, "&About korvel...");

    for (UINT command = 0x0010; command <= 0x001F; ++command) {
      SCOPED_TRACE(command);
      ::PostMessageA(dlg, WM_SYSCOMMAND, command, 0);
      HWND about = WaitForOwnedWindow(dlg);
      ASSERT_NE(about, nullptr);
      EXPECT_EQ(WindowTextOf(about), "About korvel");
      EXPECT_FALSE(::IsWindowEnabled(dlg));
      CloseBox(about, dlg);
    }
    for (UINT command : {0x0000u, 0x0030u, 0x0110u}) {
      SCOPED_TRACE(command);
      Send(dlg, WM_SYSCOMMAND, command);  // a box would hold this until closed
      EXPECT_EQ(FindOwnedWindow(dlg), nullptr);
    }
  });
}

// Every position the bar is set to, and the one it shows each time it is
// drawn; recorded on the dialog's thread.
std::vector<int> barPositions, barDrawn;
WNDPROC barProc = nullptr;

LRESULT CALLBACK RecordBar(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == PBM_SETPOS) barPositions.push_back(static_cast<int>(wParam));
  if (message == WM_PAINT || message == WM_PRINTCLIENT) {
    barDrawn.push_back(static_cast<int>(::CallWindowProcA(barProc, hwnd, PBM_GETPOS, 0, 0)));
  }
  return ::CallWindowProcA(barProc, hwnd, message, wParam, lParam);
}

TEST_F(ProgrammerDialogTest, ProgramSendsBothFramesWhileTheBarFillsAndDrops) {
  const std::string text = "WELCOME TO THE KORVEL SHOW!!\r\nProgrammed over COM1 @ 9600.";
  Run([&](HWND dlg) {
    HWND bar = ::GetDlgItem(dlg, IDC_PROGRESS);
    barProc = reinterpret_cast<WNDPROC>(::GetWindowLongPtrA(bar, GWLP_WNDPROC));
    ::SetWindowLongPtrA(bar, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&RecordBar));
    Click(::GetDlgItem(dlg, IDC_PORT1));
    Send(::GetDlgItem(dlg, IDC_MESSAGE), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
    barDrawn.clear();
    Click(::GetDlgItem(dlg, IDC_PROGRAM));
    EXPECT_EQ(FindOwnedWindow(dlg), nullptr) << "a run that went well shows nothing";
    EXPECT_TRUE(::IsWindowVisible(bar));
  });
  const std::vector<std::vector<std::uint8_t>> expected = {BlankFrameBytes(),
                                                           Bytes(text + "\r\n\x1A")};
  EXPECT_EQ(com1_.Frames(), expected);
  EXPECT_TRUE(com2_.Received().empty());
  EXPECT_EQ(dialog_.message(), text);

  // One position per byte, in order: 0, 0, 1, 1 ... 30 for the blank frame,
  // 30 ... 60 for the message, then back to 0.
  std::vector<int> positions;
  for (int phase = 0; phase < 2; ++phase) {
    for (int i = 0; i < 61; ++i) positions.push_back(i / 2 + 30 * phase);
  }
  positions.push_back(0);
  EXPECT_EQ(barPositions, positions);
  // Drawn as it fills, but not on every step, and left showing the end.
  ASSERT_FALSE(barDrawn.empty());
  EXPECT_TRUE(std::any_of(barDrawn.begin(), barDrawn.end(), [](int p) { return p > 0 && p < 60; }));
  EXPECT_LT(barDrawn.size(), 61u);
  EXPECT_EQ(barDrawn.back(), 0);
}

// Keys typed into the message edit as the keyboard types them, one character
// message each.
void TypeInto(HWND edit, const std::string& keys) {
  for (char key : keys) Send(edit, WM_CHAR, static_cast<unsigned char>(key), 1);
}

void Select(HWND edit, int start, int end) { Send(edit, EM_SETSEL, start, end); }

TEST_F(ProgrammerDialogTest, TypingKeepsEachLineToTheUnitsTwentyEightLoadedTextStaysAndErases) {
  const std::string thirty_three = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456";
  const std::string loaded(40, 'L');
  Run([&](HWND dlg) {
    HWND edit = ::GetDlgItem(dlg, IDC_MESSAGE);
    TypeInto(edit, thirty_three + "\rSECOND LINE");
    EXPECT_EQ(WindowTextOf(edit), thirty_three.substr(0, 28) + "\r\nSECOND LINE");

    // Over a selection, a character replaces what it covers.
    Select(edit, 27, 28);
    TypeInto(edit, "!");
    // Over the line break, the lines would join: 27 + 1 + 11.
    Select(edit, 27, 30);
    TypeInto(edit, "?");
    EXPECT_EQ(WindowTextOf(edit), thirty_three.substr(0, 27) + "!\r\nSECOND LINE");

    // Enter splits a full line; each part then takes more.
    Send(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(thirty_three.substr(0, 28).c_str()));
    Select(edit, 14, 14);
    TypeInto(edit, "\r+");
    Select(edit, 0, 0);
    TypeInto(edit, "-");
    EXPECT_EQ(WindowTextOf(edit), "-ABCDEFGHIJKLMN\r\n+OPQRSTUVWXYZ01");

    // A longer line, set as LOAD sets it, stays as it is: typing more is
    // refused, erasing works, and so does typing once it fits.
    Send(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(loaded.c_str()));
    Select(edit, 40, 40);
    TypeInto(edit, "X");
    EXPECT_EQ(WindowTextOf(edit), loaded);
    TypeInto(edit, "\b");
    EXPECT_EQ(WindowTextOf(edit), std::string(39, 'L'));
    Select(edit, 10, 21);  // 10 + 1 + 18
    TypeInto(edit, "X");
    EXPECT_EQ(WindowTextOf(edit), std::string(39, 'L'));
    Select(edit, 10, 22);  // 10 + 1 + 17
    TypeInto(edit, "X");
    EXPECT_EQ(WindowTextOf(edit), std::string(10, 'L') + "X" + std::string(17, 'L'));
  });
}

TEST(MinimisedIconOriginTest, CentresWithTheOddPixelRightAndDownRoundingTowardZero) {
  const struct {
    int width, height;
    LONG x, y;
  } cases[] = {{100, 50, 34, 9}, {33, 32, 1, 0}, {0, 0, -15, -15}, {1, 2, -15, -14}};
  for (const auto& c : cases) {
    const POINT origin = MinimisedIconOrigin(c.width, c.height, 32, 32);
    EXPECT_EQ(std::pair(origin.x, origin.y), std::pair(c.x, c.y)) << c.width << "x" << c.height;
  }
}

}  // namespace
