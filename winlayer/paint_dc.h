#pragma once
#include <windows.h>

// The device context of one WM_PAINT, released when it goes out of scope.
class CPaintDC {
 public:
  explicit CPaintDC(HWND hwnd) : m_hWnd(hwnd), m_hDC(::BeginPaint(hwnd, &m_ps)) {}
  ~CPaintDC() { ::EndPaint(m_hWnd, &m_ps); }
  CPaintDC(const CPaintDC&) = delete;
  CPaintDC& operator=(const CPaintDC&) = delete;

  HDC GetSafeHdc() const { return m_hDC; }

 private:
  HWND m_hWnd;
  PAINTSTRUCT m_ps{};
  HDC m_hDC;
};
