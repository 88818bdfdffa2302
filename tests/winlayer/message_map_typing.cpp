// Compiled once per case by check_message_map_typing.py: "fitting" must
// compile; every other case pairs a handler with a message it does not fit
// and must fail to compile on its own line.
#include "winlayer/cmd_target.h"

class Handlers : public CCmdTarget {
 public:
  void OnClick() {}
  void OnSysCommand(UINT, LPARAM) {}
  HCURSOR OnQueryDragIcon() { return nullptr; }
  void OnNotify(NMHDR*, LRESULT*) {}
  void OnChar(UINT, UINT, UINT) {}
  BOOL OnHelpInfo(HELPINFO*) { return TRUE; }
};

#if defined(CASE_fitting)
const MessageMapEntry entries[] = {
    On::Command(1, &Handlers::OnClick),
    On::Notify(NM_OUTOFMEMORY, 2, &Handlers::OnNotify),
    On::SysCommand(&Handlers::OnSysCommand),
    On::Paint(&Handlers::OnClick),
    On::QueryDragIcon(&Handlers::OnQueryDragIcon),
    On::Char(&Handlers::OnChar),
    On::Help(&Handlers::OnHelpInfo),
};
#elif defined(CASE_paint_with_a_system_command_handler)
const MessageMapEntry entry = On::Paint(&Handlers::OnSysCommand);  // error here
#elif defined(CASE_command_with_parameters)
const MessageMapEntry entry = On::Command(1, &Handlers::OnChar);  // error here
#elif defined(CASE_notify_without_header)
const MessageMapEntry entry = On::Notify(NM_OUTOFMEMORY, 2, &Handlers::OnClick);  // error here
#elif defined(CASE_drag_icon_without_cursor)
const MessageMapEntry entry = On::QueryDragIcon(&Handlers::OnClick);  // error here
#elif defined(CASE_char_with_two_parameters)
const MessageMapEntry entry = On::Char(&Handlers::OnSysCommand);  // error here
#elif defined(CASE_help_returning_nothing)
const MessageMapEntry entry = On::Help(&Handlers::OnClick);  // error here
#elif defined(CASE_row_spelt_out)
const MessageMapEntry entry{WM_PAINT, 0, 0, 0, MessageHandler()};  // error here
#endif
