#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "tests/tools/unit_process.h"

using ::testing::AllOf;
using ::testing::Each;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::SizeIs;

namespace {

using std::chrono::milliseconds;

std::vector<std::uint8_t> BlankFrame() {
  std::vector<std::uint8_t> frame(61, ' ');
  frame[28] = frame[58] = 0x0D;
  frame[29] = frame[59] = 0x0A;
  frame[60] = 0x1A;
  return frame;
}

// "Hello" CR LF "World", its zero byte, spaces, CR LF SUB: a short message
// frame as the programmer sends it.
std::vector<std::uint8_t> HelloFrame() {
  std::vector<std::uint8_t> frame = BlankFrame();
  const std::string text("Hello\r\nWorld", 12);
  std::copy(text.begin(), text.end(), frame.begin());
  frame[12] = 0x00;
  frame[28] = frame[29] = ' ';
  return frame;
}

std::string Hex(const std::vector<std::uint8_t>& bytes) {
  std::string text;
  for (std::uint8_t byte : bytes) {
    char pair[4];
    std::snprintf(pair, sizeof pair, "%02X", byte);
    if (!text.empty()) text += ' ';
    text += pair;
  }
  return text;
}

class KorvelUnitPtyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = ::testing::TempDir() + "korvel-unit-XXXXXX";
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
  }
  void TearDown() override {
    for (const char* name : {"log", "frames", "path", "path.tmp"}) std::remove(File(name).c_str());
    rmdir(dir_.c_str());
  }

  std::string File(const char* name) const { return dir_ + "/" + name; }

  static std::vector<std::string> Command(std::vector<std::string> options) {
    options.insert(options.begin(), KORVEL_UNIT_BINARY);
    return options;
  }

  std::string dir_;
};

TEST_F(KorvelUnitPtyTest, AHealthyUnitAnswersEveryByteAndReportsBothFrames) {
  UnitProcess unit(Command({"--log", File("log"), "--frames", File("frames")}));
  ASSERT_TRUE(unit.started());
  const std::string path = unit.FirstLine();
  ASSERT_THAT(path, HasSubstr("/dev/pts/"));
  SerialClient client(path);
  ASSERT_TRUE(client.is_open());

  EXPECT_THAT(client.Exchange(BlankFrame()), AllOf(SizeIs(61), Each(0x06)));
  EXPECT_THAT(client.Exchange(HelloFrame()), AllOf(SizeIs(61), Each(0x06)));

  // The display as printed.
  ASSERT_TRUE(unit.WaitForOutput("frame 2, 61 bytes\n"));
  const std::string blank_box = "+----------------------------+\n"
                                "|                            |\n"
                                "|                            |\n"
                                "+----------------------------+\n";
  const std::string hello_box = "+----------------------------+\n"
                                "|Hello                       |\n"
                                "|World                       |\n"
                                "+----------------------------+\n";
  EXPECT_THAT(unit.Output(), HasSubstr("frame 1, 61 bytes\n" + blank_box));
  EXPECT_THAT(unit.Output(), HasSubstr("frame 2, 61 bytes\n" + hello_box));

  // The frames file, one frame a line.
  ASSERT_TRUE(WaitUntil([&] { return Lines(ReadWholeFile(File("frames"))).size() == 2; }));
  EXPECT_THAT(Lines(ReadWholeFile(File("frames"))), ElementsAre(Hex(BlankFrame()), Hex(HelloFrame())));

  // The log: every byte in order, timestamps never going back.
  const auto log = Lines(ReadWholeFile(File("log")));
  ASSERT_EQ(log.size(), 122u);
  std::vector<std::uint8_t> sent = BlankFrame();
  const auto hello = HelloFrame();
  sent.insert(sent.end(), hello.begin(), hello.end());
  long long previous = 0;
  for (std::size_t i = 0; i < log.size(); ++i) {
    std::istringstream fields(log[i]);
    long long usec = -1;
    std::string hex;
    fields >> usec >> hex;
    EXPECT_GE(usec, previous) << log[i];
    EXPECT_EQ(hex, Hex({sent[i]})) << "line " << i;
    previous = usec;
  }

  unit.Signal(SIGTERM);
  const int status = unit.WaitForExit();
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

TEST_F(KorvelUnitPtyTest, CountEndsTheProgramOnceTheLastAnswerIsRead) {
  UnitProcess unit(Command({"--count", "1", "--path-file", File("path")}));
  ASSERT_TRUE(unit.started());
  ASSERT_TRUE(WaitUntil([&] { return !ReadWholeFile(File("path")).empty(); }));
  const auto lines = Lines(ReadWholeFile(File("path")));
  ASSERT_THAT(lines, SizeIs(1));
  SerialClient client(lines[0]);
  ASSERT_TRUE(client.is_open());
  EXPECT_THAT(client.Exchange({'H', 'i', 0x1A}), ElementsAre(0x06, 0x06, 0x06));
  const int status = unit.WaitForExit();
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  // With a path file, standard output carries only the frames.
  EXPECT_EQ(unit.Output(100).rfind("frame 1, 3 bytes\n", 0), 0u) << unit.Output();
}

TEST_F(KorvelUnitPtyTest, AChattyUnitSendsExtrasAndStaleBytes) {
  UnitProcess unit(Command({"--extra", "2", "--stale", "15 3F", "--answer-byte", "07"}));
  SerialClient client(unit.FirstLine());
  ASSERT_TRUE(client.is_open());
  ASSERT_TRUE(client.Send('A'));
  EXPECT_THAT(client.Receive(3), ElementsAre(0x07, 0x07, 0x07));
  ASSERT_TRUE(client.Send(0x1A));
  EXPECT_THAT(client.Receive(5), ElementsAre(0x07, 0x07, 0x07, 0x15, 0x3F));
  EXPECT_THAT(client.Receive(1, milliseconds(100)), IsEmpty());
}

TEST_F(KorvelUnitPtyTest, ASilentUnitTakesBytesButNeverAnswers) {
  UnitProcess unit(Command({"--no-answer", "--log", File("log")}));
  SerialClient client(unit.FirstLine());
  ASSERT_TRUE(client.is_open());
  ASSERT_TRUE(client.Send('A'));
  ASSERT_TRUE(client.Send(0x1A));
  ASSERT_TRUE(unit.WaitForOutput("frame 1, 2 bytes"));
  EXPECT_THAT(Lines(ReadWholeFile(File("log"))), SizeIs(2));
  EXPECT_THAT(client.Receive(1, milliseconds(200)), IsEmpty());
}

TEST_F(KorvelUnitPtyTest, ALateUnitAnswersNoSoonerThanItsDelay) {
  UnitProcess unit(Command({"--answer-delay", "150"}));
  SerialClient client(unit.FirstLine());
  ASSERT_TRUE(client.is_open());
  const auto sent_at = Clock::now();
  ASSERT_TRUE(client.Send('A'));
  EXPECT_THAT(client.Receive(1), ElementsAre(0x06));
  EXPECT_GE(Clock::now() - sent_at, milliseconds(150));
}

TEST_F(KorvelUnitPtyTest, AnEmulatedLineSpacesBytesByTheirTimeOnTheWire) {
  // At 1200 baud a byte takes 10 / 1200 s, about 8.3 ms.
  UnitProcess unit(Command({"--line-speed", "1200", "--log", File("log")}));
  SerialClient client(unit.FirstLine());
  ASSERT_TRUE(client.is_open());
  const auto sent_at = Clock::now();
  ASSERT_TRUE(client.Send('A'));
  ASSERT_TRUE(client.Send('B'));  // right behind the first
  EXPECT_THAT(client.Receive(2), ElementsAre(0x06, 0x06));
  // The first answer needs the byte's time in and its own time out.
  EXPECT_GE(Clock::now() - sent_at, std::chrono::microseconds(2 * 8333));
  ASSERT_TRUE(WaitUntil([&] { return Lines(ReadWholeFile(File("log"))).size() == 2; }));
  const auto log = Lines(ReadWholeFile(File("log")));
  const long long first = std::atoll(log[0].c_str());
  const long long second = std::atoll(log[1].c_str());
  EXPECT_GE(second - first, 8333);
}

TEST_F(KorvelUnitPtyTest, TheTerminalOutlivesClientsThatComeAndGo) {
  UnitProcess unit(Command({}));
  const std::string path = unit.FirstLine();
  {
    SerialClient first(path);
    ASSERT_TRUE(first.is_open());
    EXPECT_THAT(first.Exchange({'1'}), ElementsAre(0x06));
  }
  SerialClient second(path);
  ASSERT_TRUE(second.is_open());
  EXPECT_THAT(second.Exchange({'2', 0x1A}), ElementsAre(0x06, 0x06));
  // One unit heard both clients: the frame holds the bytes of each.
  EXPECT_TRUE(unit.WaitForOutput("frame 1, 3 bytes"));
}

TEST_F(KorvelUnitPtyTest, InterruptStopsItCleanly) {
  UnitProcess unit(Command({}));
  ASSERT_THAT(unit.FirstLine(), HasSubstr("/dev/pts/"));
  unit.Signal(SIGINT);
  const int status = unit.WaitForExit();
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

TEST_F(KorvelUnitPtyTest, HelpAndMistakes) {
  UnitProcess help(Command({"--help"}));
  const int help_status = help.WaitForExit();
  EXPECT_TRUE(WIFEXITED(help_status) && WEXITSTATUS(help_status) == 0);
  EXPECT_EQ(help.Output(100).rfind("Usage: korvel-unit", 0), 0u);

  UnitProcess wrong(Command({"--bogus"}));
  const int wrong_status = wrong.WaitForExit();
  EXPECT_TRUE(WIFEXITED(wrong_status) && WEXITSTATUS(wrong_status) == 2);
  EXPECT_THAT(wrong.Output(100), IsEmpty());
}

}  // namespace
