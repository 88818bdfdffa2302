#pragma once
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "banner/pause.h"
#include "sim/fake_clock.h"
#include "sim/korvel_unit.h"
#include "sim/sim_bus.h"
#include "sim/sim_uart16550.h"
#include "tests/ui/modal_script.h"
#include "ui/programmer_dialog.h"
#include "ui/win_app.h"

// The main dialog run modally on the test's thread and driven from a second
// one, with a simulated UART and a healthy unit on COM1.
class MainDialogTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_PROGRESS_CLASS};
    ::InitCommonControlsEx(&controls);
  }

  MainDialogTest() : uart_(unit_, &clock_) {
    bus_.Attach(0x3F8, uart_);
    dialog_ = std::make_unique<CProgrammerDialog>(bus_, clock_, timeOfDay_);
    app_.m_pMainWnd = dialog_.get();
  }

  INT_PTR Run(const std::function<void(HWND)>& script) {
    return RunScripted(*dialog_, "KORVEL programmer", script);
  }

  CProgrammerDialog& Dialog() { return *dialog_; }
  KorvelUnit& Unit() { return unit_; }

 private:
  FakeClock clock_{1};
  SystemTimeOfDay timeOfDay_;
  KorvelUnit unit_;
  SimUart16550 uart_;
  SimBus bus_;
  CWinApp app_;
  std::unique_ptr<CProgrammerDialog> dialog_;
};
