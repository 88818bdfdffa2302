#include "banner/programming_run.h"

#include <gtest/gtest.h>

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
struct RecordingOps : ProgrammerOps {
  RecordingOps(std::string text, int fail_at = -1, SendStatus failure = SendStatus::kSent)
      : text(std::move(text)), fail_at(fail_at), failure(failure) {}

  void InitPort() override { calls.push_back("init"); }
  SendStatus SendByte(int byte) override {
    calls.push_back(SendCall(byte));
    return sends++ == fail_at ? failure : SendStatus::kSent;
  }
  void Delay() override { calls.push_back("delay"); }
  std::string ReadMessageText() override {
    calls.push_back("read");
    return text;
  }
  void SetProgress(int position) override { calls.push_back(ProgressCall(position)); }

  std::vector<std::string> calls;
  std::string text;
  int sends = 0, fail_at;
  SendStatus failure;
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

TEST(ProgrammingRunTest, StopsAtTheFailingByteAndSaysWhere) {
  const struct {
    int send_number;  // counted over the whole run
    SendStatus status;
    RunPhase phase;
    int position;
  } cases[] = {{0, SendStatus::kNoAnswer, RunPhase::kBlank, 0},
               {60, SendStatus::kNoCts, RunPhase::kBlank, 60},
               {61, SendStatus::kPortMissing, RunPhase::kMessage, 0},
               {61 + 60, SendStatus::kTransmitterStuck, RunPhase::kMessage, 60}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.send_number);
    RecordingOps ops("MESSAGE", c.send_number, c.status);
    const RunResult result = RunProgramming(ops);
    EXPECT_EQ(result.status, c.status);
    EXPECT_EQ(result.phase, c.phase);
    EXPECT_EQ(result.position, c.position);
    // Nothing after the failing byte but the bar going back to 0.
    EXPECT_EQ(ops.sends, c.send_number + 1);
    ASSERT_GE(ops.calls.size(), 2u);
    EXPECT_EQ(ops.calls.back(), "progress 0");
    EXPECT_EQ(ops.calls[ops.calls.size() - 2].rfind("send", 0), 0u);
  }
}

TEST(DelayTest, ReadsTheClockOnceThen10000MoreTimes) {
  struct CountingClock : TimeOfDaySource {
    TimeOfDay Now() override { return TimeOfDay{++readings, 0}; }  // never the same twice
    int readings = 0;
  } clock;
  Delay(clock);
  EXPECT_EQ(clock.readings, 10001);
}

}  // namespace
