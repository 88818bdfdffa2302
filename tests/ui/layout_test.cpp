// Both dialogs as they stand on the screen: every control where the layout
// puts it (dialog units of the dialog's own font), with its class, text and
// styles, in tab order.
#include <array>
#include <string>
#include <vector>

#include "ui/about_dialog.h"
#include "tests/ui/main_dialog_fixture.h"

namespace {

struct Control {
  int id;
  const char* className;
  const char* text;  // null: ours to word, only not empty
  int x, y, width, height;
  DWORD style;  // besides WS_CHILD | WS_VISIBLE
};

struct Layout {
  int width, height;
  DWORD style, exStyle;
  LONG fontWeight;
  std::vector<Control> controls;
};

const Layout kMain = {
    158, 111, WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT,
    WS_EX_APPWINDOW, FW_NORMAL, {
    {IDCANCEL, "Button", "EXIT", 101, 89, 50, 14, BS_PUSHBUTTON | WS_TABSTOP},
    {IDC_STATIC, "Button", "COM Port Select", 6, 7, 62, 45, BS_GROUPBOX},
    {1000, "Button", "Port 1", 18, 22, 35, 10, BS_AUTORADIOBUTTON},
    {1001, "Button", "Port 2", 17, 35, 35, 10, BS_AUTORADIOBUTTON},
    {1002, "msctls_progress32", "Progress1", 6, 76, 145, 11, WS_BORDER | PBS_SMOOTH},
    {1003, "Edit", "", 6, 54, 145, 20,
     WS_BORDER | WS_TABSTOP | ES_MULTILINE | ES_AUTOHSCROLL | ES_WANTRETURN},
    {3, "Button", "Program", 6, 89, 50, 14, BS_PUSHBUTTON | WS_TABSTOP | WS_DISABLED},
    {1004, "Button", "LOAD", 83, 31, 68, 14, BS_PUSHBUTTON | WS_TABSTOP},
    {IDC_STATIC, "Static", "Load Message", 92, 7, 51, 10, SS_CENTER | WS_GROUP},
    {IDC_STATIC, "Static", "from file", 92, 18, 51, 10, SS_CENTER | WS_GROUP},
}};

const Layout kAbout = {
    235, 55, WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT, 0, FW_DONTCARE, {
    {IDC_STATIC, "Static", "KORVEL Version 1.0", 40, 10, 119, 8, SS_LEFT | SS_NOPREFIX | WS_GROUP},
    {IDC_STATIC, "Static", nullptr, 40, 22, 119, 8, SS_LEFT | WS_GROUP},
    {IDOK, "Button", "OK", 178, 7, 50, 14, BS_DEFPUSHBUTTON | WS_GROUP | WS_TABSTOP},
    {IDC_STATIC, "Static", nullptr, 40, 34, 119, 8, SS_LEFT | WS_GROUP},
}};

std::array<LONG, 4> Mapped(HWND dlg, int x, int y, int width, int height) {
  RECT units{x, y, width, height};
  ::MapDialogRect(dlg, &units);
  return {units.left, units.top, units.right, units.bottom};
}

// The dialog manager shows a border as a sunken edge and gives the default
// look to whichever push button has the focus; the progress bar drops the
// border and draws its own frame.
DWORD WithoutScreenChanges(DWORD style, DWORD exStyle, const std::string& className) {
  if (exStyle & WS_EX_CLIENTEDGE) style |= WS_BORDER;
  if (className == "msctls_progress32") style &= ~WS_BORDER;
  const bool defaultButton = className == "Button" && (style & BS_TYPEMASK) == BS_DEFPUSHBUTTON;
  return defaultButton ? style & ~BS_DEFPUSHBUTTON : style;
}

void ExpectLayout(HWND dlg, const Layout& layout) {
  RECT client{};
  ::GetClientRect(dlg, &client);
  EXPECT_EQ(Mapped(dlg, 0, 0, layout.width, layout.height),
            (std::array<LONG, 4>{0, 0, client.right, client.bottom}));
  const DWORD style = static_cast<DWORD>(::GetWindowLongA(dlg, GWL_STYLE));
  EXPECT_EQ(style & layout.style, layout.style);
  EXPECT_EQ(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME), 0u);
  EXPECT_EQ(::GetWindowLongA(dlg, GWL_EXSTYLE) & WS_EX_APPWINDOW,
            static_cast<LONG>(layout.exStyle));
  LOGFONTA font{};
  ::GetObjectA(reinterpret_cast<HFONT>(Send(dlg, WM_GETFONT)), sizeof font, &font);
  EXPECT_STREQ(font.lfFaceName, "MS Sans Serif");
  EXPECT_EQ(font.lfWeight, layout.fontWeight);

  HWND child = ::GetWindow(dlg, GW_CHILD);
  for (const Control& c : layout.controls) {
    SCOPED_TRACE(std::string(c.className) + " " + (c.text != nullptr ? c.text : ""));
    ASSERT_NE(child, nullptr) << "fewer controls than the layout has";
    EXPECT_EQ(LOWORD(::GetDlgCtrlID(child)), LOWORD(c.id));
    char className[64] = {};
    ::GetClassNameA(child, className, sizeof className);
    EXPECT_STREQ(className, c.className);
    const std::string text = WindowTextOf(child);
    EXPECT_TRUE(c.text != nullptr ? text == c.text : !text.empty()) << text;
    const DWORD style = static_cast<DWORD>(::GetWindowLongA(child, GWL_STYLE));
    const DWORD exStyle = static_cast<DWORD>(::GetWindowLongA(child, GWL_EXSTYLE));
    EXPECT_EQ(WithoutScreenChanges(style, exStyle, className),
              WithoutScreenChanges(WS_CHILD | WS_VISIBLE | c.style, 0, className))
        << std::hex << "style 0x" << style << " extended 0x" << exStyle;
    RECT window{};
    ::GetWindowRect(child, &window);
    ::MapWindowPoints(nullptr, dlg, reinterpret_cast<POINT*>(&window), 2);
    EXPECT_EQ(Mapped(dlg, c.x, c.y, c.width, c.height),
              (std::array<LONG, 4>{window.left, window.top, window.right - window.left,
                                   window.bottom - window.top}));
    child = ::GetWindow(child, GW_HWNDNEXT);
  }
  EXPECT_EQ(child, nullptr) << "more controls than the layout has";
}

using LayoutTest = MainDialogTest;

TEST_F(LayoutTest, MainDialogAndAboutBox) {
  Run([&](HWND dlg) { ExpectLayout(dlg, kMain); });
  CAboutDialog about;
  RunScripted(about, "About korvel", [&](HWND dlg) { ExpectLayout(dlg, kAbout); });
}

}  // namespace
