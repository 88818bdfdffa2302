#pragma once
#include "winlayer/dialog.h"

// The About box, opened from the main dialog's system menu.
class CAboutDialog : public CDialog {
 public:
  explicit CAboutDialog(CWnd* parent = nullptr);

  const MessageMap* GetMessageMap() const override;
  static const MessageMap messageMap;

 protected:
  void DoDataExchange(CDataExchange* pDX) override;
};
