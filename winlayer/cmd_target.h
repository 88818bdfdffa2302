#pragma once
#include <windows.h>

// Anything that takes messages through a message map: windows and the
// application object. A class gets a map of its own by deriving from
// MessageMapped (winlayer/message_map.h).
class CCmdTarget {
 public:
  CCmdTarget() = default;
  CCmdTarget(const CCmdTarget&) = delete;
  CCmdTarget& operator=(const CCmdTarget&) = delete;
  virtual ~CCmdTarget() = default;

  // Calls the handler of the first matching entry, looking through the map of
  // the object's class and then its bases'. False when no entry matches,
  // which is all a class without a map can say.
  virtual bool DispatchMessageMap(UINT /*message*/, WPARAM /*wParam*/, LPARAM /*lParam*/,
                                  LRESULT* /*result*/) {
    return false;
  }
};
