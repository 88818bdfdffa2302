#pragma once
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

// Helpers for driving the korvel-unit program as a user would: start it, read
// its output, talk to its terminal like a serial client, stop it.

using Clock = std::chrono::steady_clock;

// Waits for a condition, checking it every few milliseconds, until a
// generous deadline.
inline bool WaitUntil(const std::function<bool()>& condition,
                      std::chrono::milliseconds limit = std::chrono::seconds(10)) {
  const auto give_up = Clock::now() + limit;
  while (!condition()) {
    if (Clock::now() >= give_up) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

inline std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

inline std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) lines.push_back(line);
  return lines;
}

// The program, started with arguments, its standard output on a pipe.
class UnitProcess {
 public:
  explicit UnitProcess(const std::vector<std::string>& args) {
    int pipe_fds[2];
    if (pipe(pipe_fds) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      dup2(pipe_fds[1], STDOUT_FILENO);
      close(pipe_fds[0]);
      close(pipe_fds[1]);
      std::vector<char*> argv;
      for (const auto& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
      argv.push_back(nullptr);
      execv(argv[0], argv.data());
      _exit(127);
    }
    close(pipe_fds[1]);
    out_ = pipe_fds[0];
  }

  ~UnitProcess() {
    if (pid_ > 0 && !exited_) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    if (out_ >= 0) close(out_);
  }

  bool started() const { return pid_ > 0 && out_ >= 0; }

  // Everything printed so far, after reading what is waiting (up to wait_ms).
  const std::string& Output(int wait_ms = 0) {
    pollfd ready{out_, POLLIN, 0};
    while (poll(&ready, 1, wait_ms) > 0) {
      char buffer[4096];
      const ssize_t count = read(out_, buffer, sizeof buffer);
      if (count <= 0) break;
      output_.append(buffer, static_cast<std::size_t>(count));
      wait_ms = 0;
    }
    return output_;
  }

  // Waits until the output holds text.
  bool WaitForOutput(const std::string& text) {
    return WaitUntil([&] { return Output(5).find(text) != std::string::npos; });
  }

  std::string FirstLine() {
    if (!WaitForOutput("\n")) return "";
    return output_.substr(0, output_.find('\n'));
  }

  void Signal(int number) { kill(pid_, number); }

  // Waits for the program to end on its own; returns its wait status, or -1.
  int WaitForExit(std::chrono::milliseconds limit = std::chrono::seconds(10)) {
    int status = -1;
    const bool ended = WaitUntil(
        [&] {
          const pid_t done = waitpid(pid_, &status, WNOHANG);
          return done == pid_;
        },
        limit);
    if (!ended) return -1;
    exited_ = true;
    return status;
  }

 private:
  pid_t pid_ = -1;
  int out_ = -1;
  bool exited_ = false;
  std::string output_;
};

// A serial client on the terminal: raw, 9600 baud, 8 data bits, no parity,
// 1 stop bit, as the programmer sets its port.
class SerialClient {
 public:
  explicit SerialClient(const std::string& path) {
    fd_ = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd_ < 0) return;
    termios settings{};
    tcgetattr(fd_, &settings);
    cfmakeraw(&settings);
    settings.c_cflag &= ~(PARENB | CSTOPB | CSIZE);
    settings.c_cflag |= CS8 | CLOCAL | CREAD;
    cfsetispeed(&settings, B9600);
    cfsetospeed(&settings, B9600);
    tcsetattr(fd_, TCSANOW, &settings);
    tcflush(fd_, TCIOFLUSH);
  }
  ~SerialClient() {
    if (fd_ >= 0) close(fd_);
  }
  SerialClient(const SerialClient&) = delete;
  SerialClient& operator=(const SerialClient&) = delete;

  bool is_open() const { return fd_ >= 0; }

  bool Send(std::uint8_t byte) { return write(fd_, &byte, 1) == 1; }

  // Reads until count bytes came or the time limit passed.
  std::vector<std::uint8_t> Receive(std::size_t count,
                                    std::chrono::milliseconds limit = std::chrono::seconds(10)) {
    std::vector<std::uint8_t> bytes;
    const auto give_up = Clock::now() + limit;
    while (bytes.size() < count) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(give_up - Clock::now());
      if (left.count() <= 0) break;
      pollfd ready{fd_, POLLIN, 0};
      if (poll(&ready, 1, static_cast<int>(left.count())) <= 0) continue;
      std::uint8_t buffer[64];
      const ssize_t got = read(fd_, buffer, std::min(sizeof buffer, count - bytes.size()));
      if (got > 0) bytes.insert(bytes.end(), buffer, buffer + got);
    }
    return bytes;
  }

  // Sends the bytes one by one, each time waiting for the one-byte answer,
  // as the programmer does; returns the answers.
  std::vector<std::uint8_t> Exchange(const std::vector<std::uint8_t>& bytes) {
    std::vector<std::uint8_t> answers;
    for (std::uint8_t byte : bytes) {
      if (!Send(byte)) break;
      const auto answer = Receive(1);
      if (answer.empty()) break;
      answers.push_back(answer[0]);
    }
    return answers;
  }

 private:
  int fd_ = -1;
};
