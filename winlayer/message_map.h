#pragma once
#include <windows.h>
#include <commctrl.h>

#include <initializer_list>
#include <type_traits>
#include <utility>
#include <variant>

#include "winlayer/cmd_target.h"

// A class with a message map derives from MessageMapped, naming itself and the
// class it builds on, declares its map, and defines it before its handlers,
// one entry per message:
//
//   class CMyDialog : public MessageMapped<CMyDialog, CDialog> {
//    public:
//     CMyDialog() : MessageMapped(IDD_MY) {}  // the arguments go on to CDialog
//     static const MessageMap messageMap;
//     ...
//
//   const CMyDialog::MessageMap CMyDialog::messageMap = {
//       On::Command(IDC_LOAD, &CMyDialog::OnLoad),
//   };
//
// A message goes through the class's map first, then through its base's. An
// entry takes a member function of the class or of one of its bases, of the
// shape its message calls; any other handler does not compile.

// Which messages an entry answers: the message and, for commands and
// notifications, the code and the control ids they come with.
class MessageKey {
 public:
  constexpr MessageKey(UINT message, UINT code, UINT firstId, UINT lastId)
      : message_(message), code_(code), firstId_(firstId), lastId_(lastId) {}

  bool Matches(UINT message, WPARAM wParam, LPARAM lParam) const;

 private:
  UINT message_;
  UINT code_;
  UINT firstId_;
  UINT lastId_;
};

// The shapes a handler of T can have; which one a message calls follows from
// the message (see MessageEntriesOf below).
template <class T>
using MessageHandler = std::variant<void (T::*)(),
                                    void (T::*)(UINT, LPARAM),
                                    HCURSOR (T::*)(),
                                    void (T::*)(NMHDR*, LRESULT*),
                                    void (T::*)(UINT, UINT, UINT),
                                    BOOL (T::*)(HELPINFO*)>;

template <class T>
class MessageEntriesOf;

// One entry of T's message map. Entries are made only by MessageEntriesOf<T>,
// one helper per kind of message, each of which takes only the handler its
// message calls.
template <class T>
class MessageMapEntry {
 public:
  bool Matches(UINT message, WPARAM wParam, LPARAM lParam) const {
    return key_.Matches(message, wParam, lParam);
  }

  // Calls the handler on target with the message's parameters unpacked for
  // it; gives the message's result.
  LRESULT Call(T& target, WPARAM wParam, LPARAM lParam) const {
    return std::visit(Invoke{target, wParam, lParam}, handler_);
  }

 private:
  friend class MessageEntriesOf<T>;
  constexpr MessageMapEntry(MessageKey key, MessageHandler<T> handler)
      : key_(key), handler_(handler) {}

  struct Invoke {
    T& target;
    WPARAM wParam;
    LPARAM lParam;

    LRESULT operator()(void (T::*handler)()) const {
      (target.*handler)();
      return 0;
    }
    LRESULT operator()(void (T::*handler)(UINT, LPARAM)) const {
      (target.*handler)(static_cast<UINT>(wParam), lParam);
      return 0;
    }
    LRESULT operator()(HCURSOR (T::*handler)()) const {
      return reinterpret_cast<LRESULT>((target.*handler)());
    }
    LRESULT operator()(void (T::*handler)(NMHDR*, LRESULT*)) const {
      LRESULT result = 0;
      (target.*handler)(reinterpret_cast<NMHDR*>(lParam), &result);
      return result;
    }
    LRESULT operator()(void (T::*handler)(UINT, UINT, UINT)) const {
      (target.*handler)(static_cast<UINT>(wParam), LOWORD(lParam), HIWORD(lParam));
      return 0;
    }
    LRESULT operator()(BOOL (T::*handler)(HELPINFO*)) const {
      return (target.*handler)(reinterpret_cast<HELPINFO*>(lParam));
    }
  };

  MessageKey key_;
  MessageHandler<T> handler_;
};

// The entries of T's message map, one helper per kind of message; inside a
// class made with MessageMapped it is called On. Each takes a member function
// of T, which a member of one of T's bases converts to and a member of any
// other class does not.
template <class T>
class MessageEntriesOf {
 public:
  // WM_COMMAND with code 0 from this id: a button's click, a menu item, an
  // accelerator. void OnX()
  static constexpr MessageMapEntry<T> Command(UINT id, void (T::*handler)()) {
    return {{WM_COMMAND, 0, id, id}, handler};
  }
  // WM_NOTIFY with this code from the control id. The handler sets the
  // result. void OnX(NMHDR* header, LRESULT* result)
  static constexpr MessageMapEntry<T> Notify(UINT code, UINT id,
                                             void (T::*handler)(NMHDR*, LRESULT*)) {
    return {{WM_NOTIFY, code, id, id}, handler};
  }
  // WM_SYSCOMMAND. void OnSysCommand(UINT command, LPARAM lParam)
  static constexpr MessageMapEntry<T> SysCommand(void (T::*handler)(UINT, LPARAM)) {
    return {{WM_SYSCOMMAND, 0, 0, 0}, handler};
  }
  // WM_PAINT. void OnPaint()
  static constexpr MessageMapEntry<T> Paint(void (T::*handler)()) {
    return {{WM_PAINT, 0, 0, 0}, handler};
  }
  // WM_QUERYDRAGICON: the cursor shown while a minimised window is dragged.
  // HCURSOR OnQueryDragIcon()
  static constexpr MessageMapEntry<T> QueryDragIcon(HCURSOR (T::*handler)()) {
    return {{WM_QUERYDRAGICON, 0, 0, 0}, handler};
  }
  // WM_CHAR. void OnChar(UINT code, UINT repeatCount, UINT flags)
  static constexpr MessageMapEntry<T> Char(void (T::*handler)(UINT, UINT, UINT)) {
    return {{WM_CHAR, 0, 0, 0}, handler};
  }
  // WM_HELP (F1). The BOOL is the message's result. BOOL OnHelpInfo(HELPINFO* info)
  static constexpr MessageMapEntry<T> Help(BOOL (T::*handler)(HELPINFO*)) {
    return {{WM_HELP, 0, 0, 0}, handler};
  }
};

// The base of a class with a message map: Self is that class, Base the class
// it would otherwise derive from. It gives Self its dispatch, chained to
// Base's, so no class writes either by hand.
template <class Self, class Base>
class MessageMapped : public Base {
 public:
  using On = MessageEntriesOf<Self>;
  // The entries, in the order they are tried. Defined with braces, a static
  // list keeps the entries it was made from for as long as the program runs.
  using MessageMap = std::initializer_list<MessageMapEntry<Self>>;

  bool DispatchMessageMap(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override {
    static_assert(std::is_same_v<decltype(Self::messageMap), const MessageMap>,
                  "a class made with MessageMapped declares its own messageMap");
    for (const MessageMapEntry<Self>& entry : Self::messageMap) {
      if (!entry.Matches(message, wParam, lParam)) continue;
      const LRESULT value = entry.Call(static_cast<Self&>(*this), wParam, lParam);
      if (result != nullptr) *result = value;
      return true;
    }
    return Base::DispatchMessageMap(message, wParam, lParam, result);
  }

 private:
  // Only Self derives from it, so the map it dispatches to is its object's.
  friend Self;
  template <class... BaseArgs>
  explicit MessageMapped(BaseArgs&&... args) : Base(std::forward<BaseArgs>(args)...) {}
};
