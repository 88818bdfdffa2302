#pragma once
#include <windows.h>

#include "winlayer/message_map.h"

// Anything that takes messages through a message map: windows and the
// application object.
class CCmdTarget {
 public:
  CCmdTarget() = default;
  CCmdTarget(const CCmdTarget&) = delete;
  CCmdTarget& operator=(const CCmdTarget&) = delete;
  virtual ~CCmdTarget() = default;

  virtual const MessageMap* GetMessageMap() const;

  // Calls the handler of the first matching entry, looking through this
  // class's table and then its bases'. False when no entry matches.
  bool DispatchMessageMap(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);

  static const MessageMap messageMap;  // empty: the end of every chain
};
