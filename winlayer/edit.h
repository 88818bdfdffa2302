#pragma once
#include "winlayer/wnd.h"

// An edit control object; bound to a dialog's edit with DDX_Control.
class CEdit : public CWnd {};
