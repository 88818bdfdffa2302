#include "ui/message_edit.h"

#include "banner/typed_text.h"

const CMessageEdit::MessageMap CMessageEdit::messageMap = {
    On::Char(&CMessageEdit::OnChar),
};

void CMessageEdit::OnChar(UINT nChar, UINT nRepCnt, UINT nFlags) {
  switch (ActionForTypedKey(nChar)) {
    case TypedKeyAction::kInsert:
      // Enter makes a line break while another line fits; the control itself
      // refuses it on its last line.
      DefWindowProcA(WM_CHAR, nChar, MAKELPARAM(nRepCnt, nFlags));
      break;
    case TypedKeyAction::kErase:
      Default();
      break;
    case TypedKeyAction::kDrop:
      break;
  }
}
