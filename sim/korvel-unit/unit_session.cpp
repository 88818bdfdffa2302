#include "sim/korvel-unit/unit_session.h"

#include <poll.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "banner/frame_text.h"

namespace {

std::int64_t NowUs() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<std::int64_t>(now.tv_sec) * 1000000 + now.tv_nsec / 1000;
}

// A timed sleep ends some tens of microseconds late, more on a virtual
// machine; an emulated line sleeps twice a byte, so the last stretch of each
// wait is spun out on the clock instead.
constexpr std::int64_t kSpinUs = 200;

// Waits until the monotonic clock reaches when_us, the last spin_us of it
// spun out; false when stopped first.
bool SleepUntil(std::int64_t when_us, std::int64_t spin_us,
                const volatile std::sig_atomic_t& stop) {
  const std::int64_t wake_us = when_us - spin_us;
  timespec until{};
  until.tv_sec = static_cast<time_t>(wake_us / 1000000);
  until.tv_nsec = static_cast<long>(wake_us % 1000000) * 1000;
  while (!stop && NowUs() < wake_us) {
    const int result = clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr);
    if (result != 0 && result != EINTR) break;
  }
  while (!stop && NowUs() < when_us) {
    // the last stretch, spun out
  }
  return !stop;
}

}  // namespace

UnitSession::UnitSession(const ToolOptions& options, PtyLine& line, std::FILE* out, std::FILE* log,
                         std::FILE* frames)
    : options_(options),
      line_(line),
      out_(out),
      log_(log),
      frames_file_(frames),
      unit_(options.behaviour),
      // 8 data bits with a start and a stop bit.
      byte_time_us_(options.line_speed > 0 ? 10 * 1000000LL / options.line_speed : 0),
      spin_us_(options.no_spin ? 0 : kSpinUs) {}

int UnitSession::Run(const volatile std::sig_atomic_t& stop) {
  std::uint8_t buffer[256];
  while (!stop) {
    pollfd wait{line_.fd(), POLLIN, 0};
    const int ready = poll(&wait, 1, 200);
    if (ready < 0 && errno != EINTR) {
      std::fprintf(stderr, "korvel-unit: poll: %s\n", std::strerror(errno));
      return 1;
    }
    if (ready <= 0) continue;
    const ssize_t count = read(line_.fd(), buffer, sizeof buffer);
    if (count < 0) {
      if (errno == EAGAIN || errno == EINTR) continue;
      std::fprintf(stderr, "korvel-unit: reading the terminal: %s\n", std::strerror(errno));
      return 1;
    }
    for (ssize_t i = 0; i < count; ++i) {
      if (!TakeByte(buffer[i], stop)) return 0;
      if (options_.count > 0 && frames_ >= options_.count) {
        WaitForClientToRead(stop);
        return 0;
      }
    }
  }
  return 0;
}

bool UnitSession::TakeByte(std::uint8_t byte, const volatile std::sig_atomic_t& stop) {
  if (byte_time_us_ > 0) {
    // The byte is on the line until its stop bit is through, and it cannot
    // start before the one ahead of it is.
    const std::int64_t now = NowUs();
    const std::int64_t arrival = (now > receive_free_us_ ? now : receive_free_us_) + byte_time_us_;
    if (!SleepUntil(arrival, spin_us_, stop)) return false;
    receive_free_us_ = arrival;
  }
  if (log_ != nullptr) {
    std::fprintf(log_, "%lld %02X\n", static_cast<long long>(NowUs()), static_cast<unsigned>(byte));
    std::fflush(log_);
  }

  const std::vector<std::uint8_t> answer = unit_.Receive(byte);
  std::int64_t send_at = NowUs() + static_cast<std::int64_t>(options_.behaviour.answer_delay_ms) * 1000;
  for (std::uint8_t out : answer) {
    send_at += byte_time_us_;
    if (!SleepUntil(send_at, spin_us_, stop)) return false;
    SendToClient(out);
  }

  if (byte == KorvelUnit::kEndOfFrame) ReportFrame();
  return true;
}

void UnitSession::SendToClient(std::uint8_t byte) {
  for (;;) {
    const ssize_t written = write(line_.fd(), &byte, 1);
    if (written == 1) return;
    if (written < 0 && errno == EINTR) continue;
    // Nobody is reading and the terminal's buffer is full: the byte is lost,
    // as it would be in a UART's overrun receiver.
    if (!overflow_reported_) {
      std::fprintf(stderr, "korvel-unit: the client is not reading; answer bytes are lost\n");
      overflow_reported_ = true;
    }
    return;
  }
}

void UnitSession::ReportFrame() {
  ++frames_;
  const std::vector<std::uint8_t> frame = unit_.Frames().back();
  std::fprintf(out_, "frame %ld, %zu bytes\n%s", frames_, frame.size(),
               DisplayBox(DisplayLinesFor(frame)).c_str());
  std::fflush(out_);
  if (frames_file_ != nullptr) {
    std::fprintf(frames_file_, "%s\n", HexBytes(frame).c_str());
    std::fflush(frames_file_);
  }
}

void UnitSession::WaitForClientToRead(const volatile std::sig_atomic_t& stop) {
  // Closing our end would throw away answers the client has not read yet.
  const std::int64_t give_up = NowUs() + 2000000;
  while (line_.UnreadByClient() > 0 && NowUs() < give_up) {
    if (!SleepUntil(NowUs() + 2000, 0, stop)) return;
  }
}
