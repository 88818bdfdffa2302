#include "tests/winlayer/modal_script.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "winlayer/dialog.h"

bool WaitUntil(const std::function<bool()>& condition) {
  const auto end = std::chrono::steady_clock::now() + kDeadline;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > end) return false;
    ::Sleep(5);
  }
  return true;
}

HWND FindOwnedWindow(HWND owner) {
  for (HWND w = ::FindWindowExA(nullptr, nullptr, nullptr, nullptr); w != nullptr;
       w = ::FindWindowExA(nullptr, w, nullptr, nullptr)) {
    if (::IsWindowVisible(w) && ::GetWindow(w, GW_OWNER) == owner) return w;
  }
  return nullptr;
}

HWND WaitForOwnedWindow(HWND owner) {
  HWND found = nullptr;
  EXPECT_TRUE(WaitUntil([&] { return (found = FindOwnedWindow(owner)) != nullptr; }))
      << "no window appeared";
  return found;
}

LRESULT Send(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  DWORD_PTR result = 0;
  if (!::SendMessageTimeoutA(hwnd, message, wParam, lParam, SMTO_NORMAL,
                             static_cast<UINT>(kDeadline.count()), &result)) {
    ADD_FAILURE() << "window did not answer message 0x" << std::hex << message;
  }
  return static_cast<LRESULT>(result);
}

void Click(HWND button) { Send(button, BM_CLICK); }

void PostClick(HWND button) { ::PostMessageA(button, BM_CLICK, 0, 0); }

void CloseBox(HWND box, HWND owner) {
  Click(::GetDlgItem(box, IDOK));
  EXPECT_TRUE(WaitUntil([&] { return !::IsWindow(box) && ::IsWindowEnabled(owner); }));
}

INT_PTR RunScripted(CDialog& dialog, const std::string& caption,
                    const std::function<void(HWND)>& script) {
  const DWORD uiThread = ::GetCurrentThreadId();
  std::atomic<bool> modalEnded{false};

  std::thread driver([&] {
    HWND window = nullptr;
    WaitUntil([&] {
      for (window = ::FindWindowExA(nullptr, nullptr, nullptr, caption.c_str()); window != nullptr;
           window = ::FindWindowExA(nullptr, window, nullptr, caption.c_str())) {
        if (::IsWindowVisible(window) && ::GetWindowThreadProcessId(window, nullptr) == uiThread) {
          return true;
        }
      }
      return modalEnded.load();
    });
    if (window == nullptr) {
      ADD_FAILURE() << "dialog \"" << caption << "\" did not appear";
      return;
    }
    script(window);

    // Boxes the script left open first, then the dialog.
    WaitUntil([&] {
      HWND owned = FindOwnedWindow(window);
      if (owned != nullptr) ::PostMessageA(owned, WM_CLOSE, 0, 0);
      return owned == nullptr;
    });
    ::PostMessageA(window, WM_COMMAND, IDCANCEL, 0);
  });

  const INT_PTR result = dialog.DoModal();
  modalEnded = true;
  driver.join();
  return result;
}
