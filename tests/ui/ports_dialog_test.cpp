// The ports dialog, opened from the main dialog's system menu and worked as
// the operator would: which COM port Port 1 and Port 2 lead to.
#include <gtest/gtest.h>

#include <string>

#include "serial/port_error.h"
#include "tests/ui/main_dialog_fixture.h"
#include "winlayer/wnd.h"

namespace {

using PortsDialogTest = MainDialogTest;

// Ports no computer the tests run on has: each list shows them as such.
constexpr char kFirst[] = "COM201";
constexpr char kSecond[] = "COM202";

PortChoice Choice(const std::string& port1, const std::string& port2) {
  PortChoice choice;
  choice.port1 = port1;
  choice.port2 = port2;
  return choice;
}

HWND OpenPortsDialog(HWND dlg) {
  ::PostMessageA(dlg, WM_SYSCOMMAND, IDM_PORTS, 0);
  HWND ports = WaitForOwnedWindow(dlg);
  if (ports != nullptr) {
    EXPECT_EQ(WindowTextOf(ports), "COM ports");
  }
  return ports;
}

// Selects the port's line in a list, as a click on it would.
void Select(HWND list, const std::string& port) {
  const LRESULT at = Send(list, CB_FINDSTRING, static_cast<WPARAM>(-1),
                          reinterpret_cast<LPARAM>((port + " ").c_str()));
  ASSERT_GE(at, 0) << port << " is not listed";
  Send(list, CB_SETCURSEL, static_cast<WPARAM>(at));
}

BOOL CALLBACK GatherStaticText(HWND child, LPARAM gathered) {
  char kind[16] = {};
  ::GetClassNameA(child, kind, sizeof kind);
  if (::lstrcmpiA(kind, "Static") == 0) {
    *reinterpret_cast<std::string*>(gathered) += WindowTextOf(child);
  }
  return TRUE;
}

// What a message box says: the texts of its static controls.
std::string BoxText(HWND box) {
  std::string text;
  ::EnumChildWindows(box, GatherStaticText, reinterpret_cast<LPARAM>(&text));
  return text;
}

bool Closed(HWND window, HWND owner) {
  return WaitUntil([&] { return !::IsWindow(window) && ::IsWindowEnabled(owner); });
}

TEST_F(PortsDialogTest, ShowsWhereEachButtonLeadsOkKeepsTheChoiceCancelKeepsNothing) {
  leads_.choice = Choice(kFirst, kSecond);
  Run([&](HWND dlg) {
    HWND ports = OpenPortsDialog(dlg);
    ASSERT_NE(ports, nullptr);
    EXPECT_FALSE(::IsWindowEnabled(dlg));
    EXPECT_EQ(WindowTextOf(::GetDlgItem(ports, IDC_PORT1_LABEL)), "Port &1:");
    EXPECT_EQ(WindowTextOf(::GetDlgItem(ports, IDC_PORT2_LABEL)), "Port &2:");
    HWND list1 = ::GetDlgItem(ports, IDC_PORT1_LEADS), list2 = ::GetDlgItem(ports, IDC_PORT2_LEADS);
    EXPECT_EQ(WindowTextOf(list1), "COM201 (not on this computer)");
    EXPECT_EQ(WindowTextOf(list2), "COM202 (not on this computer)");
    // Both lists offer the same ports.
    EXPECT_EQ(Send(list1, CB_GETCOUNT), Send(list2, CB_GETCOUNT));

    Select(list1, kSecond);
    Select(list2, kFirst);
    ::PostMessageA(ports, WM_COMMAND, IDCANCEL, 0);
    EXPECT_TRUE(Closed(ports, dlg));
    EXPECT_TRUE(leads_.kept.empty());

    ports = OpenPortsDialog(dlg);
    ASSERT_NE(ports, nullptr);
    list1 = ::GetDlgItem(ports, IDC_PORT1_LEADS);
    list2 = ::GetDlgItem(ports, IDC_PORT2_LEADS);
    EXPECT_EQ(WindowTextOf(list1), "COM201 (not on this computer)") << "Cancel changed it";
    Select(list1, kSecond);
    Select(list2, kFirst);
    PostClick(::GetDlgItem(ports, IDOK));
    EXPECT_TRUE(Closed(ports, dlg));
  });
  ASSERT_EQ(leads_.kept.size(), 1u);
  EXPECT_TRUE(leads_.kept[0] == Choice(kSecond, kFirst));
}

TEST_F(PortsDialogTest, BothButtonsOnOnePortOrAFileNotWrittenSaySoAndTheDialogStays) {
  leads_.choice = Choice(kFirst, kSecond);
  leads_.refusal = ERROR_ACCESS_DENIED;
  Run([&](HWND dlg) {
    HWND ports = OpenPortsDialog(dlg);
    ASSERT_NE(ports, nullptr);
    HWND list1 = ::GetDlgItem(ports, IDC_PORT1_LEADS);

    Select(list1, kSecond);
    PostClick(::GetDlgItem(ports, IDOK));
    HWND box = WaitForOwnedWindow(ports);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(BoxText(box),
              "Port 1 and Port 2 both lead to COM202. Choose another port for one of them.");
    CloseBox(box, ports);

    Select(list1, "COM201");
    PostClick(::GetDlgItem(ports, IDOK));
    box = WaitForOwnedWindow(ports);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(BoxText(box),
              "The ports could not be saved in C:\\users\\op\\korvel.ini: " +
                  SystemErrorText(ERROR_ACCESS_DENIED) + ".");
    CloseBox(box, ports);
    EXPECT_TRUE(::IsWindow(ports)) << "the dialog stays for another try or Cancel";
  });
  EXPECT_TRUE(leads_.kept.empty());
  EXPECT_TRUE(leads_.choice == Choice(kFirst, kSecond));
}

}  // namespace
