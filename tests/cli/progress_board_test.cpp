#include "cli/progress_board.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

// What the board wrote to its terminal, a temporary file standing in for one.
class Terminal {
 public:
  Terminal() : file_(std::tmpfile()) {}
  ~Terminal() { std::fclose(file_); }
  std::FILE* file() { return file_; }
  std::string Shown() {
    std::fflush(file_);
    std::string shown;
    std::rewind(file_);
    char buffer[512];
    std::size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, file_)) > 0) shown.append(buffer, got);
    return shown;
  }

 private:
  std::FILE* file_;
};

TEST(ProgressBoardTest, AWaitOfHalfASecondTakesTheBarsPlaceOnceATenthAndTheBarComesBack) {
  Terminal terminal;
  ProgressBoard board(terminal.file(), {"/dev/ttyUSB0"}, 14);
  board.Answered(0, RunPhase::kBlank, 61);
  const std::string bar = "\rblank frame   [##############################] 61/61";
  EXPECT_EQ(terminal.Shown(), bar);

  // Told on every poll: nothing before half a second, then once a tenth.
  for (std::int64_t ms : {0, 120, 499}) board.Waiting(0, RunPhase::kMessage, 3, UartWait::kCts, ms);
  EXPECT_EQ(terminal.Shown(), bar);
  for (std::int64_t ms : {500, 530, 599, 600}) {
    board.Waiting(0, RunPhase::kMessage, 3, UartWait::kCts, ms);
  }
  const std::string waits = "\rmessage frame waiting 0.5 s for the unit's CTS, at byte 4 of 14"
                            "\rmessage frame waiting 0.6 s for the unit's CTS, at byte 4 of 14";
  EXPECT_EQ(terminal.Shown(), bar + waits);

  // The bar again, blanks over what the longer line left.
  board.Answered(0, RunPhase::kMessage, 4);
  const std::string back = "\rmessage frame [########----------------------]  4/14";
  EXPECT_EQ(terminal.Shown(), bar + waits + back + std::string(waits.size() / 2 - back.size(), ' '));

  board.Waiting(0, RunPhase::kMessage, 4, UartWait::kAnswer, 2500);
  board.Waiting(0, RunPhase::kMessage, 4, UartWait::kTransmitter, 700);
  board.Waiting(0, RunPhase::kBlank, 0, UartWait::kReceiverQuiet, 1000);
  const std::string shown = terminal.Shown();
  EXPECT_NE(shown.find("waiting 2.5 s for the unit's answer to byte 5 of 14"), std::string::npos);
  EXPECT_NE(shown.find("waiting 0.7 s for the line to take byte 5 of 14"), std::string::npos);
  EXPECT_NE(shown.find("blank frame   waiting 1.0 s for the unit to stop sending, before byte 1 "
                       "of 61"),
            std::string::npos);
}

}  // namespace
