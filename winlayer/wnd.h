#pragma once
#include <windows.h>

#include <string>

#include "winlayer/cmd_target.h"

// The text of any window, byte for byte in the ANSI code page.
std::string WindowTextOf(HWND hwnd);

// A window object. Attaching it to an existing window (SubclassWindow) puts
// the object's message map in front of the window's own procedure: every
// message goes through the map first, and what the map does not handle, or a
// handler passes on with Default(), reaches the original procedure. The
// object lets go of the window when the window is destroyed.
class CWnd : public CCmdTarget {
 public:
  CWnd() = default;
  ~CWnd() override;

  HWND m_hWnd = nullptr;

  // The object attached to a window, or null.
  static CWnd* FromHandlePermanent(HWND hwnd);

  bool SubclassWindow(HWND hwnd);
  HWND UnsubclassWindow();

  HWND GetDlgItem(int id) const;
  LRESULT SendMessageA(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;
  void UpdateWindow();
  // Whether changes to the window are drawn; while off, it keeps its last look.
  void SetRedraw(BOOL redraw);
  // Draws the whole window again, now.
  void RedrawNow();
  // Has a child window draw its client area, as it is now, onto its parent
  // where it lies; also while its own drawing is off.
  void PrintOntoParent();

  // A message box owned by this window; with no caption of its own it carries
  // the application's name.
  int MessageBoxA(const char* text, const char* caption = nullptr, UINT type = MB_OK);

  // Centres a popup over its owner, or on the work area when it has none
  // (or the owner is hidden or minimised), keeping it on the work area.
  void CenterWindow();

 protected:
  // Routes one message through the message map; false when nothing took it.
  virtual bool OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);

  // The window's original handling of the message being handled now, with
  // the parameters it came with.
  LRESULT Default();

  // The window's original handling of any message.
  virtual LRESULT DefWindowProcA(UINT message, WPARAM wParam, LPARAM lParam);

 private:
  struct CurrentMessage {
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
  };

  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT Route(UINT message, WPARAM wParam, LPARAM lParam);

  WNDPROC m_superProc = nullptr;
  CurrentMessage m_current;
};
