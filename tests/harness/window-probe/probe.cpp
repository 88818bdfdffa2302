// window-probe: tells scripts what a person sees of the utility's windows, so
// they can click where a control is and check what it shows.
//   window-probe windows          one line per visible top-level window:
//                                 handle enabled "title"
//   window-probe dump TITLE       one line per child control of that window:
//                                 id centre-x centre-y enabled checked progress text-hex
// Coordinates are screen pixels, which are the X display's under Wine.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
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

// GetWindowText would give another process's edit control its creation text,
// not what it holds now; asking the control itself gives the current text.
std::string TextOf(HWND window) {
  const LRESULT length = SendMessageA(window, WM_GETTEXTLENGTH, 0, 0);
  std::string text(static_cast<size_t>(length) + 1, '\0');
  const LRESULT got = SendMessageA(window, WM_GETTEXT, static_cast<WPARAM>(length + 1),
                                   reinterpret_cast<LPARAM>(&text[0]));
  text.resize(got > 0 ? static_cast<size_t>(got) : 0);
  return text;
}

BOOL CALLBACK ListTopLevel(HWND window, LPARAM) {
  if (IsWindowVisible(window)) {
    // A handle is pointer-sized: 64 bits in the 64-bit build.
    std::printf("%llu %d \"%s\"\n",
                static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(window)),
                IsWindowEnabled(window) ? 1 : 0, TextOf(window).c_str());
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
    checked = static_cast<int>(SendMessageA(control, BM_GETCHECK, 0, 0));
  } else if (lstrcmpiA(cls, PROGRESS_CLASSA) == 0) {
    progress = static_cast<int>(SendMessageA(control, PBM_GETPOS, 0, 0));
  }
  std::printf("%d %ld %ld %d %d %d %s\n", GetDlgCtrlID(control), (r.left + r.right) / 2,
              (r.top + r.bottom) / 2, IsWindowEnabled(control) ? 1 : 0, checked, progress,
              Hex(TextOf(control)).c_str());
  return TRUE;
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
  std::fprintf(stderr, "usage: window-probe windows | dump TITLE\n");
  return 2;
}
