#include "ui/message_edit.h"

const MessageMap CMessageEdit::messageMap = {&CEdit::messageMap, nullptr, 0};

const MessageMap* CMessageEdit::GetMessageMap() const { return &messageMap; }
