#include "serial/comm_port_io.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "banner/frame.h"
#include "serial/uart_driver.h"
#include "serial/uart_registers.h"

// These tests run through run_with_peer.sh: COM1 is a pseudo-terminal whose
// far end logs every byte with the line settings it came with and answers it
// with its complement; COM2 appears only when a test asks for it.

namespace {

using namespace uart;

constexpr std::uint8_t kStaleRequest = 0xEE;  // the peer answers it three times

// The peer's folder as a Windows path.
std::string LinesDir() {
  std::string path = std::string("Z:") + std::getenv("KORVEL_COMM_LINES");
  for (char& c : path) c = c == '/' ? '\\' : c;
  return path;
}

// What the peer has logged so far.
std::vector<std::string> PeerLog() {
  std::ifstream file(LinesDir() + "\\received.log");
  std::vector<std::string> lines;
  for (std::string line; std::getline(file, line);) lines.push_back(line);
  return lines;
}

// How the peer logs a byte that came at 9600 baud, 8N1.
std::string Arrived(const char* port, int byte) {
  char line[32];
  std::snprintf(line, sizeof line, "%s %02x 9600 8 N 1", port, byte);
  return line;
}

// Lets every byte the peer sends arrive; nothing tells when the last has.
void LetLineSettle() { std::this_thread::sleep_for(std::chrono::milliseconds(200)); }

class CommPortIoTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(std::getenv("KORVEL_COMM_LINES"), nullptr) << "run this through run_with_peer.sh";
  }
  bool DataReady() { return (io_.In(kCom1Base + kLineStatus) & kDataReady) != 0; }

  CommPortIo io_;
  SteadyClock clock_;
  UartDriver driver_{io_, clock_};
};

TEST_F(CommPortIoTest, FramesArriveAt9600EightNOneEveryAnswerIsTakenAndAClearDropsTheRest) {
  driver_.InitPort(1);
  std::vector<std::string> expected = PeerLog();
  io_.Out(kCom1Base, kStaleRequest);  // its three answers wait when the frames start
  LetLineSettle();
  expected.push_back(Arrived("com1", kStaleRequest));
  for (const Frame& frame : {BlankFrame(), MessageFrame("KORVEL\r\nline two")}) {
    for (std::uint8_t byte : frame) {
      ASSERT_EQ(driver_.SendByte(1, byte), SendStatus::kSent) << "byte " << expected.size();
      expected.push_back(Arrived("com1", byte));
      if (byte == kSub) break;
    }
  }
  EXPECT_EQ(PeerLog(), expected);
  LetLineSettle();
  EXPECT_FALSE(DataReady()) << "an answer was left over";

  io_.Out(kCom1Base, kStaleRequest);
  LetLineSettle();
  ASSERT_TRUE(DataReady());
  io_.Out(kCom1Base + kFifoControl, kFifoEnable | kClearReceiver | kClearTransmitter);
  EXPECT_FALSE(DataReady()) << "clearing the receive FIFO left bytes";
}

TEST_F(CommPortIoTest, AMissingPortIsAbsentUntilItAppears) {
  EXPECT_FALSE(io_.Present(kCom2Base));
  EXPECT_EQ(io_.LastError(kCom2Base).problem, PortProblem::kNoSuchPort);
  EXPECT_EQ(io_.In(kCom2Base + kLineStatus), 0xFF);
  driver_.InitPort(2);
  EXPECT_EQ(driver_.SendByte(2, 'x'), SendStatus::kPortMissing);

  // The line turns up later: the same object opens it on its next use.
  std::ofstream(LinesDir() + "\\open-com2") << "open\n";
  for (int tries = 0; tries < 50 && !io_.Present(kCom2Base); ++tries) LetLineSettle();
  ASSERT_TRUE(io_.Present(kCom2Base));
  EXPECT_EQ(io_.LastError(kCom2Base).problem, PortProblem::kNone);
  driver_.InitPort(2);
  std::vector<std::string> expected = PeerLog();
  ASSERT_EQ(driver_.SendByte(2, '2'), SendStatus::kSent);
  expected.push_back(Arrived("com2", '2'));
  EXPECT_EQ(PeerLog(), expected);
  EXPECT_EQ(driver_.SendByte(1, '1'), SendStatus::kSent);  // COM1 is a port of its own
}

TEST_F(CommPortIoTest, APortThatHangsUpMidRunWentAwayAndIsNotSent) {
  driver_.InitPort(1);
  ASSERT_EQ(driver_.SendByte(1, 'a'), SendStatus::kSent);
  const std::string request = LinesDir() + "\\hang-up-com1";
  std::ofstream(request) << "now\n";
  LetLineSettle();
  EXPECT_EQ(driver_.SendByte(1, 'b'), SendStatus::kPortMissing);
  const PortError error = io_.LastError(kCom1Base);
  EXPECT_EQ(error.problem, PortProblem::kWentAway) << "system code " << error.system_code;
  // Still gone on the next try: the reason stays until the port opens again.
  EXPECT_EQ(driver_.SendByte(1, 'c'), SendStatus::kPortMissing);
  EXPECT_EQ(io_.LastError(kCom1Base).problem, PortProblem::kWentAway);

  // Not even when it is back, until the next run sets the port up again: a
  // run's later bytes would reach the unit mid-frame.
  std::remove(request.c_str());
  LetLineSettle();
  EXPECT_FALSE(io_.Present(kCom1Base));
  for (int tries = 0; tries < 50 && !io_.Present(kCom1Base); ++tries) {
    driver_.InitPort(1);
    LetLineSettle();
  }
  EXPECT_EQ(io_.LastError(kCom1Base).problem, PortProblem::kNone);
}

// Wine opens a serial device twice without complaint, and root opens any, so
// "in use" and "access denied" are checked by the codes the system gives.
TEST(ProblemForOpenErrorTest, SortsTheSystemsReasonsIntoWhatTheOperatorCanDo) {
  EXPECT_EQ(ProblemForOpenError(ERROR_FILE_NOT_FOUND), PortProblem::kNoSuchPort);
  EXPECT_EQ(ProblemForOpenError(ERROR_PATH_NOT_FOUND), PortProblem::kNoSuchPort);
  EXPECT_EQ(ProblemForOpenError(ERROR_SHARING_VIOLATION), PortProblem::kInUse);
  EXPECT_EQ(ProblemForOpenError(ERROR_BUSY), PortProblem::kInUse);
  EXPECT_EQ(ProblemForOpenError(ERROR_ACCESS_DENIED), PortProblem::kAccessDenied);
  EXPECT_EQ(ProblemForOpenError(ERROR_INVALID_PARAMETER), PortProblem::kOther);
}

}  // namespace
