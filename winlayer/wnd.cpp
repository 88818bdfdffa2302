#include "winlayer/wnd.h"

#include <unordered_map>

#include "winlayer/app_name.h"

namespace {

// Which object each window of this thread is attached to. Every message to an
// attached window looks here first, so it stays in the process: a window
// property would cost a trip to Wine's server, once for every step of the
// progress bar during a run. A window's messages all come on the thread that
// made it, so each thread keeps its own.
std::unordered_map<HWND, CWnd*>& AttachedObjects() {
  thread_local std::unordered_map<HWND, CWnd*> attached;
  return attached;
}

}  // namespace

std::string WindowTextOf(HWND hwnd) {
  const int length = ::GetWindowTextLengthA(hwnd);
  if (length <= 0) return std::string();
  std::string text(static_cast<std::size_t>(length) + 1, '\0');
  const int copied = ::GetWindowTextA(hwnd, text.data(), length + 1);
  text.resize(copied > 0 ? static_cast<std::size_t>(copied) : 0);
  return text;
}

CWnd::~CWnd() {
  if (m_hWnd != nullptr) UnsubclassWindow();
}

CWnd* CWnd::FromHandlePermanent(HWND hwnd) {
  if (hwnd == nullptr) return nullptr;
  const auto found = AttachedObjects().find(hwnd);
  return found == AttachedObjects().end() ? nullptr : found->second;
}

bool CWnd::SubclassWindow(HWND hwnd) {
  if (hwnd == nullptr || m_hWnd != nullptr || FromHandlePermanent(hwnd) != nullptr) return false;
  // Its messages come on the thread that made it, which must be this one.
  if (::GetWindowThreadProcessId(hwnd, nullptr) != ::GetCurrentThreadId()) return false;
  AttachedObjects()[hwnd] = this;
  m_hWnd = hwnd;
  m_superProc = reinterpret_cast<WNDPROC>(
      ::SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CWnd::WindowProc)));
  return true;
}

HWND CWnd::UnsubclassWindow() {
  HWND hwnd = m_hWnd;
  if (hwnd == nullptr) return nullptr;
  if (m_superProc != nullptr) {
    ::SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_superProc));
  }
  AttachedObjects().erase(hwnd);
  m_superProc = nullptr;
  m_hWnd = nullptr;
  return hwnd;
}

LRESULT CALLBACK CWnd::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  CWnd* wnd = FromHandlePermanent(hwnd);
  if (wnd == nullptr) return ::DefWindowProcA(hwnd, message, wParam, lParam);
  return wnd->Route(message, wParam, lParam);
}

LRESULT CWnd::Route(UINT message, WPARAM wParam, LPARAM lParam) {
  // Handlers may send messages to their own window; each level keeps its own.
  const CurrentMessage outer = m_current;
  m_current = CurrentMessage{message, wParam, lParam};
  LRESULT result = 0;
  if (!OnWndMsg(message, wParam, lParam, &result)) {
    result = DefWindowProcA(message, wParam, lParam);
  }
  m_current = outer;
  // The window's last message: nothing of it may be touched after this.
  if (message == WM_NCDESTROY) UnsubclassWindow();
  return result;
}

bool CWnd::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  return DispatchMessageMap(message, wParam, lParam, result);
}

LRESULT CWnd::Default() {
  return DefWindowProcA(m_current.message, m_current.wParam, m_current.lParam);
}

LRESULT CWnd::DefWindowProcA(UINT message, WPARAM wParam, LPARAM lParam) {
  if (m_superProc != nullptr) {
    return ::CallWindowProcA(m_superProc, m_hWnd, message, wParam, lParam);
  }
  return ::DefWindowProcA(m_hWnd, message, wParam, lParam);
}

HWND CWnd::GetDlgItem(int id) const { return ::GetDlgItem(m_hWnd, id); }

LRESULT CWnd::SendMessageA(UINT message, WPARAM wParam, LPARAM lParam) const {
  return ::SendMessageA(m_hWnd, message, wParam, lParam);
}

void CWnd::UpdateWindow() { ::UpdateWindow(m_hWnd); }

void CWnd::SetRedraw(BOOL redraw) { SendMessageA(WM_SETREDRAW, redraw, 0); }

void CWnd::RedrawNow() {
  ::RedrawWindow(m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}

void CWnd::PrintOntoParent() {
  HWND parent = ::GetParent(m_hWnd);
  POINT origin{0, 0};
  ::MapWindowPoints(m_hWnd, parent, &origin, 1);
  HDC dc = ::GetDC(parent);
  ::SetViewportOrgEx(dc, origin.x, origin.y, nullptr);
  SendMessageA(WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
  ::ReleaseDC(parent, dc);
}

int CWnd::MessageBoxA(const char* text, const char* caption, UINT type) {
  const std::string name = caption != nullptr ? std::string(caption) : ApplicationName();
  return ::MessageBoxA(m_hWnd, text, name.c_str(), type);
}

void CWnd::CenterWindow() {
  RECT work{};
  ::SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
  RECT area = work;
  HWND owner = ::GetWindow(m_hWnd, GW_OWNER);
  if (owner != nullptr && ::IsWindowVisible(owner) && !::IsIconic(owner)) {
    ::GetWindowRect(owner, &area);
  }
  RECT window{};
  ::GetWindowRect(m_hWnd, &window);
  const int width = window.right - window.left;
  const int height = window.bottom - window.top;
  int left = area.left + ((area.right - area.left) - width) / 2;
  int top = area.top + ((area.bottom - area.top) - height) / 2;
  // Keep the whole window on the work area where it fits.
  if (left + width > work.right) left = work.right - width;
  if (top + height > work.bottom) top = work.bottom - height;
  if (left < work.left) left = work.left;
  if (top < work.top) top = work.top;
  ::SetWindowPos(m_hWnd, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}
