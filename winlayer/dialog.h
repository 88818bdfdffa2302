#pragma once
#include <windows.h>

#include "winlayer/message_map.h"
#include "winlayer/wnd.h"

// One run of a dialog's data exchange: the dialog whose controls are bound.
class CDataExchange {
 public:
  explicit CDataExchange(CWnd* dialog) : m_pDlgWnd(dialog) {}
  CWnd* m_pDlgWnd;
};

// Attaches a control object to the dialog's control with this id, the first
// time the exchange runs; the object then takes the control's messages.
void DDX_Control(CDataExchange* pDX, int id, CWnd& control);

// A modal dialog built on a template of the executable's resources.
// Ending it: the commands IDOK and IDCANCEL (EXIT, Esc, Enter, the close box).
// Help (F1) becomes the command ID_HELP; a command no window handles goes on
// to the application object.
class CDialog : public MessageMapped<CDialog, CWnd> {
 public:
  // With no parent the dialog is owned by the application's main window,
  // which takes no input while the dialog is open.
  explicit CDialog(UINT templateId, CWnd* parent = nullptr);

  // Shows the dialog, centred, and returns the code it was ended with, or -1
  // when it could not be created.
  virtual INT_PTR DoModal();
  void EndDialog(int result);

  static const MessageMap messageMap;

 protected:
  virtual void DoDataExchange(CDataExchange* pDX);
  // Runs the data exchange, binding the control objects. TRUE lets the system
  // put the focus on the first tab stop.
  virtual BOOL OnInitDialog();
  virtual void OnOK();
  virtual void OnCancel();
  BOOL OnHelpInfo(HELPINFO* info);

  bool OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

 private:
  static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  HWND OwnerForModal() const;

  UINT m_templateId;
  CWnd* m_pParentWnd;
};
