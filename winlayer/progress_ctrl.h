#pragma once
#include <windows.h>

#include "winlayer/wnd.h"

// A progress bar object; bound to a dialog's progress bar with DDX_Control.
class CProgressCtrl : public CWnd {
 public:
  void SetRange(short lower, short upper);
  int SetPos(int position);  // gives the previous position
};
