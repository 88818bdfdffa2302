// What the operator reads when a run stops, as the string table words it.
#include "ui/run_failure_text.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "serial/port_error.h"

namespace {

RunResult Ended(RunOutcome outcome, int system_code = 0) {
  RunResult result;
  result.outcome = outcome;
  result.system_code = system_code;
  return result;
}

TEST(RunFailureTextTest, EachWayARunStopsHasItsOwnTextNamingThePort) {
  // Any COM port a button leads to, as the operator knows it.
  const std::string again = " Check the cable and the unit's power, then press Program again.";
  const struct {
    RunResult result;
    std::string text;
  } cases[] = {
      {Ended(RunOutcome::kNoAnswer), "The unit on COM12 did not answer." + again},
      {Ended(RunOutcome::kNoCts), "The unit on COM12 did not signal that it was ready." + again},
      {Ended(RunOutcome::kTransmitterStuck), "COM12 did not finish sending." + again},
      {Ended(RunOutcome::kReceiverFlooded),
       "The unit on COM12 kept sending without a pause." + again},
      {Ended(RunOutcome::kNoSuchPort, ERROR_FILE_NOT_FOUND),
       "There is no COM12 on this computer. Check the port's number in Device Manager (Ports), "
       "or choose the other port."},
      {Ended(RunOutcome::kPortInUse, ERROR_BUSY),
       "COM12 is in use by another program. Close that program, then press Program again."},
      {Ended(RunOutcome::kPortAccessDenied, ERROR_ACCESS_DENIED),
       "Access to COM12 was denied. Another program may be holding it, or you may not be "
       "allowed to use it."},
      {Ended(RunOutcome::kPortWentAway, ERROR_INVALID_HANDLE),
       "COM12 went away during the run. If it is a USB adapter, plug it in again, then press "
       "Program again."},
      {Ended(RunOutcome::kPortFailed),
       "COM12 could not be opened, or was disconnected. Check that the port exists and that no "
       "other program is using it."},
  };
  std::set<std::string> seen;
  for (const auto& c : cases) {
    const std::string text = RunFailureText("COM12", c.result);
    EXPECT_EQ(text, c.text);
    EXPECT_TRUE(seen.insert(text).second) << "said twice: " << text;
  }
  EXPECT_EQ(RunFailureText("COM12", RunResult{}), "");
}

TEST(RunFailureTextTest, AnyOtherReasonIsGivenInTheSystemsOwnWordsForThePortRun) {
  const std::string words = SystemErrorText(ERROR_INVALID_PARAMETER);
  ASSERT_FALSE(words.empty());
  EXPECT_EQ(words.find("error 0x"), std::string::npos) << "the system has words for it";
  EXPECT_NE(words.back(), '.') << "one clause, the sentence is the string table's";
  EXPECT_EQ(RunFailureText("COM2", Ended(RunOutcome::kPortFailed, ERROR_INVALID_PARAMETER)),
            "COM2 could not be opened: " + words + ".");
}

TEST(RunFailureTextTest, EachPortIndexIsNamedAfterThePortItsButtonLeadsTo) {
  PortChoice leads;
  EXPECT_EQ(PortName(1, leads), "COM1");
  EXPECT_EQ(PortName(2, leads), "COM2");
  leads.port1 = "COM5";
  leads.port2 = "COM10";
  EXPECT_EQ(PortName(1, leads), "COM5");
  EXPECT_EQ(PortName(2, leads), "COM10");
  // Port index 0 (none chosen yet) is Port 1's, as the driver takes it.
  EXPECT_EQ(PortName(0, leads), "COM5");
}

}  // namespace
