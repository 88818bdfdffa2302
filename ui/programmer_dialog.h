#pragma once
#include <windows.h>

#include <cstdint>
#include <string>

#include "banner/pause.h"
#include "banner/programming_run.h"
#include "serial/monotonic_clock.h"
#include "serial/port_io.h"
#include "serial/uart_driver.h"
#include "ui/message_edit.h"
#include "ui/port_leads.h"
#include "winlayer/dialog.h"
#include "winlayer/progress_ctrl.h"

// Where the icon goes in a minimised window's client area: centred, with the
// odd pixel going right and down (the sums are divided rounding toward zero).
POINT MinimisedIconOrigin(int clientWidth, int clientHeight, int iconWidth, int iconHeight);

// The main dialog: choose a port, type the message, program the unit.
class CProgrammerDialog : public MessageMapped<CProgrammerDialog, CDialog>,
                          private RunObserver, private AnswerWaitWork {
 public:
  // The serial line is reached through io; the clocks time its waits and the
  // pause between the two frames. leads says which COM port each port button
  // leads to, and changes it from the ports dialog.
  CProgrammerDialog(PortIo& io, MonotonicClock& clock, TimeOfDaySource& timeOfDay,
                    PortLeads& leads, CWnd* parent = nullptr);

  // The message text as last loaded or read for a run, and the chosen port
  // (0 none yet, 1 Port 1, 2 Port 2).
  const std::string& message() const { return m_message; }
  std::int32_t port() const { return m_port; }

  static const MessageMap messageMap;

 protected:
  void DoDataExchange(CDataExchange* pDX) override;
  BOOL OnInitDialog() override;

 private:
  void OnSysCommand(UINT nID, LPARAM lParam);
  void OnPaint();
  HCURSOR OnQueryDragIcon();
  void OnOutOfMemoryProgress(NMHDR* pNMHDR, LRESULT* pResult);
  void OnLoad();
  void OnProgram();
  void OnPort1();
  void OnPort2();

  void UpdateMessageText();

  // The bar during a run: each position is taken, and the bar given it while
  // the next byte is on the line.
  void BarAt(int position) override;
  void WhileAwaitingAnswer() override;
  void ShowProgress();

  MonotonicClock& m_clock;
  UartDriver m_driver;
  TimeOfDaySource& m_timeOfDay;
  PortLeads& m_leads;

  // During a run: the position the bar is yet to be given (-1 none), and
  // when the bar was last drawn.
  int m_barPending = -1;
  std::int64_t m_barDrawnMs = 0;

  std::string m_message;
  std::int32_t m_port = 0;
  CMessageEdit m_edit;
  CProgressCtrl m_progress;
  HICON m_hIcon;
};
