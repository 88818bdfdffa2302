#include "winlayer/cmd_target.h"

const MessageMap CCmdTarget::messageMap = {nullptr, nullptr, 0};

const MessageMap* CCmdTarget::GetMessageMap() const { return &messageMap; }

bool CCmdTarget::DispatchMessageMap(UINT message, WPARAM wParam, LPARAM lParam,
                                    LRESULT* result) {
  for (const MessageMap* map = GetMessageMap(); map != nullptr; map = map->base) {
    for (std::size_t i = 0; i < map->count; ++i) {
      const MessageMapEntry& entry = map->entries[i];
      if (!entry.Matches(message, wParam, lParam)) continue;
      const LRESULT value = entry.Call(*this, wParam, lParam);
      if (result != nullptr) *result = value;
      return true;
    }
  }
  return false;
}
