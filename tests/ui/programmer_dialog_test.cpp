// The main dialog driven as the operator would: clicks and keys from a second
// thread while the dialog runs modally, with simulated UARTs and units on the
// line.
#include <windows.h>
#include <commctrl.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "banner/pause.h"
#include "res/resource.h"
#include "sim/fake_clock.h"
#include "sim/korvel_unit.h"
#include "sim/sim_bus.h"
#include "sim/sim_uart16550.h"
#include "tests/ui/modal_script.h"
#include "ui/programmer_dialog.h"
#include "ui/win_app.h"

namespace {

using ::testing::HasSubstr;
using ::testing::Not;

const std::string kCaption = "KORVEL programmer";
constexpr std::uint16_t kCom1 = 0x3F8;
constexpr std::uint16_t kCom2 = 0x2F8;

// A UART with a unit on its line.
struct Line {
  Line(UnitBehaviour behaviour, MonotonicClock* clock) : unit(behaviour), uart(unit, clock) {}
  KorvelUnit unit;
  SimUart16550 uart;
};

// Every position the bar is set to, seen from outside the dialog.
class ProgressRecorder {
 public:
  static void Install(HWND progress) {
    std::lock_guard<std::mutex> lock(mutex_);
    positions_.clear();
    original_ = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrA(progress, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Proc)));
  }
  static std::vector<int> Positions() {
    std::lock_guard<std::mutex> lock(mutex_);
    return positions_;
  }

 private:
  static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    WNDPROC next;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (message == PBM_SETPOS) positions_.push_back(static_cast<int>(wParam));
      next = original_;
    }
    return ::CallWindowProcA(next, hwnd, message, wParam, lParam);
  }
  static std::mutex mutex_;
  static std::vector<int> positions_;
  static WNDPROC original_;
};
std::mutex ProgressRecorder::mutex_;
std::vector<int> ProgressRecorder::positions_;
WNDPROC ProgressRecorder::original_ = nullptr;

std::vector<std::uint8_t> Bytes(const std::string& text) {
  return std::vector<std::uint8_t>(text.begin(), text.end());
}

// Spaces in both lines, each line ended by CR LF, then SUB.
std::vector<std::uint8_t> BlankFrameBytes() {
  return Bytes(std::string(28, ' ') + "\r\n" + std::string(28, ' ') + "\r\n\x1A");
}

class ProgrammerDialogTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_PROGRESS_CLASS};
    ::InitCommonControlsEx(&controls);
  }

  // Puts a unit on COM1 and/or COM2 before the dialog is made.
  void Connect(std::uint16_t base, UnitBehaviour behaviour = {}) {
    lines_.push_back(std::make_unique<Line>(behaviour, &clock_));
    bus_.Attach(base, lines_.back()->uart);
  }
  KorvelUnit& UnitAt(std::size_t index) { return lines_.at(index)->unit; }

  CProgrammerDialog& Dialog() {
    if (!dialog_) {
      dialog_ = std::make_unique<CProgrammerDialog>(bus_, clock_, timeOfDay_);
      app_.m_pMainWnd = dialog_.get();
    }
    return *dialog_;
  }

  INT_PTR Run(const std::function<void(HWND)>& script) {
    return RunScripted(Dialog(), kCaption, script);
  }

  // Each wait on the line moves this clock on, so a unit that never answers
  // runs out of time without real waiting.
  FakeClock clock_{1};
  SystemTimeOfDay timeOfDay_;
  SimBus bus_;
  std::vector<std::unique_ptr<Line>> lines_;
  CWinApp app_;
  std::unique_ptr<CProgrammerDialog> dialog_;
};

TEST_F(ProgrammerDialogTest, StartsCentredWithNoPortProgramDisabledEmptyTextAndFocusOnExit) {
  Connect(kCom1);
  const DWORD uiThread = ::GetCurrentThreadId();
  Run([&](HWND dlg) {
    EXPECT_FALSE(::IsWindowEnabled(::GetDlgItem(dlg, IDC_PROGRAM)));
    EXPECT_TRUE(::IsWindowEnabled(::GetDlgItem(dlg, IDCANCEL)));
    EXPECT_EQ(Send(::GetDlgItem(dlg, IDC_PORT1), BM_GETCHECK), BST_UNCHECKED);
    EXPECT_EQ(Send(::GetDlgItem(dlg, IDC_PORT2), BM_GETCHECK), BST_UNCHECKED);
    EXPECT_EQ(TextOf(::GetDlgItem(dlg, IDC_MESSAGE)), "");

    HWND progress = ::GetDlgItem(dlg, IDC_PROGRESS);
    PBRANGE range{-1, -1};
    Send(progress, PBM_GETRANGE, TRUE, reinterpret_cast<LPARAM>(&range));
    EXPECT_EQ(range.iLow, 0);
    EXPECT_EQ(range.iHigh, 60);
    EXPECT_EQ(Send(progress, PBM_GETPOS), 0);

    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    ASSERT_TRUE(::GetGUIThreadInfo(uiThread, &info));
    EXPECT_EQ(info.hwndFocus, ::GetDlgItem(dlg, IDCANCEL));

    // Centred on the work area, owned by nothing.
    RECT work{}, window{};
    ::SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    ::GetWindowRect(dlg, &window);
    EXPECT_NEAR((window.left + window.right) / 2, (work.left + work.right) / 2, 1);
    EXPECT_NEAR((window.top + window.bottom) / 2, (work.top + work.bottom) / 2, 1);
    EXPECT_EQ(::GetWindow(dlg, GW_OWNER), nullptr);
  });
  EXPECT_EQ(Dialog().port(), 0);
  EXPECT_EQ(Dialog().message(), "");
}

TEST_F(ProgrammerDialogTest, ChoosingPortTwoThenOneProgramsBothUartsAndKeepsTheLast) {
  Connect(kCom1);
  Connect(kCom2);
  Run([&](HWND dlg) {
    Click(::GetDlgItem(dlg, IDC_PORT2));
    EXPECT_TRUE(::IsWindowEnabled(::GetDlgItem(dlg, IDC_PROGRAM)));
    Click(::GetDlgItem(dlg, IDC_PORT1));
    EXPECT_TRUE(::IsWindowEnabled(::GetDlgItem(dlg, IDC_PROGRAM)));
    EXPECT_EQ(Send(::GetDlgItem(dlg, IDC_PORT1), BM_GETCHECK), BST_CHECKED);
    EXPECT_EQ(Send(::GetDlgItem(dlg, IDC_PORT2), BM_GETCHECK), BST_UNCHECKED);
  });
  EXPECT_EQ(Dialog().port(), 1);

  // 9600 8N1 set up on COM2, then on COM1, register by register.
  const std::vector<RegisterAccess> expected = {
      {true, 0x2F9, 0x00}, {true, 0x2FB, 0x80}, {true, 0x2F8, 0x0C}, {true, 0x2F9, 0x00},
      {true, 0x2FB, 0x03}, {true, 0x2FA, 0xC7}, {true, 0x2FC, 0x0B},
      {true, 0x3F9, 0x00}, {true, 0x3FB, 0x80}, {true, 0x3F8, 0x0C}, {true, 0x3F9, 0x00},
      {true, 0x3FB, 0x03}, {true, 0x3FA, 0xC7}, {true, 0x3FC, 0x0B},
  };
  EXPECT_EQ(bus_.Log(), expected);
  EXPECT_TRUE(UnitAt(0).Received().empty());
  EXPECT_TRUE(UnitAt(1).Received().empty());
}

TEST_F(ProgrammerDialogTest, ProgramSendsBothFramesWhileTheBarFillsAndDrops) {
  Connect(kCom1);
  Connect(kCom2);
  const std::string first = "WELCOME TO THE KORVEL SHOW!!";
  const std::string second = "Programmed over COM1 @ 9600.";
  ASSERT_EQ(first.size(), 28u);
  ASSERT_EQ(second.size(), 28u);
  const std::string text = first + "\r\n" + second;

  Run([&](HWND dlg) {
    ProgressRecorder::Install(::GetDlgItem(dlg, IDC_PROGRESS));
    Click(::GetDlgItem(dlg, IDC_PORT1));
    Send(::GetDlgItem(dlg, IDC_MESSAGE), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
    Click(::GetDlgItem(dlg, IDC_PROGRAM));

    EXPECT_EQ(FindOwnedWindow(dlg), nullptr) << "a run that went well shows nothing";
    EXPECT_EQ(Send(::GetDlgItem(dlg, IDC_PROGRESS), PBM_GETPOS), 0);
    EXPECT_TRUE(::IsWindowEnabled(::GetDlgItem(dlg, IDC_PROGRAM)));
    EXPECT_EQ(TextOf(::GetDlgItem(dlg, IDC_MESSAGE)), text);
  });

  const std::vector<std::vector<std::uint8_t>> expected = {BlankFrameBytes(),
                                                           Bytes(text + "\r\n\x1A")};
  EXPECT_EQ(UnitAt(0).Frames(), expected);
  EXPECT_TRUE(UnitAt(1).Received().empty());
  EXPECT_EQ(Dialog().message(), text);

  const std::vector<int> positions = ProgressRecorder::Positions();
  ASSERT_FALSE(positions.empty());
  EXPECT_EQ(*std::max_element(positions.begin(), positions.end()), 60);
  EXPECT_EQ(positions.back(), 0);
  EXPECT_TRUE(std::is_sorted(positions.begin(), positions.end() - 1))
      << "the bar only moves forward until the run ends";
}

TEST_F(ProgrammerDialogTest, AUnitThatNeverAnswersGetsAWarningAndTheDialogWorksAfterwards) {
  UnitBehaviour silent;
  silent.answers = false;
  Connect(kCom1, silent);
  Connect(kCom2);
  const std::string text = "HELLO";

  Run([&](HWND dlg) {
    Click(::GetDlgItem(dlg, IDC_PORT1));
    Send(::GetDlgItem(dlg, IDC_MESSAGE), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
    PostClick(::GetDlgItem(dlg, IDC_PROGRAM));

    HWND box = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (box = FindOwnedWindow(dlg)) != nullptr; }))
        << "no warning appeared";
    EXPECT_EQ(TextOf(box), TEST_EXE_NAME) << "the box carries the application's name";
    EXPECT_THAT(AllText(box), HasSubstr("COM1"));
    EXPECT_THAT(AllText(box), Not(HasSubstr("COM2")));
    EXPECT_FALSE(::IsWindowEnabled(dlg)) << "the dialog takes no input while the box is open";
    EXPECT_EQ(Send(::GetDlgItem(dlg, IDC_PROGRESS), PBM_GETPOS), 0);

    Click(::GetDlgItem(box, IDOK));
    ASSERT_TRUE(WaitUntil([&] { return !::IsWindow(box); }));
    ASSERT_TRUE(WaitUntil([&] { return ::IsWindowEnabled(dlg) != FALSE; }));

    // The other port still programs its unit.
    Click(::GetDlgItem(dlg, IDC_PORT2));
    Click(::GetDlgItem(dlg, IDC_PROGRAM));
    EXPECT_EQ(FindOwnedWindow(dlg), nullptr);
  });

  EXPECT_EQ(UnitAt(0).Frames().size(), 0u);
  EXPECT_EQ(UnitAt(0).Received().size(), 1u) << "the run stops at the first unanswered byte";
  const auto frames = UnitAt(1).Frames();
  ASSERT_EQ(frames.size(), 2u);
  EXPECT_EQ(frames[0], BlankFrameBytes());
  ASSERT_EQ(frames[1].size(), 61u);
  EXPECT_EQ(std::vector<std::uint8_t>(frames[1].begin(), frames[1].begin() + 5), Bytes(text));
  EXPECT_EQ(std::vector<std::uint8_t>(frames[1].end() - 3, frames[1].end()), Bytes("\r\n\x1A"));
  EXPECT_EQ(Dialog().message(), text);
}

TEST_F(ProgrammerDialogTest, APortThatCannotBeOpenedIsNamedInTheWarning) {
  Connect(kCom1);  // nothing on COM2
  Run([&](HWND dlg) {
    Click(::GetDlgItem(dlg, IDC_PORT2));
    PostClick(::GetDlgItem(dlg, IDC_PROGRAM));

    HWND box = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (box = FindOwnedWindow(dlg)) != nullptr; }));
    EXPECT_EQ(TextOf(box), TEST_EXE_NAME);
    EXPECT_THAT(AllText(box), HasSubstr("COM2"));
    EXPECT_THAT(AllText(box), HasSubstr("could not be opened"));
    Click(::GetDlgItem(box, IDOK));
    ASSERT_TRUE(WaitUntil([&] { return !::IsWindow(box); }));

    Click(::GetDlgItem(dlg, IDC_PORT1));
    Click(::GetDlgItem(dlg, IDC_PROGRAM));
    EXPECT_EQ(FindOwnedWindow(dlg), nullptr);
  });
  EXPECT_EQ(UnitAt(0).Frames().size(), 2u);
}

TEST_F(ProgrammerDialogTest, SystemMenuEndsWithSeparatorAndAboutItem) {
  Connect(kCom1);
  Run([&](HWND dlg) {
    HMENU menu = ::GetSystemMenu(dlg, FALSE);
    ASSERT_NE(menu, nullptr);
    const int count = ::GetMenuItemCount(menu);
    ASSERT_GE(count, 2);
    EXPECT_TRUE(::GetMenuState(menu, count - 2, MF_BYPOSITION) & MF_SEPARATOR);
    EXPECT_EQ(::GetMenuItemID(menu, count - 1), 0x0010u);
    char text[64] = {};
    ::GetMenuStringA(menu, count - 1, text, sizeof text, MF_BYPOSITION);
    EXPECT_STREQ(text, "&About korvel...");
  });
}

TEST_F(ProgrammerDialogTest, EveryAboutCommandValueOpensTheAboutBoxOwnedByTheDialog) {
  Connect(kCom1);
  const DWORD uiThread = ::GetCurrentThreadId();
  Run([&](HWND dlg) {
    for (UINT command = 0x0010; command <= 0x001F; ++command) {
      SCOPED_TRACE(command);
      ::PostMessageA(dlg, WM_SYSCOMMAND, command, 0);
      HWND about = nullptr;
      ASSERT_TRUE(WaitUntil([&] {
        return (about = FindThreadWindow(uiThread, "About korvel")) != nullptr;
      }));
      EXPECT_EQ(::GetWindow(about, GW_OWNER), dlg);
      EXPECT_FALSE(::IsWindowEnabled(dlg));

      RECT outer{}, inner{};
      ::GetWindowRect(dlg, &outer);
      ::GetWindowRect(about, &inner);
      EXPECT_NEAR((inner.left + inner.right) / 2, (outer.left + outer.right) / 2, 1);
      EXPECT_NEAR((inner.top + inner.bottom) / 2, (outer.top + outer.bottom) / 2, 1);

      Click(::GetDlgItem(about, IDOK));
      ASSERT_TRUE(WaitUntil([&] { return !::IsWindow(about); }));
      ASSERT_TRUE(WaitUntil([&] { return ::IsWindowEnabled(dlg) != FALSE; }));
    }
  });
}

TEST_F(ProgrammerDialogTest, SystemCommandsBesideTheAboutValueOpenNoBox) {
  Connect(kCom1);
  Run([&](HWND dlg) {
    for (UINT command : {0x0000u, 0x0020u, 0x0110u}) {
      SCOPED_TRACE(command);
      DWORD_PTR result = 0;
      // Had it opened a box, the message would not come back until it closed.
      EXPECT_TRUE(::SendMessageTimeoutA(dlg, WM_SYSCOMMAND, command, 0, SMTO_NORMAL, 5000,
                                        &result));
      EXPECT_EQ(FindOwnedWindow(dlg), nullptr);
    }
  });
}

TEST_F(ProgrammerDialogTest, EscapeTheCloseBoxAndEnterOnARadioButtonEndTheDialog) {
  Connect(kCom1);
  struct Way {
    const char* name;
    std::function<void(HWND)> act;
    INT_PTR result;
  };
  const std::vector<Way> ways = {
      {"Esc", [](HWND dlg) { ::PostMessageA(::GetDlgItem(dlg, IDCANCEL), WM_KEYDOWN, VK_ESCAPE, 0); },
       IDCANCEL},
      {"close box", [](HWND dlg) { ::PostMessageA(dlg, WM_SYSCOMMAND, SC_CLOSE, 0); }, IDCANCEL},
      {"Enter", [](HWND dlg) {
         HWND port1 = ::GetDlgItem(dlg, IDC_PORT1);
         Click(port1);  // takes the focus
         ::PostMessageA(port1, WM_KEYDOWN, VK_RETURN, 0);
       },
       IDOK},
  };
  for (const Way& way : ways) {
    SCOPED_TRACE(way.name);
    const INT_PTR result = Run([&](HWND dlg) {
      way.act(dlg);
      EXPECT_TRUE(WaitUntil([&] { return !::IsWindow(dlg); }));
    });
    EXPECT_EQ(result, way.result);
  }
}

TEST_F(ProgrammerDialogTest, HelpLeavesTheDialogAsItWas) {
  Connect(kCom1);
  const INT_PTR result = Run([&](HWND dlg) {
    Click(::GetDlgItem(dlg, IDC_PORT1));
    HELPINFO info{};
    info.cbSize = sizeof info;
    info.iContextType = HELPINFO_WINDOW;
    info.hItemHandle = ::GetDlgItem(dlg, IDC_PORT1);
    EXPECT_EQ(Send(dlg, WM_HELP, 0, reinterpret_cast<LPARAM>(&info)), TRUE);
    Send(dlg, WM_COMMAND, 0xE146, 0);
    EXPECT_TRUE(::IsWindow(dlg));
    EXPECT_TRUE(::IsWindowEnabled(dlg));
    EXPECT_EQ(FindOwnedWindow(dlg), nullptr);
    EXPECT_EQ(Send(::GetDlgItem(dlg, IDC_PORT1), BM_GETCHECK), BST_CHECKED);
  });
  EXPECT_EQ(result, IDCANCEL);
  EXPECT_EQ(Dialog().port(), 1);
}

TEST_F(ProgrammerDialogTest, TheWindowAndItsDragImageCarryTheApplicationIcon) {
  Connect(kCom1);
  Run([&](HWND dlg) {
    const LRESULT big = Send(dlg, WM_GETICON, ICON_BIG);
    EXPECT_NE(big, 0);
    EXPECT_EQ(Send(dlg, WM_GETICON, ICON_SMALL), big);
    EXPECT_EQ(Send(dlg, WM_QUERYDRAGICON), big);
  });
}

TEST(MinimisedIconOriginTest, CentresTheIconWithTheOddPixelRightAndDown) {
  EXPECT_EQ(MinimisedIconOrigin(100, 50, 32, 32).x, 34);
  EXPECT_EQ(MinimisedIconOrigin(100, 50, 32, 32).y, 9);
  EXPECT_EQ(MinimisedIconOrigin(33, 33, 32, 32).x, 1);
  EXPECT_EQ(MinimisedIconOrigin(32, 32, 32, 32).y, 0);
}

TEST(MinimisedIconOriginTest, AClientAreaSmallerThanTheIconRoundsTowardZero) {
  EXPECT_EQ(MinimisedIconOrigin(0, 0, 32, 32).x, -15);
  EXPECT_EQ(MinimisedIconOrigin(0, 0, 32, 32).y, -15);
  EXPECT_EQ(MinimisedIconOrigin(1, 2, 32, 32).x, -15);
  EXPECT_EQ(MinimisedIconOrigin(1, 2, 32, 32).y, -14);
}

}  // namespace
