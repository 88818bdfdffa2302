// korvel-unit run as a user runs it: started, talked to on its terminal by a
// serial client, its reports read.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

using ::testing::ElementsAre;
using ::testing::IsEmpty;

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

std::string FileText(const std::string& path) {
  std::ostringstream text;
  text << std::ifstream(path).rdbuf();
  return text.str();
}

std::vector<std::string> FileLines(const std::string& path) {
  std::istringstream in(FileText(path));
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// The program running with its standard output going to a file.
class UnitProcess {
 public:
  UnitProcess(std::vector<std::string> args, const std::string& output) {
    pid_ = fork();
    if (pid_ == 0) {
      dup2(open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), STDOUT_FILENO);
      std::vector<char*> argv;
      for (std::string& arg : args) argv.push_back(arg.data());
      argv.push_back(nullptr);
      execv(argv[0], argv.data());
      _exit(127);
    }
  }
  ~UnitProcess() {
    if (pid_ <= 0) return;
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }

 private:
  pid_t pid_ = -1;
};

// A serial client on the terminal: raw, 9600 baud, 8N1, as the programmer
// sets its port.
class SerialClient {
 public:
  explicit SerialClient(const std::string& path)
      : fd_(open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK)) {
    termios settings{};
    if (fd_ < 0 || tcgetattr(fd_, &settings) != 0) return;
    cfmakeraw(&settings);
    settings.c_cflag &= ~CSTOPB;
    settings.c_cflag |= CLOCAL | CREAD;
    cfsetspeed(&settings, B9600);
    tcsetattr(fd_, TCSANOW, &settings);
  }
  ~SerialClient() {
    if (fd_ >= 0) close(fd_);
  }

  bool is_open() const { return fd_ >= 0; }
  bool Send(std::uint8_t byte) { return write(fd_, &byte, 1) == 1; }

  // What arrives until count bytes have come or the time limit passes.
  std::vector<std::uint8_t> Receive(std::size_t count,
                                    std::chrono::milliseconds limit = std::chrono::seconds(10)) {
    std::vector<std::uint8_t> bytes;
    const auto give_up = Clock::now() + limit;
    while (bytes.size() < count && Clock::now() < give_up) {
      pollfd ready{fd_, POLLIN, 0};
      std::uint8_t byte = 0;
      if (poll(&ready, 1, 5) > 0 && read(fd_, &byte, 1) == 1) bytes.push_back(byte);
    }
    return bytes;
  }

 private:
  int fd_;
};

const std::string kBlankFrame = std::string(28, ' ') + "\r\n" + std::string(28, ' ') + "\r\n\x1A";
const std::string kHelloFrame =
    "Hello\r\nWorld" + std::string(1, '\0') + std::string(45, ' ') + "\r\n\x1A";

std::string Hex(const std::string& bytes) {
  std::string text;
  for (char byte : bytes) {
    char pair[4];
    std::snprintf(pair, sizeof pair, "%02X", static_cast<unsigned char>(byte));
    text += (text.empty() ? "" : " ") + std::string(pair);
  }
  return text;
}

// korvel-unit started as the launcher starts it, its terminal's path written
// to a file and its reports in a scratch folder.
class KorvelUnitTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = ::testing::TempDir() + "korvel-unit-XXXXXX";
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
  }
  void TearDown() override {
    unit_.reset();
    for (const char* name : {"log", "frames", "path", "out"}) std::remove(File(name).c_str());
    rmdir(dir_.c_str());
  }

  std::string File(const char* name) const { return dir_ + "/" + name; }

  // Starts the unit; returns the path of its terminal, or "" when none came.
  std::string Start(std::vector<std::string> options) {
    options.insert(options.begin(), {KORVEL_UNIT_BINARY, "--path-file", File("path")});
    unit_ = std::make_unique<UnitProcess>(options, File("out"));
    if (!WaitUntil([&] { return !FileLines(File("path")).empty(); })) return "";
    return FileLines(File("path"))[0];
  }

  std::unique_ptr<UnitProcess> unit_;
  std::string dir_;
};

TEST_F(KorvelUnitTest, AnswersEveryByteAndReportsEachFrame) {
  SerialClient client(Start({"--log", File("log"), "--frames", File("frames")}));
  ASSERT_TRUE(client.is_open());
  const std::string sent = kBlankFrame + kHelloFrame;
  for (std::size_t i = 0; i < sent.size(); ++i) {
    ASSERT_TRUE(client.Send(static_cast<std::uint8_t>(sent[i])));
    ASSERT_THAT(client.Receive(1), ElementsAre(0x06)) << "byte " << i;
  }

  ASSERT_TRUE(WaitUntil([&] { return FileLines(File("frames")).size() == 2; }));
  EXPECT_THAT(FileLines(File("frames")), ElementsAre(Hex(kBlankFrame), Hex(kHelloFrame)));
  EXPECT_EQ(FileText(File("out")),
            "frame 1, 61 bytes\n"
            "+----------------------------+\n"
            "|                            |\n"
            "|                            |\n"
            "+----------------------------+\n"
            "frame 2, 61 bytes\n"
            "+----------------------------+\n"
            "|Hello                       |\n"
            "|World                       |\n"
            "+----------------------------+\n");

  // The log: every byte in order, each at a time that never goes back.
  std::string logged;
  long long previous = 0;
  for (const std::string& line : FileLines(File("log"))) {
    char* byte = nullptr;
    const long long usec = std::strtoll(line.c_str(), &byte, 10);
    EXPECT_GE(usec, previous) << line;
    previous = usec;
    logged += byte;
  }
  EXPECT_EQ(logged, " " + Hex(sent));
}

TEST_F(KorvelUnitTest, AChattyUnitSendsExtraAnswersAndStaleBytes) {
  SerialClient client(Start({"--extra", "2", "--stale", "15 3F", "--answer-byte", "07"}));
  ASSERT_TRUE(client.is_open());
  ASSERT_TRUE(client.Send('A'));
  EXPECT_THAT(client.Receive(3), ElementsAre(0x07, 0x07, 0x07));
  ASSERT_TRUE(client.Send(0x1A));
  EXPECT_THAT(client.Receive(5), ElementsAre(0x07, 0x07, 0x07, 0x15, 0x3F));
  EXPECT_THAT(client.Receive(1, std::chrono::milliseconds(100)), IsEmpty());
}

TEST_F(KorvelUnitTest, AnEmulatedLineTakesAtLeastEachBytesTimeOnTheWire) {
  // At 1200 baud a byte of 10 bits takes 8,333 us.
  SerialClient client(Start({"--line-speed", "1200", "--log", File("log")}));
  ASSERT_TRUE(client.is_open());
  const auto sent_at = Clock::now();
  ASSERT_TRUE(client.Send('A'));
  ASSERT_TRUE(client.Send('B'));  // right behind the first
  EXPECT_THAT(client.Receive(2), ElementsAre(0x06, 0x06));
  // The first answer needs the byte's time in and its own time out.
  EXPECT_GE(Clock::now() - sent_at, std::chrono::microseconds(2 * 8333));
  ASSERT_TRUE(WaitUntil([&] { return FileLines(File("log")).size() == 2; }));
  const std::vector<std::string> log = FileLines(File("log"));
  EXPECT_GE(std::atoll(log[1].c_str()) - std::atoll(log[0].c_str()), 8333);
}

}  // namespace
