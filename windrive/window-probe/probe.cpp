// window-probe: tells scripts what a person sees of the utility's windows, so
// they can click where a control is and check what it shows; and, where there
// is no display to click on (Wine's null graphics driver), presses and types
// for them.
//   window-probe windows          one line per visible top-level window:
//                                 handle enabled "title"
//   window-probe dump TITLE       one line per child control of that window:
//                                 id centre-x centre-y enabled checked progress text-hex
//   window-probe click TITLE ID   presses the button ID as a click would
//   window-probe press TITLE ID   the same, and returns once the window has
//                                 handled the click (at most 60 s)
//   window-probe type TITLE ID HEX
//                                 types the bytes into control ID, one
//                                 character message each ("0D" is Enter)
// Coordinates are screen pixels, which are the X display's under Wine. Clicks
// and characters are posted: but for press, the probe does not wait for what
// they start.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

std::string Hex(const std::string& bytes) {
  std::string out;
  char pair[3];
  for (unsigned char c : bytes) {
    std::snprintf(pair, sizeof pair, "%02X", c);
    out += pair;
  }
  return out.empty() ? "-" : out;
}

// Asks a window of another process; a window that has stopped taking
// messages (hung) answers 0 rather than holding the probe up.
LRESULT Ask(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  DWORD_PTR result = 0;
  SendMessageTimeoutA(window, message, wParam, lParam, SMTO_ABORTIFHUNG, 20000, &result);
  return static_cast<LRESULT>(result);
}

// GetWindowText would give another process's edit control its creation text,
// not what it holds now; asking the control itself gives the current text.
std::string TextOf(HWND window) {
  const LRESULT length = Ask(window, WM_GETTEXTLENGTH, 0, 0);
  std::string text(static_cast<size_t>(length) + 1, '\0');
  const LRESULT got = Ask(window, WM_GETTEXT, static_cast<WPARAM>(length + 1),
                          reinterpret_cast<LPARAM>(&text[0]));
  text.resize(got > 0 ? static_cast<size_t>(got) : 0);
  return text;
}

// A top-level window's caption is kept by the system: reading it sends the
// window nothing, so a window whose thread is busy or still starting (ours or
// one of Wine's own) cannot hold the listing up.
std::string CaptionOf(HWND window) {
  char caption[256] = "";
  GetWindowTextA(window, caption, sizeof caption);
  return caption;
}

BOOL CALLBACK ListTopLevel(HWND window, LPARAM) {
  if (IsWindowVisible(window)) {
    // A handle is pointer-sized: 64 bits in the 64-bit build.
    std::printf("%llu %d \"%s\"\n",
                static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(window)),
                IsWindowEnabled(window) ? 1 : 0, CaptionOf(window).c_str());
  }
  return TRUE;
}

BOOL CALLBACK DumpChild(HWND control, LPARAM) {
  RECT r;
  GetWindowRect(control, &r);
  char cls[64] = "";
  GetClassNameA(control, cls, sizeof cls);
  int checked = -1, progress = -1;
  if (lstrcmpiA(cls, "Button") == 0) {
    checked = static_cast<int>(Ask(control, BM_GETCHECK, 0, 0));
  } else if (lstrcmpiA(cls, PROGRESS_CLASSA) == 0) {
    progress = static_cast<int>(Ask(control, PBM_GETPOS, 0, 0));
  }
  std::printf("%d %ld %ld %d %d %d %s\n", GetDlgCtrlID(control), (r.left + r.right) / 2,
              (r.top + r.bottom) / 2, IsWindowEnabled(control) ? 1 : 0, checked, progress,
              Hex(TextOf(control)).c_str());
  return TRUE;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// Posts each byte of hex to the control as a typed character.
bool Type(HWND control, const char* hex) {
  for (; hex[0] != '\0' && hex[1] != '\0'; hex += 2) {
    const int high = HexDigit(hex[0]), low = HexDigit(hex[1]);
    if (high < 0 || low < 0) return false;
    PostMessageA(control, WM_CHAR, static_cast<WPARAM>(high * 16 + low), 1);
  }
  return hex[0] == '\0';
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::strcmp(argv[1], "windows") == 0) {
    EnumWindows(ListTopLevel, 0);
    return 0;
  }
  if (argc == 3 && std::strcmp(argv[1], "dump") == 0) {
    HWND window = FindWindowA(nullptr, argv[2]);
    if (window == nullptr) return 1;
    EnumChildWindows(window, DumpChild, 0);
    return 0;
  }
  const bool click = argc == 4 && std::strcmp(argv[1], "click") == 0;
  const bool press = argc == 4 && std::strcmp(argv[1], "press") == 0;
  const bool type = argc == 5 && std::strcmp(argv[1], "type") == 0;
  if (click || press || type) {
    HWND window = FindWindowA(nullptr, argv[2]);
    HWND control = window != nullptr ? GetDlgItem(window, std::atoi(argv[3])) : nullptr;
    if (control == nullptr) return 1;
    if (click) return PostMessageA(control, BM_CLICK, 0, 0) ? 0 : 1;
    if (press) {
      DWORD_PTR result = 0;
      return SendMessageTimeoutA(control, BM_CLICK, 0, 0, SMTO_NORMAL, 60000, &result) ? 0 : 1;
    }
    return Type(control, argv[4]) ? 0 : 2;
  }
  std::fprintf(stderr, "usage: window-probe windows | dump TITLE | click TITLE ID | "
                       "press TITLE ID | type TITLE ID HEX\n");
  return 2;
}
