#include "tests/ui/modal_script.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "ui/dialog.h"
#include "ui/wnd.h"

bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds deadline) {
  const auto end = std::chrono::steady_clock::now() + deadline;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > end) return false;
    ::Sleep(5);
  }
  return true;
}

namespace {

struct Search {
  DWORD threadId = 0;
  HWND owner = nullptr;
  const std::string* caption = nullptr;
  HWND found = nullptr;
};

BOOL CALLBACK MatchWindow(HWND hwnd, LPARAM lParam) {
  auto* search = reinterpret_cast<Search*>(lParam);
  if (!::IsWindowVisible(hwnd)) return TRUE;
  if (search->threadId != 0 && ::GetWindowThreadProcessId(hwnd, nullptr) != search->threadId) {
    return TRUE;
  }
  if (search->owner != nullptr && ::GetWindow(hwnd, GW_OWNER) != search->owner) return TRUE;
  if (search->caption != nullptr && WindowTextOf(hwnd) != *search->caption) return TRUE;
  search->found = hwnd;
  return FALSE;
}

HWND FindWindowLike(Search search) {
  ::EnumWindows(&MatchWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

}  // namespace

HWND FindThreadWindow(DWORD threadId, const std::string& caption) {
  Search search;
  search.threadId = threadId;
  search.caption = &caption;
  return FindWindowLike(search);
}

HWND FindOwnedWindow(HWND owner) {
  Search search;
  search.owner = owner;
  return FindWindowLike(search);
}

LRESULT Send(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  DWORD_PTR result = 0;
  const UINT timeout = static_cast<UINT>(kDeadline.count());
  if (!::SendMessageTimeoutA(hwnd, message, wParam, lParam, SMTO_NORMAL, timeout, &result)) {
    ADD_FAILURE() << "window did not answer message 0x" << std::hex << message << " (error "
                  << std::dec << ::GetLastError() << ")";
  }
  return static_cast<LRESULT>(result);
}

void Click(HWND button) { Send(button, BM_CLICK); }

void PostClick(HWND button) { ::PostMessageA(button, BM_CLICK, 0, 0); }

std::string TextOf(HWND hwnd) { return WindowTextOf(hwnd); }

std::string AllText(HWND hwnd) {
  std::string text;
  for (HWND child = ::GetWindow(hwnd, GW_CHILD); child != nullptr;
       child = ::GetWindow(child, GW_HWNDNEXT)) {
    text += WindowTextOf(child) + "\n";
  }
  return text;
}

HWND FindChildWithText(HWND parent, const std::string& text) {
  for (HWND child = ::GetWindow(parent, GW_CHILD); child != nullptr;
       child = ::GetWindow(child, GW_HWNDNEXT)) {
    if (WindowTextOf(child) == text) return child;
  }
  return nullptr;
}

INT_PTR RunScripted(CDialog& dialog, const std::string& caption,
                    const std::function<void(HWND)>& script) {
  const DWORD uiThread = ::GetCurrentThreadId();
  std::atomic<bool> modalEnded{false};

  std::thread driver([&] {
    HWND window = nullptr;
    const bool appeared = WaitUntil([&] {
      window = FindThreadWindow(uiThread, caption);
      return window != nullptr || modalEnded.load();
    });
    if (!appeared || window == nullptr) {
      ADD_FAILURE() << "dialog \"" << caption << "\" did not appear";
      return;
    }
    script(window);

    // Close what the script left open (boxes first), then the dialog.
    WaitUntil([&] {
      HWND owned = FindOwnedWindow(window);
      if (owned == nullptr) return true;
      ::PostMessageA(owned, WM_CLOSE, 0, 0);
      ::Sleep(50);
      return false;
    });
    ::PostMessageA(window, WM_COMMAND, IDCANCEL, 0);
  });

  const INT_PTR result = dialog.DoModal();
  modalEnded = true;
  driver.join();
  return result;
}
