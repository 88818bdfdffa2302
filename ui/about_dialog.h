#pragma once
#include "winlayer/dialog.h"

// The About box, opened from the main dialog's system menu.
class CAboutDialog : public CDialog {
 public:
  explicit CAboutDialog(CWnd* parent = nullptr);

 protected:
  void DoDataExchange(CDataExchange* pDX) override;
};
