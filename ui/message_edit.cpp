#include "ui/message_edit.h"

#include "banner/typed_text.h"

namespace {

constexpr UINT kBackspace = 0x08;
constexpr UINT kEnter = 0x0D;

}  // namespace

const CMessageEdit::MessageMap CMessageEdit::messageMap = {
    On::Char(&CMessageEdit::OnChar),
};

void CMessageEdit::OnChar(UINT nChar, UINT nRepCnt, UINT nFlags) {
  // Enter makes a line break while another line fits; the control itself
  // refuses it on its last line.
  if ((nChar >= kFirstTypedCharacter && nChar <= kLastTypedCharacter) || nChar == kEnter) {
    DefWindowProcA(WM_CHAR, nChar, MAKELPARAM(nRepCnt, nFlags));
  }
  // One press, one deletion.
  if (nChar == kBackspace) Default();
}
