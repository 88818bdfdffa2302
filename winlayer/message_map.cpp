#include "winlayer/message_map.h"

bool MessageKey::Matches(UINT message, WPARAM wParam, LPARAM lParam) const {
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
