// Both dialogs as they stand on the screen: every control where the layout
// puts it (in dialog units of the dialog's own font), with its class, text
// and styles, in tab order.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "banner/pause.h"
#include "res/resource.h"
#include "sim/fake_clock.h"
#include "sim/sim_bus.h"
#include "tests/ui/dialog_template.h"
#include "tests/ui/modal_script.h"
#include "ui/about_dialog.h"
#include "ui/programmer_dialog.h"

namespace {

constexpr int kNoId = -1;       // controls nobody refers to
const char* const kAnyText = nullptr;  // texts that are ours to word

struct Control {
  int id;
  const char* className;
  const char* text;
  int x, y, width, height;
  DWORD style;         // besides WS_CHILD | WS_VISIBLE
  DWORD atStart = 0;   // what the dialog's start-up adds
};

const std::vector<Control> kMainControls = {
    {IDCANCEL, "Button", "EXIT", 101, 89, 50, 14, BS_PUSHBUTTON | WS_TABSTOP},
    {kNoId, "Button", "COM Port Select", 6, 7, 62, 45, BS_GROUPBOX},
    {1000, "Button", "Port 1", 18, 22, 35, 10, BS_AUTORADIOBUTTON},
    {1001, "Button", "Port 2", 17, 35, 35, 10, BS_AUTORADIOBUTTON},
    {1002, "msctls_progress32", "Progress1", 6, 76, 145, 11, WS_BORDER | PBS_SMOOTH},
    {1003, "Edit", "", 6, 54, 145, 20,
     WS_BORDER | WS_TABSTOP | ES_MULTILINE | ES_AUTOHSCROLL | ES_WANTRETURN},
    // Disabled until a port is chosen.
    {3, "Button", "Program", 6, 89, 50, 14, BS_PUSHBUTTON | WS_TABSTOP, WS_DISABLED},
    {1004, "Button", "LOAD", 83, 31, 68, 14, BS_PUSHBUTTON | WS_TABSTOP},
    {kNoId, "Static", "Load Message", 92, 7, 51, 10, SS_CENTER | WS_GROUP},
    {kNoId, "Static", "from file", 92, 18, 51, 10, SS_CENTER | WS_GROUP},
};

const std::vector<Control> kAboutControls = {
    {kNoId, "Static", "KORVEL Version 1.0", 40, 10, 119, 8, SS_LEFT | SS_NOPREFIX | WS_GROUP},
    {kNoId, "Static", kAnyText, 40, 22, 119, 8, SS_LEFT | WS_GROUP},
    {IDOK, "Button", "OK", 178, 7, 50, 14, BS_DEFPUSHBUTTON | WS_GROUP | WS_TABSTOP},
    {kNoId, "Static", kAnyText, 40, 34, 119, 8, SS_LEFT | WS_GROUP},
};

// A rectangle in dialog units as this dialog's font maps it: position and
// size each mapped on their own, as the dialog manager places controls.
RECT Mapped(HWND dlg, int x, int y, int width, int height) {
  RECT units{x, y, width, height};
  ::MapDialogRect(dlg, &units);
  return units;  // left, top, then width and height
}

std::string ClassOf(HWND hwnd) {
  char name[64] = {};
  ::GetClassNameA(hwnd, name, sizeof name);
  return name;
}

// The dialog manager gives the default-button look to whichever push button
// has the focus; that swap is not part of the layout.
DWORD WithoutDefaultLook(const std::string& className, DWORD style) {
  if (className != "Button") return style;
  const DWORD type = style & BS_TYPEMASK;
  if (type == BS_DEFPUSHBUTTON) return (style & ~BS_TYPEMASK) | BS_PUSHBUTTON;
  return style;
}

// On the screen the dialog manager trades a control's border style for a
// sunken edge, and the progress bar draws its own frame; the border is
// checked in the template instead.
DWORD WithoutBorder(DWORD style) { return style & ~static_cast<DWORD>(WS_BORDER); }

void ExpectControls(HWND dlg, const std::vector<Control>& expected) {
  HFONT font = reinterpret_cast<HFONT>(Send(dlg, WM_GETFONT));
  HDC dc = ::GetDC(dlg);
  HGDIOBJ oldFont = ::SelectObject(dc, font);

  HWND child = ::GetWindow(dlg, GW_CHILD);
  for (const Control& control : expected) {
    SCOPED_TRACE(std::string(control.className) + " " +
                 (control.text != nullptr ? control.text : "(our text)"));
    ASSERT_NE(child, nullptr) << "fewer controls than the layout has";

    if (control.id == kNoId) {
      EXPECT_EQ(LOWORD(::GetDlgCtrlID(child)), 0xFFFF);
    } else {
      EXPECT_EQ(::GetDlgCtrlID(child), control.id);
    }
    EXPECT_EQ(ClassOf(child), control.className);
    const std::string text = TextOf(child);
    if (control.text != nullptr) {
      EXPECT_EQ(text, control.text);
    } else {
      EXPECT_FALSE(text.empty());
    }

    const DWORD style = static_cast<DWORD>(::GetWindowLongA(child, GWL_STYLE));
    const DWORD expectedStyle = WS_CHILD | WS_VISIBLE | control.style | control.atStart;
    EXPECT_EQ(WithoutBorder(WithoutDefaultLook(control.className, style)),
              WithoutBorder(WithoutDefaultLook(control.className, expectedStyle)))
        << std::hex << "style 0x" << style;

    RECT window{};
    ::GetWindowRect(child, &window);
    ::MapWindowPoints(nullptr, dlg, reinterpret_cast<POINT*>(&window), 2);
    const RECT place = Mapped(dlg, control.x, control.y, control.width, control.height);
    EXPECT_EQ(window.left, place.left);
    EXPECT_EQ(window.top, place.top);
    EXPECT_EQ(window.right - window.left, place.right);
    EXPECT_EQ(window.bottom - window.top, place.bottom);

    // A static text must show whole in its box.
    if (ClassOf(child) == "Static") {
      SIZE extent{};
      ::GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &extent);
      EXPECT_LE(extent.cx, place.right) << "\"" << text << "\" is cut off";
    }
    child = ::GetWindow(child, GW_HWNDNEXT);
  }
  EXPECT_EQ(child, nullptr) << "more controls than the layout has";

  ::SelectObject(dc, oldFont);
  ::ReleaseDC(dlg, dc);
}

void ExpectDialog(HWND dlg, int width, int height, DWORD style, const char* faceName) {
  RECT client{};
  ::GetClientRect(dlg, &client);
  const RECT size = Mapped(dlg, 0, 0, width, height);
  EXPECT_EQ(client.right, size.right);
  EXPECT_EQ(client.bottom, size.bottom);

  const DWORD actual = static_cast<DWORD>(::GetWindowLongA(dlg, GWL_STYLE));
  EXPECT_EQ(actual & style, style) << std::hex << "style 0x" << actual;
  EXPECT_EQ(actual & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME), 0u);

  LOGFONTA font{};
  ::GetObjectA(reinterpret_cast<HFONT>(Send(dlg, WM_GETFONT)), sizeof font, &font);
  EXPECT_STREQ(font.lfFaceName, faceName);
}

bool SameClassName(const std::string& a, const std::string& b) {
  return ::lstrcmpiA(a.c_str(), b.c_str()) == 0;
}

// The template itself, exactly as the layout gives it.
void ExpectTemplate(int templateId, const std::vector<Control>& expected, DialogTemplate* out) {
  DialogTemplate& t = *out;
  ASSERT_TRUE(LoadDialogTemplate(templateId, &t));
  EXPECT_EQ(t.x, 0);
  EXPECT_EQ(t.y, 0);
  EXPECT_EQ(t.style & DS_CENTER, 0u) << "start-up centres the dialog itself";
  EXPECT_EQ(t.typeface, "MS Sans Serif");
  EXPECT_EQ(t.pointSize, 8);
  ASSERT_EQ(t.items.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    const Control& control = expected[i];
    const TemplateItem& item = t.items[i];
    SCOPED_TRACE(item.className + " " + item.text);
    EXPECT_EQ(item.id, control.id);
    EXPECT_TRUE(SameClassName(item.className, control.className)) << item.className;
    if (control.text != nullptr) {
      EXPECT_EQ(item.text, control.text);
    }
    EXPECT_EQ(item.style, WS_CHILD | WS_VISIBLE | control.style) << std::hex << item.style;
    EXPECT_EQ(item.exStyle, 0u);
    EXPECT_EQ(item.x, control.x);
    EXPECT_EQ(item.y, control.y);
    EXPECT_EQ(item.width, control.width);
    EXPECT_EQ(item.height, control.height);
  }
}

TEST(TemplateTest, MainDialog) {
  DialogTemplate t;
  ExpectTemplate(IDD_MAIN, kMainControls, &t);
  EXPECT_TRUE(t.extended);
  EXPECT_EQ(t.style,
            static_cast<DWORD>(DS_MODALFRAME | DS_SETFONT | WS_POPUP | WS_VISIBLE | WS_CAPTION |
                               WS_SYSMENU));
  EXPECT_EQ(t.exStyle, static_cast<DWORD>(WS_EX_APPWINDOW));
  EXPECT_EQ(t.width, 158);
  EXPECT_EQ(t.height, 111);
  EXPECT_EQ(t.caption, "KORVEL programmer");
  EXPECT_EQ(t.weight, FW_NORMAL);
  EXPECT_FALSE(t.italic);
}

TEST(TemplateTest, AboutBox) {
  DialogTemplate t;
  ExpectTemplate(IDD_ABOUT, kAboutControls, &t);
  EXPECT_FALSE(t.extended);
  EXPECT_EQ(t.style,
            static_cast<DWORD>(DS_MODALFRAME | DS_SETFONT | WS_POPUP | WS_CAPTION | WS_SYSMENU));
  EXPECT_EQ(t.exStyle, 0u);
  EXPECT_EQ(t.width, 235);
  EXPECT_EQ(t.height, 55);
  EXPECT_EQ(t.caption, "About korvel");
}

class LayoutTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_PROGRESS_CLASS};
    ::InitCommonControlsEx(&controls);
  }
};

TEST_F(LayoutTest, MainDialog) {
  FakeClock clock;
  SystemTimeOfDay timeOfDay;
  SimBus bus;
  CProgrammerDialog dialog(bus, clock, timeOfDay);
  RunScripted(dialog, "KORVEL programmer", [&](HWND dlg) {
    ExpectDialog(dlg, 158, 111,
                 WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT,
                 "MS Sans Serif");
    EXPECT_TRUE(::GetWindowLongA(dlg, GWL_EXSTYLE) & WS_EX_APPWINDOW);
    LOGFONTA font{};
    ::GetObjectA(reinterpret_cast<HFONT>(Send(dlg, WM_GETFONT)), sizeof font, &font);
    EXPECT_EQ(font.lfWeight, FW_NORMAL);
    EXPECT_FALSE(font.lfItalic);
    ExpectControls(dlg, kMainControls);
  });
}

TEST_F(LayoutTest, AboutBox) {
  CAboutDialog about;
  RunScripted(about, "About korvel", [&](HWND dlg) {
    ExpectDialog(dlg, 235, 55, WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT,
                 "MS Sans Serif");
    EXPECT_FALSE(::GetWindowLongA(dlg, GWL_EXSTYLE) & WS_EX_APPWINDOW);
    ExpectControls(dlg, kAboutControls);
  });
}

}  // namespace
