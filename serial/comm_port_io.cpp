#include "serial/comm_port_io.h"

#include <windows.h>

#include "serial/uart_registers.h"

namespace {

using namespace uart;

// A line without modem signals (a pseudo-terminal, some adapters) counts as
// a unit that is always ready: CTS, DSR and carrier up.
constexpr std::uint8_t kLinesAssumedUp = kClearToSend | 0x20 | 0x80;

constexpr std::uint8_t kAbsent = 0xFF;  // what a missing UART reads as
constexpr DWORD kUartClock = 115200;    // baud rate at divisor 1
constexpr DWORD kWriteTimeoutMs = 1000;

HANDLE AsHandle(void* handle) { return static_cast<HANDLE>(handle); }

}  // namespace

CommPortIo::CommPortIo() {
  ports_[0].device = "\\\\.\\COM1";
  ports_[1].device = "\\\\.\\COM2";
}

CommPortIo::~CommPortIo() {
  for (Port& port : ports_) Close(port);
}

CommPortIo::Port* CommPortIo::PortAt(std::uint16_t address, int* offset) {
  if (address >= kCom1Base && address < kCom1Base + kRegisterCount) {
    *offset = address - kCom1Base;
    return &ports_[0];
  }
  if (address >= kCom2Base && address < kCom2Base + kRegisterCount) {
    *offset = address - kCom2Base;
    return &ports_[1];
  }
  return nullptr;
}

bool CommPortIo::Open(Port& port) {
  HANDLE handle = CreateFileA(port.device, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              0, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;

  // Some systems hand out a handle for a port name that leads to no serial
  // line; only one that takes port settings counts as open.
  DCB settings{};
  settings.DCBlength = sizeof settings;
  COMMTIMEOUTS timeouts{};
  timeouts.ReadIntervalTimeout = MAXDWORD;  // with both totals 0: reads never wait
  timeouts.WriteTotalTimeoutConstant = kWriteTimeoutMs;
  if (!GetCommState(handle, &settings) || !SetCommTimeouts(handle, &timeouts)) {
    CloseHandle(handle);
    return false;
  }

  port.handle = handle;
  port.modem_lines_unsupported = false;
  port.receiver_seen_empty = false;
  // Opened halfway through programming the divisor: the line settings follow
  // when the latch closes.
  if (!(port.line_control & kDivisorLatch)) ApplyLineSettings(port);
  ApplyModemControl(port);
  return true;
}

void CommPortIo::Close(Port& port) {
  if (port.handle != nullptr) {
    CloseHandle(AsHandle(port.handle));
    port.handle = nullptr;
  }
}

// An open handle can outlive its device (an adapter pulled out); such a
// port is closed so that the next attempt opens it afresh.
bool CommPortIo::IsAlive(Port& port) {
  DWORD errors = 0;
  COMSTAT status{};
  if (ClearCommError(AsHandle(port.handle), &errors, &status)) return true;
  Close(port);
  return false;
}

bool CommPortIo::ApplyLineSettings(Port& port) {
  const DWORD divisor = (DWORD{port.divisor_high} << 8) | port.divisor_low;
  if (divisor == 0) return false;  // no such rate: the port keeps the one it has

  DCB settings{};
  settings.DCBlength = sizeof settings;
  if (!GetCommState(AsHandle(port.handle), &settings)) return false;

  const std::uint8_t line = port.line_control;
  settings.BaudRate = kUartClock / divisor;
  settings.ByteSize = static_cast<BYTE>(5 + (line & 0x03));
  if (line & kTwoStopBits) {
    settings.StopBits = settings.ByteSize == 5 ? ONE5STOPBITS : TWOSTOPBITS;
  } else {
    settings.StopBits = ONESTOPBIT;
  }
  if (line & kParityOn) {
    static const BYTE kParities[4] = {ODDPARITY, EVENPARITY, MARKPARITY, SPACEPARITY};
    settings.Parity = kParities[(line >> 4) & 0x03];
    settings.fParity = TRUE;
  } else {
    settings.Parity = NOPARITY;
    settings.fParity = FALSE;
  }

  // The driver does the handshake itself by polling; the port must not hold
  // bytes back or change any byte on its own.
  settings.fBinary = TRUE;
  settings.fOutxCtsFlow = FALSE;
  settings.fOutxDsrFlow = FALSE;
  settings.fDsrSensitivity = FALSE;
  settings.fOutX = FALSE;
  settings.fInX = FALSE;
  settings.fErrorChar = FALSE;
  settings.fNull = FALSE;
  settings.fAbortOnError = FALSE;
  settings.fDtrControl = (port.modem_control & kDtr) ? DTR_CONTROL_ENABLE : DTR_CONTROL_DISABLE;
  settings.fRtsControl = (port.modem_control & kRts) ? RTS_CONTROL_ENABLE : RTS_CONTROL_DISABLE;
  return SetCommState(AsHandle(port.handle), &settings) != FALSE;
}

void CommPortIo::ApplyModemControl(Port& port) {
  // A line without modem signals refuses these; that is no fault.
  HANDLE handle = AsHandle(port.handle);
  EscapeCommFunction(handle, (port.modem_control & kDtr) ? SETDTR : CLRDTR);
  EscapeCommFunction(handle, (port.modem_control & kRts) ? SETRTS : CLRRTS);
}

std::uint8_t CommPortIo::LineStatus(Port& port) {
  // One call gives both queues: the status register is polled hard.
  DWORD errors = 0;
  COMSTAT status{};
  if (!ClearCommError(AsHandle(port.handle), &errors, &status)) {
    Close(port);
    return kAbsent;
  }
  std::uint8_t value = 0;
  port.receiver_seen_empty = status.cbInQue == 0;
  if (status.cbInQue > 0) value |= kDataReady;
  if (status.cbOutQue == 0) value |= kHoldingEmpty | kTransmitterEmpty;
  if (errors & CE_OVERRUN) value |= kOverrun;
  if (errors & CE_RXPARITY) value |= kParityError;
  if (errors & CE_FRAME) value |= kFramingError;
  if (errors & CE_BREAK) value |= kBreak;
  return value;
}

std::uint8_t CommPortIo::ModemStatus(Port& port) {
  if (port.modem_lines_unsupported) return kLinesAssumedUp;
  DWORD lines = 0;
  if (GetCommModemStatus(AsHandle(port.handle), &lines)) {
    // The signal bits have the same places as in the modem status register.
    return static_cast<std::uint8_t>(lines & (MS_CTS_ON | MS_DSR_ON | MS_RING_ON | MS_RLSD_ON));
  }
  if (GetLastError() == ERROR_NOT_SUPPORTED) {
    // Asked once: the answer will not change while the port is open.
    port.modem_lines_unsupported = true;
    return kLinesAssumedUp;
  }
  return 0;
}

std::uint8_t CommPortIo::ReceiveByte(Port& port, bool seen_empty) {
  // A read that finds nothing is by far the dearest call here, and the driver
  // reads the receive buffer once after every status read that found it
  // empty. A byte arriving in between stays for the next status read, as it
  // would had it come a moment later.
  if (seen_empty) return 0;
  std::uint8_t value = 0;
  DWORD count = 0;
  if (!ReadFile(AsHandle(port.handle), &value, 1, &count, nullptr) || count != 1) return 0;
  return value;
}

void CommPortIo::TransmitByte(Port& port, std::uint8_t value) {
  DWORD count = 0;
  WriteFile(AsHandle(port.handle), &value, 1, &count, nullptr);
}

std::uint8_t CommPortIo::In(std::uint16_t address) {
  int offset = 0;
  Port* port = PortAt(address, &offset);
  if (port == nullptr || port->handle == nullptr) return kAbsent;

  // Only the access right after a status read may rely on what it saw.
  const bool seen_empty = port->receiver_seen_empty;
  port->receiver_seen_empty = false;

  const bool latch_open = (port->line_control & kDivisorLatch) != 0;
  switch (offset) {
    case kData:
      return latch_open ? port->divisor_low : ReceiveByte(*port, seen_empty);
    case kInterruptEnable:
      return latch_open ? port->divisor_high : port->interrupt_enable;
    case kFifoControl:
      // Interrupt identification: none pending, FIFOs as programmed.
      return (port->fifo_control & kFifoEnable) ? 0xC1 : 0x01;
    case kLineControl:
      return port->line_control;
    case kModemControl:
      return port->modem_control;
    case kLineStatus:
      return LineStatus(*port);
    case kModemStatus:
      return ModemStatus(*port);
    case kScratch:
      return port->scratch;
  }
  return kAbsent;
}

void CommPortIo::Out(std::uint16_t address, std::uint8_t value) {
  int offset = 0;
  Port* port = PortAt(address, &offset);
  if (port == nullptr) return;
  port->receiver_seen_empty = false;

  // The registers are kept even while the port is closed, so that a port
  // opened later gets the settings last programmed.
  const bool open = port->handle != nullptr || Open(*port);
  const bool latch_open = (port->line_control & kDivisorLatch) != 0;
  switch (offset) {
    case kData:
      if (latch_open) {
        port->divisor_low = value;
      } else if (open) {
        TransmitByte(*port, value);
      }
      break;
    case kInterruptEnable:
      if (latch_open) {
        port->divisor_high = value;
      } else {
        port->interrupt_enable = value;
      }
      break;
    case kFifoControl: {
      port->fifo_control = value;
      DWORD purge = 0;
      if (value & kClearReceiver) purge |= PURGE_RXCLEAR;
      if (value & kClearTransmitter) purge |= PURGE_TXCLEAR;
      if (open && purge != 0) PurgeComm(AsHandle(port->handle), purge);
      break;
    }
    case kLineControl:
      port->line_control = value;
      // Settings take effect when the divisor latch closes.
      if (open && !(value & kDivisorLatch)) ApplyLineSettings(*port);
      break;
    case kModemControl:
      port->modem_control = value;
      if (open) ApplyModemControl(*port);
      break;
    case kScratch:
      port->scratch = value;
      break;
    default:  // the status registers are read-only
      break;
  }
}

bool CommPortIo::Present(std::uint16_t base) {
  int offset = 0;
  Port* port = PortAt(base, &offset);
  if (port == nullptr || offset != 0) return false;
  if (port->handle != nullptr && IsAlive(*port)) return true;
  return Open(*port);
}
