#include "ui/about_dialog.h"

#include "res/resource.h"

CAboutDialog::CAboutDialog(CWnd* parent) : CDialog(IDD_ABOUT, parent) {}

void CAboutDialog::DoDataExchange(CDataExchange* pDX) { CDialog::DoDataExchange(pDX); }
