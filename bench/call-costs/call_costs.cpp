// call-costs: what one of each call a Program run makes costs here, timed
// with the performance counter over many repetitions.
//   call-costs [--port COM1|none] [--rounds N] [--bar-cycles N]
// Prints one line per call: name, median and 90th percentile in
// microseconds, repetitions; also whole bytes out and answered, without and
// with a bar step each, and a bar step timed between bytes as well as back to
// back. A unit must answer each byte written to the port
// (bench/korvel-call-costs puts one there); "--port none" leaves the serial
// calls out.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr DWORD kWriteTimeoutMs = 1000;
constexpr DWORD kAnswerTimeoutMs = 3000;
constexpr BYTE kProbeByte = 'A';  // anything but the unit's end-of-frame byte
constexpr int kBarEnd = 60;       // the main dialog's range
// Clock reads are shorter than the counter's tick (0.1 us under Wine): they
// are timed in batches and each batch counts as that many reads of its mean.
constexpr int kClockBatch = 100;
constexpr int kClockBatches = 2000;

// The system's own words for an error code.
std::string SystemMessage(DWORD code) {
  char text[512] = "";
  const DWORD length =
      FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                     text, sizeof text, nullptr);
  std::string message(text, length);
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r' ||
                              message.back() == ' ' || message.back() == '.')) {
    message.pop_back();
  }
  if (message.empty()) message = "error " + std::to_string(code);
  return message;
}

[[noreturn]] void Fail(const std::string& what, DWORD code) {
  std::fprintf(stderr, "call-costs: %s: %s\n", what.c_str(), SystemMessage(code).c_str());
  std::exit(1);
}

class Stopwatch {
 public:
  Stopwatch() {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    us_per_tick_ = 1e6 / static_cast<double>(frequency.QuadPart);
  }
  static LONGLONG Now() {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart;
  }
  double Us(LONGLONG from, LONGLONG to) const { return static_cast<double>(to - from) * us_per_tick_; }
  LONGLONG Ticks(double us) const { return static_cast<LONGLONG>(us / us_per_tick_); }

 private:
  double us_per_tick_ = 0;
};

struct Row {
  std::string call;
  std::vector<double> us;
  unsigned long repetitions = 0;  // more than us.size() when timed in batches
};

double Percentile(std::vector<double> values, double fraction) {
  if (values.empty()) return 0;
  const size_t at = static_cast<size_t>(fraction * static_cast<double>(values.size() - 1) + 0.5);
  std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(at), values.end());
  return values[at];
}

void PrintTable(const std::vector<Row>& rows) {
  std::printf("%-40s %10s %10s %8s\n", "call", "median_us", "p90_us", "reps");
  for (const Row& row : rows) {
    const unsigned long repetitions =
        row.repetitions != 0 ? row.repetitions : static_cast<unsigned long>(row.us.size());
    std::printf("%-40s %10.2f %10.2f %8lu\n", row.call.c_str(), Percentile(row.us, 0.5),
                Percentile(row.us, 0.9), repetitions);
  }
}

// Opened as the utility opens its ports: exclusive, reads that never wait,
// 9600 baud 8N1 with no flow control, settings read, changed and written back.
HANDLE OpenPort(const std::string& name) {
  const std::string device = "\\\\.\\" + name;
  HANDLE port = CreateFileA(device.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                            0, nullptr);
  if (port == INVALID_HANDLE_VALUE) Fail("opening " + name, GetLastError());

  COMMTIMEOUTS timeouts{};
  timeouts.ReadIntervalTimeout = MAXDWORD;
  timeouts.WriteTotalTimeoutConstant = kWriteTimeoutMs;
  DCB settings{};
  settings.DCBlength = sizeof settings;
  if (!SetCommTimeouts(port, &timeouts) || !GetCommState(port, &settings)) {
    Fail("setting up " + name, GetLastError());
  }
  settings.BaudRate = CBR_9600;
  settings.ByteSize = 8;
  settings.Parity = NOPARITY;
  settings.StopBits = ONESTOPBIT;
  settings.fBinary = TRUE;
  settings.fParity = FALSE;
  settings.fOutxCtsFlow = FALSE;
  settings.fOutxDsrFlow = FALSE;
  settings.fDsrSensitivity = FALSE;
  settings.fOutX = FALSE;
  settings.fInX = FALSE;
  settings.fDtrControl = DTR_CONTROL_ENABLE;
  settings.fRtsControl = RTS_CONTROL_ENABLE;
  if (!SetCommState(port, &settings)) Fail("setting 9600 8N1 on " + name, GetLastError());
  PurgeComm(port, PURGE_RXCLEAR | PURGE_TXCLEAR);
  return port;
}

struct SerialRows {
  Row status{"line status (ClearCommError)", {}, 0};
  Row read_byte{"ReadFile, a byte waiting", {}, 0};
  Row read_none{"ReadFile, nothing waiting", {}, 0};
  Row write{"WriteFile, one byte", {}, 0};
};

// One byte out and its answer in, as the driver does for each byte of a frame:
// write, poll the line status until the answer is waiting, read it, then read
// once more to find nothing. Gives the time from the write to the last read.
double RoundTrip(HANDLE port, const std::string& name, const Stopwatch& watch, SerialRows& rows) {
  BYTE out = kProbeByte;
  DWORD count = 0;
  const LONGLONG began = Stopwatch::Now();
  const BOOL written = WriteFile(port, &out, 1, &count, nullptr);
  rows.write.us.push_back(watch.Us(began, Stopwatch::Now()));
  if (!written || count != 1) Fail("writing to " + name, written ? ERROR_TIMEOUT : GetLastError());

  const LONGLONG give_up = Stopwatch::Now() + watch.Ticks(kAnswerTimeoutMs * 1000.0);
  for (;;) {
    DWORD errors = 0;
    COMSTAT queues{};
    const LONGLONG start = Stopwatch::Now();
    const BOOL known = ClearCommError(port, &errors, &queues);
    const LONGLONG end = Stopwatch::Now();
    rows.status.us.push_back(watch.Us(start, end));
    if (!known) Fail("reading the line status of " + name, GetLastError());
    if (queues.cbInQue > 0) break;
    if (end > give_up) {
      std::fprintf(stderr, "call-costs: no answer on %s within %lu ms\n", name.c_str(),
                   static_cast<unsigned long>(kAnswerTimeoutMs));
      std::exit(1);
    }
  }

  BYTE in = 0;
  LONGLONG start = Stopwatch::Now();
  BOOL read = ReadFile(port, &in, 1, &count, nullptr);
  rows.read_byte.us.push_back(watch.Us(start, Stopwatch::Now()));
  if (!read || count != 1) Fail("reading the answer from " + name, read ? ERROR_NO_DATA : GetLastError());

  start = Stopwatch::Now();
  read = ReadFile(port, &in, 1, &count, nullptr);
  const LONGLONG ended = Stopwatch::Now();
  rows.read_none.us.push_back(watch.Us(start, ended));
  if (!read) Fail("reading from " + name, GetLastError());
  return watch.Us(began, ended);
}

// The single calls, then whole bytes against the line's own time for a byte
// out and one back: without the bar, then with a step of it after each byte,
// which shows what a step costs beyond its own call (the display server and
// the unit want the processors too).
void TimeSerialCalls(const std::string& name, int rounds, HWND bar, const Stopwatch& watch,
                     std::vector<Row>& rows) {
  HANDLE port = OpenPort(name);
  SerialRows calls;
  Row bytes{"byte out and answered", {}, 0};
  for (int round = 0; round < rounds; ++round) {
    bytes.us.push_back(RoundTrip(port, name, watch, calls));
  }

  SerialRows ignored;
  Row stepped{"byte out and answered, then a bar step", {}, 0};
  Row step{"bar step (PBM_SETPOS), between bytes", {}, 0};
  for (int round = 0; round < rounds; ++round) {
    const LONGLONG start = Stopwatch::Now();
    RoundTrip(port, name, watch, ignored);
    const LONGLONG answered = Stopwatch::Now();
    SendMessageA(bar, PBM_SETPOS, static_cast<WPARAM>(round % (kBarEnd + 1)), 0);
    const LONGLONG end = Stopwatch::Now();
    step.us.push_back(watch.Us(answered, end));
    stepped.us.push_back(watch.Us(start, end));
  }
  CloseHandle(port);

  for (Row* row :
       {&calls.status, &calls.read_byte, &calls.read_none, &calls.write, &bytes, &stepped, &step}) {
    rows.push_back(std::move(*row));
  }
}

template <typename Read>
Row TimeClock(const char* call, const Stopwatch& watch, Read read) {
  Row row{call, {}, static_cast<unsigned long>(kClockBatch) * kClockBatches};
  volatile LONGLONG sink = 0;  // keeps the reads from being optimised away
  for (int batch = 0; batch < kClockBatches; ++batch) {
    const LONGLONG start = Stopwatch::Now();
    for (int i = 0; i < kClockBatch; ++i) sink = sink + read();
    row.us.push_back(watch.Us(start, Stopwatch::Now()) / kClockBatch);
  }
  return row;
}

void TimeClocks(const Stopwatch& watch, std::vector<Row>& rows) {
  rows.push_back(TimeClock("clock read (steady_clock::now)", watch, [] {
    return static_cast<LONGLONG>(std::chrono::steady_clock::now().time_since_epoch().count());
  }));
  rows.push_back(TimeClock("clock read (QueryPerformanceCounter)", watch, [] {
    return Stopwatch::Now();
  }));
}

void PumpFor(DWORD ms) {
  const DWORD until = GetTickCount() + ms;
  MSG message;
  do {
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      DispatchMessageA(&message);
    }
    Sleep(5);
  } while (static_cast<LONG>(until - GetTickCount()) > 0);
}

// A visible bar the size of the main dialog's, in a window of its own.
HWND ShowProgressBar() {
  INITCOMMONCONTROLSEX controls{};
  controls.dwSize = sizeof controls;
  controls.dwICC = ICC_PROGRESS_CLASS;
  InitCommonControlsEx(&controls);

  WNDCLASSA frame{};
  frame.lpfnWndProc = DefWindowProcA;
  frame.hInstance = GetModuleHandleA(nullptr);
  frame.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
  frame.lpszClassName = "call-costs";
  if (!RegisterClassA(&frame)) Fail("registering a window class", GetLastError());
  HWND window = CreateWindowExA(0, frame.lpszClassName, "call-costs", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                40, 40, 280, 100, nullptr, nullptr, frame.hInstance, nullptr);
  if (window == nullptr) Fail("creating a window", GetLastError());
  HWND bar = CreateWindowExA(0, PROGRESS_CLASSA, "", WS_CHILD | WS_VISIBLE | WS_BORDER | PBS_SMOOTH,
                             10, 20, 218, 18, window, nullptr, nullptr, nullptr);
  if (bar == nullptr) Fail("creating a progress bar", GetLastError());
  SendMessageA(bar, PBM_SETRANGE, 0, MAKELPARAM(0, kBarEnd));
  UpdateWindow(window);
  PumpFor(300);  // until the window is mapped and drawn once
  return bar;
}

// Stepped through its range as a run steps it: no messages are handled
// between steps, so each step paints (or not) on its own. With its drawing
// off, as the utility keeps it during a run, a step only moves the position.
Row TimeProgressSteps(HWND bar, int cycles, const Stopwatch& watch, bool drawing) {
  Row row{drawing ? "bar step (PBM_SETPOS), back to back"
                  : "bar step, drawing off, back to back",
          {}, 0};
  SendMessageA(bar, WM_SETREDRAW, drawing, 0);
  for (int cycle = 0; cycle < cycles; ++cycle) {
    for (int position = 0; position <= kBarEnd; ++position) {
      const LONGLONG start = Stopwatch::Now();
      SendMessageA(bar, PBM_SETPOS, static_cast<WPARAM>(position), 0);
      row.us.push_back(watch.Us(start, Stopwatch::Now()));
    }
    PumpFor(20);
  }
  SendMessageA(bar, WM_SETREDRAW, TRUE, 0);
  return row;
}

int Number(const char* text, const char* option) {
  char* end = nullptr;
  const long value = std::strtol(text, &end, 10);
  if (*end != '\0' || value < 1 || value > 1000000) {
    std::fprintf(stderr, "call-costs: %s takes a positive number, not '%s'\n", option, text);
    std::exit(2);
  }
  return static_cast<int>(value);
}

}  // namespace

int main(int argc, char** argv) {
  std::string port = "COM1";
  int rounds = 500;
  int bar_cycles = 20;
  for (int i = 1; i < argc; ++i) {
    const bool has_value = i + 1 < argc;
    if (std::strcmp(argv[i], "--port") == 0 && has_value) {
      port = argv[++i];
    } else if (std::strcmp(argv[i], "--rounds") == 0 && has_value) {
      rounds = Number(argv[++i], "--rounds");
    } else if (std::strcmp(argv[i], "--bar-cycles") == 0 && has_value) {
      bar_cycles = Number(argv[++i], "--bar-cycles");
    } else {
      std::fprintf(stderr, "usage: call-costs [--port COM1|none] [--rounds N] [--bar-cycles N]\n");
      return 2;
    }
  }

  const Stopwatch watch;
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  std::printf("%d-bit build, performance counter at %lld Hz\n", static_cast<int>(8 * sizeof(void*)),
              static_cast<long long>(frequency.QuadPart));

  HWND bar = ShowProgressBar();
  std::vector<Row> rows;
  if (port != "none") TimeSerialCalls(port, rounds, bar, watch, rows);
  TimeClocks(watch, rows);
  rows.push_back(TimeProgressSteps(bar, bar_cycles, watch, true));
  rows.push_back(TimeProgressSteps(bar, bar_cycles, watch, false));
  DestroyWindow(GetParent(bar));
  PrintTable(rows);
  return 0;
}
