#include "app/programmer_app.h"

#include <commctrl.h>

#include "banner/pause.h"
#include "serial/comm_port_io.h"
#include "serial/monotonic_clock.h"
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

  CommPortIo ports;
  SteadyClock clock;
  SystemTimeOfDay timeOfDay;
  CProgrammerDialog dialog(ports, clock, timeOfDay);
  m_pMainWnd = &dialog;
  dialog.DoModal();
  m_pMainWnd = nullptr;
  return FALSE;
}
