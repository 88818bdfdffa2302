#include "winlayer/progress_ctrl.h"

#include <commctrl.h>

void CProgressCtrl::SetRange(short lower, short upper) {
  SendMessageA(PBM_SETRANGE, 0, MAKELPARAM(lower, upper));
}

int CProgressCtrl::SetPos(int position) {
  return static_cast<int>(SendMessageA(PBM_SETPOS, static_cast<WPARAM>(position), 0));
}
