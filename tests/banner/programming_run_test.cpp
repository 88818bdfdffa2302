#include "banner/programming_run.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "banner/pause.h"

namespace {

std::string SendCall(int byte) {
  char text[16];
  std::snprintf(text, sizeof text, "send %02X", static_cast<unsigned>(byte));
  return text;
}

std::string ProgressCall(int position) { return "progress " + std::to_string(position); }

// Writes down every call in order; the send numbered fail_at (0 = the run's
// first byte) fails with failure.
class RecordingOps : public ProgrammerOps {
 public:
  explicit RecordingOps(std::string text, int fail_at = -1,
                        SendStatus failure = SendStatus::kSent)
      : text_(std::move(text)), fail_at_(fail_at), failure_(failure) {}

  void InitPort() override { calls.push_back("init"); }
  SendStatus SendByte(int byte) override {
    calls.push_back(SendCall(byte));
    return sends_++ == fail_at_ ? failure_ : SendStatus::kSent;
  }
  void Delay() override { calls.push_back("delay"); }
  std::string ReadMessageText() override {
    calls.push_back("read");
    return text_;
  }
  void SetProgress(int position) override { calls.push_back(ProgressCall(position)); }

  int Count(const std::string& prefix) const {
    return static_cast<int>(std::count_if(calls.begin(), calls.end(), [&](const std::string& call) {
      return call.rfind(prefix, 0) == 0;
    }));
  }

  std::vector<std::string> calls;

 private:
  std::string text_;
  int sends_ = 0;
  int fail_at_;
  SendStatus failure_;
};

TEST(ProgrammingRunTest, BlankFramePauseTextMessageFrameWithTheBarAfterEachByte) {
  // A SUB at 10 ends the message phase after 11 bytes, the bar at 35.
  const std::string message = "\xC4" "123456789\x1A";
  RecordingOps ops(message + "never sent");
  ASSERT_TRUE(RunProgramming(ops).ok());

  const std::string blank = std::string(28, ' ') + "\r\n" + std::string(28, ' ') + "\r\n\x1A";
  std::vector<std::string> expected = {"init"};
  for (int i = 0; i < 61; ++i) {
    expected.push_back(SendCall(static_cast<unsigned char>(blank[i])));
    expected.push_back(ProgressCall(i / 2));  // 0, 0, 1, 1, ... 30
  }
  expected.push_back("delay");
  expected.push_back("read");
  for (int i = 0; i < 11; ++i) {
    expected.push_back(SendCall(static_cast<unsigned char>(message[i])));
    expected.push_back(ProgressCall(30 + i / 2));
  }
  expected.push_back(ProgressCall(0));
  EXPECT_EQ(ops.calls, expected);
}

TEST(ProgrammingRunTest, AWholeMessageFrameTakesTheBarTo60) {
  RecordingOps ops("");
  ASSERT_TRUE(RunProgramming(ops).ok());
  EXPECT_EQ(ops.Count("send"), 122);
  const std::vector<std::string> tail(ops.calls.end() - 3, ops.calls.end());
  EXPECT_EQ(tail, (std::vector<std::string>{"send 1A", "progress 60", "progress 0"}));
}

struct FailureCase {
  int send_number;  // counted over the whole run
  SendStatus status;
  RunPhase phase;
  int position;
};

class ProgrammingRunFailureTest : public ::testing::TestWithParam<FailureCase> {};

TEST_P(ProgrammingRunFailureTest, StopsAtTheFailingByteAndSaysWhere) {
  const FailureCase& c = GetParam();
  RecordingOps ops("MESSAGE", c.send_number, c.status);
  const RunResult result = RunProgramming(ops);
  EXPECT_EQ(result.status, c.status);
  EXPECT_EQ(result.phase, c.phase);
  EXPECT_EQ(result.position, c.position);

  // Nothing after the failing byte but the bar going back to 0.
  EXPECT_EQ(ops.Count("send"), c.send_number + 1);
  EXPECT_EQ(ops.calls.back(), "progress 0");
  EXPECT_EQ(ops.calls[ops.calls.size() - 2].rfind("send", 0), 0u);
  EXPECT_EQ(ops.Count("read"), c.phase == RunPhase::kMessage ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(
    BothPhases, ProgrammingRunFailureTest,
    ::testing::Values(FailureCase{0, SendStatus::kNoAnswer, RunPhase::kBlank, 0},
                      FailureCase{60, SendStatus::kNoCts, RunPhase::kBlank, 60},
                      FailureCase{61, SendStatus::kPortMissing, RunPhase::kMessage, 0},
                      FailureCase{61 + 60, SendStatus::kTransmitterStuck, RunPhase::kMessage, 60}));

TEST(DelayTest, ReadsTheClockOnceThen10000MoreTimes) {
  struct CountingClock : TimeOfDaySource {
    TimeOfDay Now() override { return TimeOfDay{++readings, 0}; }  // never the same twice
    int readings = 0;
  } clock;
  Delay(clock);
  EXPECT_EQ(clock.readings, 10001);
}

}  // namespace
