#include "cli/run_messages.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>

namespace {

bool Has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

TEST(RunMessagesTest, AFailedRunNamesTheWaitTheFrameAndTheByte) {
  const RunResult in_blank{SendStatus::kNoAnswer, RunPhase::kBlank, 0};
  EXPECT_EQ(RunPlace(in_blank, 61), "byte 1 of 61 of the blank frame");
  const RunResult in_message{SendStatus::kNoCts, RunPhase::kMessage, 12};
  EXPECT_EQ(RunPlace(in_message, 14), "byte 13 of 14 of the message frame");

  const struct {
    SendStatus status;
    std::string says;
  } cases[] = {
      {SendStatus::kNoAnswer, "the unit on COM3 did not answer byte 13 of 14 of the message frame "
                              "within 3 s."},
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
  const struct {
    PortError error;
    std::string place, says;
  } cases[] = {
      {{PortProblem::kNoSuchPort, ENOENT}, "",
       port + " does not exist. Is the adapter plugged in?"},
      {{PortProblem::kInUse, EBUSY}, "", port + " is in use by another program"},
      {{PortProblem::kAccessDenied, EACCES}, "", "no permission to open " + port},
      {{PortProblem::kWentAway, EIO}, "byte 7 of 61 of the blank frame",
       port + " stopped working during the run, at byte 7 of 61 of the blank frame"},
      {{PortProblem::kOther, 0}, "", port + " could not be opened"},
  };
  for (const auto& c : cases) {
    const std::string text = PortProblemText(port, port, c.error, c.place);
    EXPECT_TRUE(Has(text, c.says)) << text;
  }
  EXPECT_EQ(ProgrammedText("COM3", 14),
            "COM3: programmed, blank frame 61 bytes and message frame 14 bytes, each answered");
}

}  // namespace
