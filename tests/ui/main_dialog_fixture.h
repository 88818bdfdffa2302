#pragma once
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "banner/pause.h"
#include "res/resource.h"
#include "sim/fake_clock.h"
#include "sim/korvel_unit.h"
#include "sim/sim_bus.h"
#include "sim/sim_uart16550.h"
#include "tests/winlayer/modal_script.h"
#include "ui/port_leads.h"
#include "ui/programmer_dialog.h"
#include "winlayer/win_app.h"

// Where the port buttons lead, kept in memory: each choice kept, in order.
class KeptPortLeads : public PortLeads {
 public:
  PortChoice Choice() const override { return choice; }
  bool Keep(const PortChoice& wanted, unsigned long* systemCode) override {
    if (refusal != 0) {
      *systemCode = refusal;
      return false;
    }
    choice = wanted;
    kept.push_back(wanted);
    return true;
  }
  std::string KeptIn() const override { return "C:\\users\\op\\korvel.ini"; }

  PortChoice choice;
  std::vector<PortChoice> kept;
  unsigned long refusal = 0;  // the system's error for every Keep, when not 0
};

// The main dialog run modally on the test's thread and driven from a second
// one, with a simulated UART and unit on COM1 and on COM2.
class MainDialogTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_PROGRESS_CLASS};
    ::InitCommonControlsEx(&controls);
  }

  MainDialogTest() {
    bus_.Attach(0x3F8, uart1_);
    bus_.Attach(0x2F8, uart2_);
    app_.m_pMainWnd = &dialog_;
  }

  INT_PTR Run(const std::function<void(HWND)>& script) {
    return RunScripted(dialog_, "KORVEL programmer", script);
  }

  // Each wait on the line moves this clock on, so a unit that never answers
  // runs out of time without real waiting.
  FakeClock clock_{1};
  SystemTimeOfDay timeOfDay_;
  KorvelUnit com1_, com2_;
  SimUart16550 uart1_{com1_, &clock_}, uart2_{com2_, &clock_};
  SimBus bus_;
  CWinApp app_;
  KeptPortLeads leads_;
  CProgrammerDialog dialog_{bus_, clock_, timeOfDay_, leads_};
};

inline std::vector<std::uint8_t> Bytes(const std::string& text) {
  return std::vector<std::uint8_t>(text.begin(), text.end());
}
// The frame every run sends first.
inline std::vector<std::uint8_t> BlankFrameBytes() {
  return Bytes(std::string(28, ' ') + "\r\n" + std::string(28, ' ') + "\r\n\x1A");
}
