#include "ui/message_edit.h"

#include "banner/typed_text.h"

const CMessageEdit::MessageMap CMessageEdit::messageMap = {
    On::Char(&CMessageEdit::OnChar),
};

void CMessageEdit::OnChar(UINT nChar, UINT nRepCnt, UINT nFlags) {
  switch (ActionForTypedKey(nChar, TypingPlaceNow())) {
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

TypingPlace CMessageEdit::TypingPlaceNow() const {
  DWORD start = 0, end = 0;
  SendMessageA(EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  const auto line_begins = [this](DWORD at) {
    const auto line = static_cast<WPARAM>(SendMessageA(EM_LINEFROMCHAR, at));
    return static_cast<std::size_t>(SendMessageA(EM_LINEINDEX, line));
  };
  TypingPlace place;
  place.selection_start = start;
  place.selection_end = end;
  place.start_line_begins = line_begins(start);
  place.end_line_begins = line_begins(end);
  place.end_line_length = static_cast<std::size_t>(SendMessageA(EM_LINELENGTH, end));
  return place;
}
