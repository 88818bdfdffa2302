#pragma once
#include <windows.h>

#include <chrono>
#include <functional>
#include <string>

#include "winlayer/wnd.h"

class CDialog;

// Every wait in these tests gives up after this long.
constexpr std::chrono::milliseconds kDeadline{20000};

// Polls until the condition holds; false when the deadline passed first.
bool WaitUntil(const std::function<bool()>& condition);

// A visible top-level window owned by owner: null at once, or a failure at
// the deadline with the waiting form.
HWND FindOwnedWindow(HWND owner);
HWND WaitForOwnedWindow(HWND owner);

// SendMessage that gives up at the deadline and records a failure then.
LRESULT Send(HWND hwnd, UINT message, WPARAM wParam = 0, LPARAM lParam = 0);

// Click waits until the click has been handled; PostClick does not, for
// handlers that open a window which has to be answered first.
void Click(HWND button);
void PostClick(HWND button);

// Presses OK in a box and waits until it has gone and its owner takes input.
void CloseBox(HWND box, HWND owner);

// Runs dialog.DoModal() on this thread while script drives the dialog's
// window from another; then closes whatever is left open, also after a
// failed check. Gives the result of DoModal.
INT_PTR RunScripted(CDialog& dialog, const std::string& caption,
                    const std::function<void(HWND dialogWindow)>& script);
