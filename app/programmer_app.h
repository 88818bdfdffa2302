#pragma once
#include <windows.h>

#include "winlayer/message_map.h"
#include "winlayer/win_app.h"

// The application: start-up runs the main dialog and ends when it closes.
class CProgrammerApp : public MessageMapped<CProgrammerApp, CWinApp> {
 public:
  CProgrammerApp() = default;

  // Runs the main dialog on the COM ports the user chose (COM1 and COM2
  // unless told otherwise) and returns FALSE: the process ends when the
  // dialog does.
  BOOL InitInstance() override;

  static const MessageMap messageMap;
};
