#include "ui/about_dialog.h"

#include "res/resource.h"

const MessageMap CAboutDialog::messageMap = {&CDialog::messageMap, nullptr, 0};

const MessageMap* CAboutDialog::GetMessageMap() const { return &messageMap; }

CAboutDialog::CAboutDialog(CWnd* parent) : CDialog(IDD_ABOUT, parent) {}

void CAboutDialog::DoDataExchange(CDataExchange* pDX) { CDialog::DoDataExchange(pDX); }
