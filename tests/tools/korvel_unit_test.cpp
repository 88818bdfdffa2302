// korvel-unit run as a user runs it: started, talked to on its terminal by a
// serial client, its reports read.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// Checks a condition every few milliseconds until it holds or ten seconds pass.
bool WaitUntil(const std::function<bool()>& condition) {
  const auto give_up = Clock::now() + std::chrono::seconds(10);
  while (!condition()) {
    if (Clock::now() >= give_up) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

std::vector<std::string> FileLines(const std::string& path) {
  std::ifstream in(path);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::string Hex(const std::string& bytes) {
  std::string text;
  for (char byte : bytes) {
    char pair[4];
    std::snprintf(pair, sizeof pair, " %02X", static_cast<unsigned char>(byte));
    text += pair;
  }
  return text.substr(1);
}

// korvel-unit started as the launcher starts it, its terminal's path written
// to a file and its reports in a scratch folder; a serial client on that
// terminal, raw at 9600 baud 8N1 as the programmer sets its port.
class KorvelUnitTest : public ::testing::Test {
 protected:
  explicit KorvelUnitTest(const char* line_speed = nullptr) : line_speed_(line_speed) {}

  void SetUp() override {
    std::string pattern = ::testing::TempDir() + "korvel-unit-XXXXXX";
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
    pid_ = fork();
    if (pid_ == 0) {
      dup2(open(File("out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), STDOUT_FILENO);
      execl(KORVEL_UNIT_BINARY, KORVEL_UNIT_BINARY, "--path-file", File("path").c_str(), "--log",
            File("log").c_str(), "--frames", File("frames").c_str(),
            line_speed_ != nullptr ? "--line-speed" : nullptr, line_speed_, nullptr);
      _exit(127);
    }
    ASSERT_TRUE(WaitUntil([&] { return !FileLines(File("path")).empty(); }));
    fd_ = open(FileLines(File("path"))[0].c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    termios settings{};
    ASSERT_EQ(tcgetattr(fd_, &settings), 0);
    cfmakeraw(&settings);
    settings.c_cflag = (settings.c_cflag & ~CSTOPB) | CLOCAL | CREAD;
    cfsetspeed(&settings, B9600);
    tcsetattr(fd_, TCSANOW, &settings);
  }
  void TearDown() override {
    if (fd_ >= 0) close(fd_);
    if (pid_ > 0 && kill(pid_, SIGKILL) == 0) waitpid(pid_, nullptr, 0);
    for (const char* name : {"log", "frames", "path", "out"}) std::remove(File(name).c_str());
    rmdir(dir_.c_str());
  }

  std::string File(const char* name) const { return dir_ + "/" + name; }

  // The byte that comes back within ten seconds, or -1.
  int Receive() {
    const auto give_up = Clock::now() + std::chrono::seconds(10);
    for (unsigned char byte = 0; Clock::now() < give_up;) {
      pollfd ready{fd_, POLLIN, 0};
      if (poll(&ready, 1, 5) > 0 && read(fd_, &byte, 1) == 1) return byte;
    }
    return -1;
  }

  // When each byte was logged, in microseconds.
  std::vector<long long> LogTimes() {
    std::vector<long long> times;
    for (const std::string& line : FileLines(File("log"))) times.push_back(std::stoll(line));
    return times;
  }

  const char* line_speed_;
  std::string dir_;
  pid_t pid_ = -1;
  int fd_ = -1;
};

TEST_F(KorvelUnitTest, AnswersEveryByteAndReportsEachFrame) {
  const std::string blank = std::string(28, ' ') + "\r\n" + std::string(28, ' ') + "\r\n\x1A";
  const std::string hello =
      "Hello\r\nWorld" + std::string(1, '\0') + std::string(45, ' ') + "\r\n\x1A";
  const std::string sent = blank + hello;
  for (std::size_t i = 0; i < sent.size(); ++i) {
    ASSERT_EQ(write(fd_, &sent[i], 1), 1);
    ASSERT_EQ(Receive(), 0x06) << "byte " << i;
  }

  ASSERT_TRUE(WaitUntil([&] { return FileLines(File("frames")).size() == 2; }));
  EXPECT_EQ(FileLines(File("frames")), (std::vector<std::string>{Hex(blank), Hex(hello)}));

  // The log: every byte in order, each at a time that never goes back.
  std::string logged;
  for (const std::string& line : FileLines(File("log"))) logged += line.substr(line.find(' '));
  EXPECT_EQ(logged, " " + Hex(sent));
  const std::vector<long long> times = LogTimes();
  EXPECT_TRUE(std::is_sorted(times.begin(), times.end()));
}

struct LineSpeedTest : KorvelUnitTest {
  LineSpeedTest() : KorvelUnitTest("9600") {}
};

// The benchmarks take the emulated line for a real one: a byte cannot arrive
// before its ten bits have, nor its answer before ten more.
TEST_F(LineSpeedTest, EachByteAndEachAnswerTakesTenBitsOfLineTime) {
  constexpr long long kByteUs = 10 * 1000000LL / 9600;
  constexpr int kBytes = 20;
  const auto start = Clock::now();
  for (int i = 0; i < kBytes; ++i) {
    const unsigned char byte = static_cast<unsigned char>('a' + i);
    ASSERT_EQ(write(fd_, &byte, 1), 1);
    ASSERT_EQ(Receive(), 0x06) << "byte " << i;
  }
  const auto elapsed_us =
      std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start).count();
  EXPECT_GE(elapsed_us, 2 * kByteUs * kBytes);

  ASSERT_TRUE(WaitUntil([&] { return LogTimes().size() == kBytes; }));
  const std::vector<long long> times = LogTimes();
  // Stop and wait: the next byte went out only once the answer was in.
  for (int i = 1; i < kBytes; ++i) EXPECT_GE(times[i] - times[i - 1], 2 * kByteUs) << "byte " << i;
}

}  // namespace
