#pragma once
#include "ui/edit.h"

// The message edit of the main dialog. Its message map is where its own
// handling of typed characters goes; until then every message takes the
// edit control's ordinary way.
class CMessageEdit : public CEdit {
 public:
  const MessageMap* GetMessageMap() const override;
  static const MessageMap messageMap;
};
