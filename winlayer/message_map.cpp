#include "winlayer/message_map.h"

#include "winlayer/cmd_target.h"

namespace {

// Calls one handler with the message's parameters unpacked for its shape.
struct Invoke {
  CCmdTarget& target;
  WPARAM wParam;
  LPARAM lParam;

  LRESULT operator()(void (CCmdTarget::*handler)()) const {
    (target.*handler)();
    return 0;
  }
  LRESULT operator()(void (CCmdTarget::*handler)(UINT, LPARAM)) const {
    (target.*handler)(static_cast<UINT>(wParam), lParam);
    return 0;
  }
  LRESULT operator()(HCURSOR (CCmdTarget::*handler)()) const {
    return reinterpret_cast<LRESULT>((target.*handler)());
  }
  LRESULT operator()(void (CCmdTarget::*handler)(NMHDR*, LRESULT*)) const {
    LRESULT result = 0;
    (target.*handler)(reinterpret_cast<NMHDR*>(lParam), &result);
    return result;
  }
  LRESULT operator()(void (CCmdTarget::*handler)(UINT, UINT, UINT)) const {
    (target.*handler)(static_cast<UINT>(wParam), LOWORD(lParam), HIWORD(lParam));
    return 0;
  }
  LRESULT operator()(BOOL (CCmdTarget::*handler)(HELPINFO*)) const {
    return (target.*handler)(reinterpret_cast<HELPINFO*>(lParam));
  }
};

}  // namespace

bool MessageMapEntry::Matches(UINT message, WPARAM wParam, LPARAM lParam) const {
  if (message != message_) return false;
  UINT code = 0, id = 0;
  if (message == WM_COMMAND) {
    code = HIWORD(wParam);
    id = LOWORD(wParam);
  } else if (message == WM_NOTIFY) {
    const auto* header = reinterpret_cast<const NMHDR*>(lParam);
    if (header == nullptr) return false;
    code = header->code;
    id = static_cast<UINT>(header->idFrom);
  } else {
    return true;  // other messages match on the message alone
  }
  return code == code_ && firstId_ <= id && id <= lastId_;
}

LRESULT MessageMapEntry::Call(CCmdTarget& target, WPARAM wParam, LPARAM lParam) const {
  return std::visit(Invoke{target, wParam, lParam}, handler_);
}
