#include "ui/cmd_target.h"

namespace {

// Calls one handler with the message's parameters unpacked for its signature
// and gives back the message's result.
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

bool IdInRange(const MessageMapEntry& entry, UINT code, UINT id) {
  return entry.code == code && entry.firstId <= id && id <= entry.lastId;
}

}  // namespace

bool EntryMatches(const MessageMapEntry& entry, UINT message, WPARAM wParam, LPARAM lParam) {
  if (entry.message != message) return false;
  if (message == WM_COMMAND) return IdInRange(entry, HIWORD(wParam), LOWORD(wParam));
  if (message == WM_NOTIFY) {
    const auto* header = reinterpret_cast<const NMHDR*>(lParam);
    if (header == nullptr) return false;
    return IdInRange(entry, header->code, static_cast<UINT>(header->idFrom));
  }
  return true;
}

const MessageMap CCmdTarget::messageMap = {nullptr, nullptr, 0};

const MessageMap* CCmdTarget::GetMessageMap() const { return &messageMap; }

bool CCmdTarget::DispatchMessageMap(UINT message, WPARAM wParam, LPARAM lParam,
                                    LRESULT* result) {
  for (const MessageMap* map = GetMessageMap(); map != nullptr; map = map->base) {
    for (std::size_t i = 0; i < map->count; ++i) {
      const MessageMapEntry& entry = map->entries[i];
      if (!EntryMatches(entry, message, wParam, lParam)) continue;
      const LRESULT value = std::visit(Invoke{*this, wParam, lParam}, entry.handler);
      if (result != nullptr) *result = value;
      return true;
    }
  }
  return false;
}
