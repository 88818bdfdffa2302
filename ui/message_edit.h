#pragma once
#include <windows.h>

#include "banner/typed_text.h"
#include "winlayer/edit.h"
#include "winlayer/message_map.h"

// The message edit of the main dialog. Typed characters reach the control only
// when they are printable ASCII, Enter or Backspace, and a character only while
// its line stays within the 28 the unit shows; everything else typed is
// dropped, the keyboard's copy, paste, cut and undo characters among them.
// Keys that type no character, and text put in without typing (pasting from
// the context menu, a loaded file), are not filtered.
class CMessageEdit : public MessageMapped<CMessageEdit, CEdit> {
 public:
  static const MessageMap messageMap;

 protected:
  void OnChar(UINT nChar, UINT nRepCnt, UINT nFlags);

 private:
  // The selection a key typed now replaces, and its lines, as the control has them.
  TypingPlace TypingPlaceNow() const;
};
