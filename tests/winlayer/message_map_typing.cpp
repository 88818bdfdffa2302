// Compiled once per case by check_message_map_typing.py: "fitting" must
// compile; every other case writes a map entry that does not fit its message
// or its class, or a class that takes another class's map, and must fail to
// compile on its own line.
#include "winlayer/message_map.h"

class HandlersBase : public CCmdTarget {
 public:
  void OnBaseClick() {}
};

class Handlers : public MessageMapped<Handlers, HandlersBase> {
 public:
  static const MessageMap messageMap;

  void OnClick() {}
  void OnSysCommand(UINT, LPARAM) {}
  HCURSOR OnQueryDragIcon() { return nullptr; }
  void OnNotify(NMHDR*, LRESULT*) {}
  void OnChar(UINT, UINT, UINT) {}
  BOOL OnHelpInfo(HELPINFO*) { return TRUE; }
};

using Map = Handlers::MessageMap;

// A command target of its own, with a handler of the right shape.
class Stranger : public CCmdTarget {
 public:
  void OnClick() {}
};

#if defined(CASE_fitting)
const Map Handlers::messageMap = {
    On::Command(1, &Handlers::OnClick),
    On::Command(2, &Handlers::OnBaseClick),
    On::Notify(NM_OUTOFMEMORY, 2, &Handlers::OnNotify),
    On::SysCommand(&Handlers::OnSysCommand),
    On::Paint(&Handlers::OnClick),
    On::QueryDragIcon(&Handlers::OnQueryDragIcon),
    On::Char(&Handlers::OnChar),
    On::Help(&Handlers::OnHelpInfo),
};
Handlers handlers;  // an object, so that the dispatch is compiled too
#elif defined(CASE_paint_with_a_system_command_handler)
const Map Handlers::messageMap = {On::Paint(&Handlers::OnSysCommand)};  // error here
#elif defined(CASE_command_with_parameters)
const Map Handlers::messageMap = {On::Command(1, &Handlers::OnChar)};  // error here
#elif defined(CASE_notify_without_header)
const Map Handlers::messageMap = {On::Notify(NM_OUTOFMEMORY, 2, &Handlers::OnClick)};  // error here
#elif defined(CASE_drag_icon_without_cursor)
const Map Handlers::messageMap = {On::QueryDragIcon(&Handlers::OnClick)};  // error here
#elif defined(CASE_char_with_two_parameters)
const Map Handlers::messageMap = {On::Char(&Handlers::OnSysCommand)};  // error here
#elif defined(CASE_help_returning_nothing)
const Map Handlers::messageMap = {On::Help(&Handlers::OnClick)};  // error here
#elif defined(CASE_handler_of_another_class)
const Map Handlers::messageMap = {On::Command(1, &Stranger::OnClick)};  // error here
#elif defined(CASE_map_of_another_class)
class Impostor : public MessageMapped<Handlers, HandlersBase> {} impostor;  // error here
#elif defined(CASE_row_spelt_out)
const MessageMapEntry<Handlers> entry{{WM_PAINT, 0, 0, 0}, &Handlers::OnClick};  // error here
#endif
