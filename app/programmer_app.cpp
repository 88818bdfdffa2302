#include "app/programmer_app.h"

#include <commctrl.h>

#include "app/user_port_leads.h"
#include "banner/pause.h"
#include "serial/com_port_name.h"
#include "serial/comm_port_io.h"
#include "serial/monotonic_clock.h"
#include "serial/uart_registers.h"
#include "settings/port_choice_file.h"
#include "ui/programmer_dialog.h"
#include "winlayer/command_ids.h"

const CProgrammerApp::MessageMap CProgrammerApp::messageMap = {
    On::Command(ID_HELP, &CProgrammerApp::OnHelp),
};

BOOL CProgrammerApp::InitInstance() {
  // The main dialog's progress bar is a common control.
  INITCOMMONCONTROLSEX controls{};
  controls.dwSize = sizeof controls;
  controls.dwICC = ICC_PROGRESS_CLASS;
  ::InitCommonControlsEx(&controls);

  // Port 1 plays COM1's UART and Port 2 COM2's, each on the COM port the
  // user chose for it.
  const PortChoice choice = LoadPortChoice();
  CommPortIo ports({{uart::kCom1Base, ComPortDevice(choice.port1)},
                    {uart::kCom2Base, ComPortDevice(choice.port2)}});
  UserPortLeads leads(ports, choice);
  SteadyClock clock;
  SystemTimeOfDay timeOfDay;
  CProgrammerDialog dialog(ports, clock, timeOfDay, leads);
  m_pMainWnd = &dialog;
  dialog.DoModal();
  m_pMainWnd = nullptr;
  return FALSE;
}
