#pragma once
#include <windows.h>

#include "winlayer/cmd_target.h"
#include "winlayer/wnd.h"

// The application object. There is one per process; it registers itself when
// constructed, and start-up calls its InitInstance.
class CWinApp : public CCmdTarget {
 public:
  CWinApp();
  ~CWinApp() override;

  // Returns whether the application goes on after start-up.
  virtual BOOL InitInstance();

  // The window that owns the application's dialogs and message boxes.
  CWnd* m_pMainWnd = nullptr;

  static CWinApp* Current();

 protected:
  // The application has no help content; the help command changes nothing.
  void OnHelp();
};
