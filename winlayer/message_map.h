#pragma once
#include <windows.h>
#include <commctrl.h>

#include <cstddef>
#include <type_traits>
#include <variant>

class CCmdTarget;

// The shapes a handler can have; which one a message calls follows from the
// message (see On below).
using MessageHandler = std::variant<void (CCmdTarget::*)(),
                                    void (CCmdTarget::*)(UINT, LPARAM),
                                    HCURSOR (CCmdTarget::*)(),
                                    void (CCmdTarget::*)(NMHDR*, LRESULT*),
                                    void (CCmdTarget::*)(UINT, UINT, UINT),
                                    BOOL (CCmdTarget::*)(HELPINFO*)>;

// One row of a message map: the message, its notification code, the first
// and last control id it comes from, and the handler. Rows are made only by
// On's helpers, one per kind of message, each of which takes only the handler
// its message calls: a handler that does not fit its message does not compile.
class MessageMapEntry {
 public:
  // Whether this row answers a message with these parameters.
  bool Matches(UINT message, WPARAM wParam, LPARAM lParam) const;

  // Calls the handler on target with the message's parameters unpacked for
  // it; gives the message's result.
  LRESULT Call(CCmdTarget& target, WPARAM wParam, LPARAM lParam) const;

 private:
  friend class On;
  constexpr MessageMapEntry(UINT message, UINT code, UINT firstId, UINT lastId,
                            MessageHandler handler)
      : message_(message), code_(code), firstId_(firstId), lastId_(lastId), handler_(handler) {}

  UINT message_;
  UINT code_;
  UINT firstId_;
  UINT lastId_;
  MessageHandler handler_;
};

// The rows of a message map, one helper per kind of message:
//   On::Command(IDC_LOAD, &CMyDialog::OnLoad)
// A handler is a member function of the class whose map holds the row (or of
// a base of it).
class On {
 public:
  // WM_COMMAND with code 0 from this id: a button's click, a menu item, an
  // accelerator. void OnX()
  template <class T>
  static constexpr MessageMapEntry Command(UINT id, void (T::*handler)()) {
    return {WM_COMMAND, 0, id, id, Target<T>(handler)};
  }
  // WM_NOTIFY with this code from the control id. The handler sets the
  // result. void OnX(NMHDR* header, LRESULT* result)
  template <class T>
  static constexpr MessageMapEntry Notify(UINT code, UINT id,
                                          void (T::*handler)(NMHDR*, LRESULT*)) {
    return {WM_NOTIFY, code, id, id, Target<T>(handler)};
  }
  // WM_SYSCOMMAND. void OnSysCommand(UINT command, LPARAM lParam)
  template <class T>
  static constexpr MessageMapEntry SysCommand(void (T::*handler)(UINT, LPARAM)) {
    return {WM_SYSCOMMAND, 0, 0, 0, Target<T>(handler)};
  }
  // WM_PAINT. void OnPaint()
  template <class T>
  static constexpr MessageMapEntry Paint(void (T::*handler)()) {
    return {WM_PAINT, 0, 0, 0, Target<T>(handler)};
  }
  // WM_QUERYDRAGICON: the cursor shown while a minimised window is dragged.
  // HCURSOR OnQueryDragIcon()
  template <class T>
  static constexpr MessageMapEntry QueryDragIcon(HCURSOR (T::*handler)()) {
    return {WM_QUERYDRAGICON, 0, 0, 0, Target<T>(handler)};
  }
  // WM_CHAR. void OnChar(UINT code, UINT repeatCount, UINT flags)
  template <class T>
  static constexpr MessageMapEntry Char(void (T::*handler)(UINT, UINT, UINT)) {
    return {WM_CHAR, 0, 0, 0, Target<T>(handler)};
  }
  // WM_HELP (F1). The BOOL is the message's result. BOOL OnHelpInfo(HELPINFO* info)
  template <class T>
  static constexpr MessageMapEntry Help(BOOL (T::*handler)(HELPINFO*)) {
    return {WM_HELP, 0, 0, 0, Target<T>(handler)};
  }

 private:
  template <class T, class R, class... Args>
  static constexpr MessageHandler Target(R (T::*handler)(Args...)) {
    static_assert(std::is_base_of_v<CCmdTarget, T>, "handlers belong to command targets");
    return static_cast<R (CCmdTarget::*)(Args...)>(handler);
  }
};

// A class's table and the table of its base class, searched after it.
struct MessageMap {
  const MessageMap* base;
  const MessageMapEntry* entries;
  std::size_t count;
};
