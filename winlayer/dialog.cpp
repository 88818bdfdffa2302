#include "winlayer/dialog.h"

#include "winlayer/command_ids.h"
#include "winlayer/win_app.h"

void DDX_Control(CDataExchange* pDX, int id, CWnd& control) {
  if (control.m_hWnd != nullptr) return;
  HWND item = ::GetDlgItem(pDX->m_pDlgWnd->m_hWnd, id);
  if (item != nullptr) control.SubclassWindow(item);
}

const CDialog::MessageMap CDialog::messageMap = {
    On::Command(IDOK, &CDialog::OnOK),
    On::Command(IDCANCEL, &CDialog::OnCancel),
    On::Help(&CDialog::OnHelpInfo),
};

CDialog::CDialog(UINT templateId, CWnd* parent)
    : m_templateId(templateId), m_pParentWnd(parent) {}

HWND CDialog::OwnerForModal() const {
  if (m_pParentWnd != nullptr && m_pParentWnd->m_hWnd != nullptr) return m_pParentWnd->m_hWnd;
  CWinApp* app = CWinApp::Current();
  if (app == nullptr || app->m_pMainWnd == nullptr || app->m_pMainWnd == this) return nullptr;
  HWND main = app->m_pMainWnd->m_hWnd;
  return main != nullptr && ::IsWindow(main) ? main : nullptr;
}

INT_PTR CDialog::DoModal() {
  return ::DialogBoxParamA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(m_templateId),
                           OwnerForModal(), &CDialog::DialogProc,
                           reinterpret_cast<LPARAM>(this));
}

// The dialog manager's hook. Only the first message matters: the window is
// then handed to the object, whose own procedure sees every later message
// first; whatever it passes on comes back here and is left to the dialog
// manager.
INT_PTR CALLBACK CDialog::DialogProc(HWND hwnd, UINT message, WPARAM, LPARAM lParam) {
  if (message != WM_INITDIALOG) return FALSE;
  auto* dialog = reinterpret_cast<CDialog*>(lParam);
  if (dialog == nullptr || !dialog->SubclassWindow(hwnd)) return TRUE;
  dialog->CenterWindow();
  return dialog->OnInitDialog();
}

void CDialog::EndDialog(int result) { ::EndDialog(m_hWnd, result); }

void CDialog::DoDataExchange(CDataExchange*) {}

BOOL CDialog::OnInitDialog() {
  CDataExchange exchange(this);
  DoDataExchange(&exchange);
  return TRUE;
}

// The controls were bound when the dialog opened; there is nothing to take
// back from them.
void CDialog::OnOK() { EndDialog(IDOK); }

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

BOOL CDialog::OnHelpInfo(HELPINFO*) {
  SendMessageA(WM_COMMAND, ID_HELP, 0);
  return TRUE;
}

bool CDialog::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  if (CWnd::OnWndMsg(message, wParam, lParam, result)) return true;
  if (message != WM_COMMAND) return false;
  CWinApp* app = CWinApp::Current();
  return app != nullptr && app->DispatchMessageMap(message, wParam, lParam, result);
}
