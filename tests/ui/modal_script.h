#pragma once
#include <windows.h>

#include <chrono>
#include <functional>
#include <string>

class CDialog;

// Every wait in these tests gives up after this long.
constexpr std::chrono::milliseconds kDeadline{20000};

// Polls until the condition holds; false when the deadline passed first.
bool WaitUntil(const std::function<bool()>& condition,
               std::chrono::milliseconds deadline = kDeadline);

// A visible top-level window of the thread with this caption, or null.
HWND FindThreadWindow(DWORD threadId, const std::string& caption);

// A visible top-level window owned by owner, or null.
HWND FindOwnedWindow(HWND owner);

// SendMessage that gives up at the deadline and records a failure then.
LRESULT Send(HWND hwnd, UINT message, WPARAM wParam = 0, LPARAM lParam = 0);

// Clicks a button the way the mouse does, and waits for the click to be
// handled. Use PostClick when the handler opens a window that has to be
// answered first.
void Click(HWND button);
void PostClick(HWND button);

// The text of a window as the operator sees it.
std::string TextOf(HWND hwnd);

// The texts of a window's children, one a line (what a message box says).
std::string AllText(HWND hwnd);

// The child of a window with this text (first in tab order), or null.
HWND FindChildWithText(HWND parent, const std::string& text);

// Runs dialog.DoModal() on this thread while script drives the dialog's
// window from another. Afterwards every window the dialog owns is closed and
// the dialog is ended, also when a check in the script failed. Gives the
// result of DoModal.
INT_PTR RunScripted(CDialog& dialog, const std::string& caption,
                    const std::function<void(HWND dialogWindow)>& script);
