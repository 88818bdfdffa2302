#include <gtest/gtest.h>

#include "app/programmer_app.h"
#include "ui/command_ids.h"

namespace {

TEST(ProgrammerAppTest, IsTheApplicationOnceConstructed) {
  CProgrammerApp app;
  EXPECT_EQ(CWinApp::Current(), &app);
  EXPECT_EQ(app.m_pMainWnd, nullptr);
}

TEST(ProgrammerAppTest, TakesTheHelpCommandAndNoOther) {
  CProgrammerApp app;
  LRESULT result = -1;
  EXPECT_TRUE(app.DispatchMessageMap(WM_COMMAND, MAKEWPARAM(ID_HELP, 0), 0, &result));
  EXPECT_EQ(result, 0);
  EXPECT_FALSE(app.DispatchMessageMap(WM_COMMAND, MAKEWPARAM(IDOK, 0), 0, nullptr));
  EXPECT_FALSE(app.DispatchMessageMap(WM_COMMAND, MAKEWPARAM(ID_HELP, EN_CHANGE), 0, nullptr));
}

}  // namespace
