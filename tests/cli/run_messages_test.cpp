#include "cli/run_messages.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>

namespace {

bool Has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// A silent unit, a missing or busy port and a hang-up are korvel_program_test's,
// through the program; here what a pseudo-terminal cannot bring about.
TEST(RunMessagesTest, AFailedRunNamesTheWaitTheFrameAndTheByte) {
  const RunResult in_message{SendStatus::kNoCts, RunPhase::kMessage, 12};
  EXPECT_EQ(RunPlace(in_message, 14), "byte 13 of 14 of the message frame");

  const struct {
    SendStatus status;
    std::string says;
  } cases[] = {
      {SendStatus::kNoCts, "did not signal that it was ready (CTS) within 3 s, at byte 13"},
      {SendStatus::kTransmitterStuck, "COM3 did not finish sending byte 13 of 14"},
      {SendStatus::kReceiverFlooded, "kept sending for 3 s without a pause, before byte 13"},
  };
  for (const auto& c : cases) {
    const std::string text =
        UnitProblemText("COM3", RunResult{c.status, RunPhase::kMessage, 12}, 14);
    EXPECT_TRUE(Has(text, c.says)) << text;
    EXPECT_TRUE(Has(text, "Check the cable and the unit's power")) << text;
  }
}

TEST(RunMessagesTest, APortProblemNamesTheDeviceAndWhatToDo) {
  const std::string port = "/dev/korvel-test-port";
  const std::string denied = PortProblemText(port, port, {PortProblem::kAccessDenied, EACCES}, "");
  EXPECT_TRUE(Has(denied, "no permission to open " + port)) << denied;
  const std::string other = PortProblemText(port, port, {PortProblem::kOther, 0}, "");
  EXPECT_TRUE(Has(other, port + " could not be opened")) << other;
  EXPECT_EQ(ProgrammedText("COM3", 14),
            "COM3: programmed, blank frame 61 bytes and message frame 14 bytes, each answered");
}

}  // namespace
