#include "banner/programming_run.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "banner/frame.h"
#include "recording_ops.h"

namespace {

using Call = RecordingOps::Call;

std::vector<int> FrameBytes(const Frame& frame, int count) {
  return std::vector<int>(frame.begin(), frame.begin() + count);
}

// Progress after each of count bytes of a phase that starts at base.
std::vector<int> ExpectedProgress(int count, int base) {
  std::vector<int> progress;
  for (int i = 0; i < count; ++i) progress.push_back(i / 2 + base);
  return progress;
}

// The index of the first event of a kind, or -1.
int FirstIndexOf(const RecordingOps& ops, Call call) {
  const auto& events = ops.events();
  for (std::size_t i = 0; i < events.size(); ++i) {
    if (events[i].call == call) return static_cast<int>(i);
  }
  return -1;
}

TEST(ProgrammingRun, CallsHappenInTheirOrder) {
  RecordingOps ops("HI");
  const RunResult result = RunProgramming(ops);
  ASSERT_TRUE(result.ok());

  const auto& events = ops.events();
  ASSERT_FALSE(events.empty());
  EXPECT_EQ(events.front().call, Call::kInitPort);
  EXPECT_EQ(ops.CountOf(Call::kInitPort), 1);
  EXPECT_EQ(ops.CountOf(Call::kDelay), 1);
  EXPECT_EQ(ops.CountOf(Call::kReadMessageText), 1);

  // 61 blank bytes, each followed by its progress step, then the pause, then
  // the one read of the text, then the message bytes.
  const int delay = FirstIndexOf(ops, Call::kDelay);
  EXPECT_EQ(delay, 1 + 2 * kFrameSize);
  for (int i = 1; i < delay; i += 2) {
    EXPECT_EQ(events[i].call, Call::kSendByte) << "event " << i;
    EXPECT_EQ(events[i + 1].call, Call::kSetProgress) << "event " << i + 1;
  }
  EXPECT_EQ(events[delay + 1].call, Call::kReadMessageText);
  for (std::size_t i = delay + 2; i + 1 < events.size(); i += 2) {
    EXPECT_EQ(events[i].call, Call::kSendByte) << "event " << i;
    EXPECT_EQ(events[i + 1].call, Call::kSetProgress) << "event " << i + 1;
  }
  EXPECT_EQ(events.back().call, Call::kSetProgress);
  EXPECT_EQ(events.back().value, 0);
}

TEST(ProgrammingRun, SendsBlankFrameThenMessageFrame) {
  const std::string text = std::string(28, 'L') + "\r\n" + std::string(28, 'R');
  RecordingOps ops(text);
  ASSERT_TRUE(RunProgramming(ops).ok());

  std::vector<int> expected = FrameBytes(BlankFrame(), kFrameSize);
  const std::vector<int> message = FrameBytes(MessageFrame(text), kFrameSize);
  expected.insert(expected.end(), message.begin(), message.end());
  EXPECT_EQ(ops.ValuesOf(Call::kSendByte), expected);
}

TEST(ProgrammingRun, ProgressFillsBothHalvesThenDrops) {
  RecordingOps ops("");
  ASSERT_TRUE(RunProgramming(ops).ok());

  std::vector<int> expected = ExpectedProgress(kFrameSize, 0);
  EXPECT_EQ(expected.back(), 30);
  const std::vector<int> second = ExpectedProgress(kFrameSize, 30);
  EXPECT_EQ(second.back(), 60);
  expected.insert(expected.end(), second.begin(), second.end());
  expected.push_back(0);
  EXPECT_EQ(ops.ValuesOf(Call::kSetProgress), expected);
}

TEST(ProgrammingRun, EarlySubShortensTheMessagePhase) {
  std::string text = "ABCDEFGHIJ";
  text.push_back(static_cast<char>(kSub));
  text += "never sent";
  RecordingOps ops(text);
  ASSERT_TRUE(RunProgramming(ops).ok());

  const std::vector<int> sent = ops.ValuesOf(Call::kSendByte);
  ASSERT_EQ(sent.size(), static_cast<std::size_t>(kFrameSize + 11));
  EXPECT_EQ(sent.back(), kSub);

  const std::vector<int> progress = ops.ValuesOf(Call::kSetProgress);
  ASSERT_EQ(progress.size(), static_cast<std::size_t>(kFrameSize + 11 + 1));
  EXPECT_EQ(progress[progress.size() - 2], 35);
  EXPECT_EQ(progress.back(), 0);
}

TEST(ProgrammingRun, BytesAboveOneTwentySevenGoOutAsUnsignedValues) {
  const std::string text = "\xC4\xFF";
  RecordingOps ops(text);
  ASSERT_TRUE(RunProgramming(ops).ok());
  const std::vector<int> sent = ops.ValuesOf(Call::kSendByte);
  EXPECT_EQ(sent[kFrameSize], 0xC4);
  EXPECT_EQ(sent[kFrameSize + 1], 0xFF);
}

struct FailureCase {
  int send_number;  // counted over the whole run
  SendStatus status;
  RunPhase phase;
  int position;
};

class ProgrammingRunFailure : public ::testing::TestWithParam<FailureCase> {};

TEST_P(ProgrammingRunFailure, StopsAtOnceAndReportsWhere) {
  const FailureCase c = GetParam();
  RecordingOps ops("MESSAGE");
  ops.FailSendNumber(c.send_number, c.status);
  const RunResult result = RunProgramming(ops);

  EXPECT_FALSE(result.ok());
  EXPECT_EQ(result.status, c.status);
  EXPECT_EQ(result.phase, c.phase);
  EXPECT_EQ(result.position, c.position);

  // Nothing after the failing byte but the bar going back to 0.
  const auto& events = ops.events();
  ASSERT_GE(events.size(), 2u);
  EXPECT_EQ(events.back().call, Call::kSetProgress);
  EXPECT_EQ(events.back().value, 0);
  EXPECT_EQ(events[events.size() - 2].call, Call::kSendByte);
  EXPECT_EQ(ops.CountOf(Call::kSendByte), c.send_number + 1);

  const bool blank = c.phase == RunPhase::kBlank;
  EXPECT_EQ(ops.CountOf(Call::kDelay), blank ? 0 : 1);
  EXPECT_EQ(ops.CountOf(Call::kReadMessageText), blank ? 0 : 1);
}

INSTANTIATE_TEST_SUITE_P(
    BothPhases, ProgrammingRunFailure,
    ::testing::Values(FailureCase{0, SendStatus::kNoAnswer, RunPhase::kBlank, 0},
                      FailureCase{17, SendStatus::kNoCts, RunPhase::kBlank, 17},
                      FailureCase{60, SendStatus::kTransmitterStuck, RunPhase::kBlank, 60},
                      FailureCase{61, SendStatus::kPortMissing, RunPhase::kMessage, 0},
                      FailureCase{61 + 30, SendStatus::kReceiverFlooded, RunPhase::kMessage, 30},
                      FailureCase{61 + 60, SendStatus::kNoAnswer, RunPhase::kMessage, 60}));

}  // namespace
