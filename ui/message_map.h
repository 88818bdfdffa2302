#pragma once
#include <windows.h>
#include <commctrl.h>

#include <cstddef>
#include <type_traits>
#include <variant>

class CCmdTarget;

// A handler is a member function of the class that owns the table. Its
// signature says how the message's parameters reach it:
//   void ()                   nothing; the message's result is 0 (commands, WM_PAINT)
//   void (UINT, LPARAM)       wParam and lParam (WM_SYSCOMMAND)
//   HCURSOR ()                the handle returned is the result (WM_QUERYDRAGICON)
//   void (NMHDR*, LRESULT*)   the notification header; the handler sets the result (WM_NOTIFY)
//   void (UINT, UINT, UINT)   wParam, then the low and high word of lParam
//                             (character and key messages: code, repeat count, flags)
//   BOOL (HELPINFO*)          the help request; the BOOL is the result (WM_HELP)
using MessageHandler = std::variant<void (CCmdTarget::*)(),
                                    void (CCmdTarget::*)(UINT, LPARAM),
                                    HCURSOR (CCmdTarget::*)(),
                                    void (CCmdTarget::*)(NMHDR*, LRESULT*),
                                    void (CCmdTarget::*)(UINT, UINT, UINT),
                                    BOOL (CCmdTarget::*)(HELPINFO*)>;

// One row of a message map. For WM_COMMAND the code is the notification code
// (BN_CLICKED for a click) and the ids are the sending control's; for
// WM_NOTIFY they come from the notification header; other messages match on
// the message alone and leave code and ids 0.
struct MessageMapEntry {
  UINT message;
  UINT code;
  UINT firstId;
  UINT lastId;
  MessageHandler handler;
};

// A class's table and the table of its base class, searched after it.
struct MessageMap {
  const MessageMap* base;
  const MessageMapEntry* entries;
  std::size_t count;
};

// Turns a member function of a class derived from CCmdTarget into a table
// handler. Only the signatures listed above compile.
template <class T, class R, class... Args>
constexpr MessageHandler Handler(R (T::*function)(Args...)) {
  static_assert(std::is_base_of_v<CCmdTarget, T>, "handlers belong to command targets");
  return static_cast<R (CCmdTarget::*)(Args...)>(function);
}

// Whether an entry answers a message with these parameters.
bool EntryMatches(const MessageMapEntry& entry, UINT message, WPARAM wParam, LPARAM lParam);
