// What the operator reads when a run stops, as the string table words it.
#include "ui/run_failure_text.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "winlayer/resource_text.h"

namespace {

TEST(RunFailureTextTest, EachWayARunStopsHasItsOwnTextNamingThePort) {
  const std::string again = " Check the cable and the unit's power, then press Program again.";
  const struct {
    SendStatus status;
    PortError error;
    std::string text;
  } cases[] = {
      {SendStatus::kNoAnswer, {}, "The unit on COM1 did not answer." + again},
      {SendStatus::kNoCts, {}, "The unit on COM1 did not signal that it was ready." + again},
      {SendStatus::kTransmitterStuck, {}, "COM1 did not finish sending." + again},
      {SendStatus::kReceiverFlooded, {}, "The unit on COM1 kept sending without a pause." + again},
      {SendStatus::kPortMissing, {PortProblem::kNoSuchPort, ERROR_FILE_NOT_FOUND},
       "There is no COM1 on this computer. Check the port's number in Device Manager (Ports), "
       "or choose the other port."},
      {SendStatus::kPortMissing, {PortProblem::kInUse, ERROR_BUSY},
       "COM1 is in use by another program. Close that program, then press Program again."},
      {SendStatus::kPortMissing, {PortProblem::kAccessDenied, ERROR_ACCESS_DENIED},
       "Access to COM1 was denied. Another program may be holding it, or you may not be "
       "allowed to use it."},
      {SendStatus::kPortMissing, {PortProblem::kWentAway, ERROR_INVALID_HANDLE},
       "COM1 went away during the run. If it is a USB adapter, plug it in again, then press "
       "Program again."},
      {SendStatus::kPortMissing, {},
       "COM1 could not be opened, or was disconnected. Check that the port exists and that no "
       "other program is using it."},
  };
  std::set<std::string> seen;
  for (const auto& c : cases) {
    const std::string text = RunFailureText(1, c.status, c.error);
    EXPECT_EQ(text, c.text);
    EXPECT_TRUE(seen.insert(text).second) << "said twice: " << text;
  }
  EXPECT_EQ(RunFailureText(1, SendStatus::kSent, {}), "");
}

TEST(RunFailureTextTest, AnyOtherReasonIsGivenInTheSystemsOwnWordsForThePortRun) {
  const std::string words = SystemErrorText(ERROR_INVALID_PARAMETER);
  ASSERT_FALSE(words.empty());
  EXPECT_EQ(words.find("error 0x"), std::string::npos) << "the system has words for it";
  EXPECT_EQ(RunFailureText(2, SendStatus::kPortMissing,
                           {PortProblem::kOther, ERROR_INVALID_PARAMETER}),
            "COM2 could not be opened: " + words);
  // Port index 0 (none chosen yet) is COM1's, as the driver takes it.
  EXPECT_EQ(RunFailureText(0, SendStatus::kNoAnswer, {}), RunFailureText(1, SendStatus::kNoAnswer, {}));
}

}  // namespace
