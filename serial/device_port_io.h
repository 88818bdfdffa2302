#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "serial/port_error.h"
#include "serial/port_io.h"
#include "serial/serial_device.h"
#include "serial/uart_register_file.h"

// The UART registers at each base played by a serial device of the system,
// for systems that do not let a program touch I/O ports: writes to the line
// and modem control registers become the device's settings, status reads come
// from its queues and modem lines. Each system opens its own kind of device
// (OpenDevice).
//
// A port is opened on its first use and stays open until the object dies.
// A port that could not be opened is tried again on the next write or
// Present() call, so an adapter plugged in later is found without a restart;
// why it could not be opened is kept (LastError). One that went away while
// open (an adapter pulled out, a server that closed the connection) is tried
// again only on the next write, such as the next run's set-up. While a port
// is closed its registers read 0xFF, like a missing UART, and writes to it go
// nowhere.
class DevicePortIo : public PortIo {
 public:
  // A UART base and the device it leads to.
  struct Line {
    std::uint16_t base;
    std::string device;
  };

  // The longest a status read waits for a byte, or for CTS to rise: short
  // beside the driver's time limits, which it counts across reads, and long
  // enough that a waiting program leaves the processor to others.
  static constexpr int kIdleWaitMs = 50;

  DevicePortIo(const DevicePortIo&) = delete;
  DevicePortIo& operator=(const DevicePortIo&) = delete;

  std::uint8_t In(std::uint16_t address) final;
  void Out(std::uint16_t address, std::uint8_t value) final;
  bool Present(std::uint16_t base) final;
  PortError LastError(std::uint16_t base) const final;

  // What the device said of why it went, where the system's code does not
  // say it (the program holding the line); empty otherwise.
  std::string LastErrorDetail(std::uint16_t base) const;

  // The stale locks removed while opening ports since the last call.
  std::vector<StaleLock> TakeRemovedLocks();

  // From now on the UART at base is played by this device: the one it had is
  // closed, and the new one is opened on the next use with the settings last
  // programmed. A base it does not play is left alone.
  void LeadTo(std::uint16_t base, const std::string& device);
  // All that is known of why the port was last found missing: the error, the
  // detail, and a serial server's fault or mix-up.
  DeviceError LastDeviceError(std::uint16_t base) const;

 protected:
  explicit DevicePortIo(std::vector<Line> lines);

  // The device by its name, open; null with why when it cannot be.
  virtual std::unique_ptr<SerialDevice> OpenDevice(const std::string& name, DeviceError* why) = 0;

  // For OpenDevice: a stale lock it removed on the way, for the user to hear of.
  void RemovedLock(StaleLock lock) { removed_locks_.push_back(std::move(lock)); }

 private:
  struct Port {
    std::uint16_t base;
    std::string name;
    std::unique_ptr<SerialDevice> device;  // null while closed
    bool receiver_seen_empty = false;      // by the status read just before
    bool cts_seen_down = false;            // by the last modem status read
    UartRegisterFile registers;
    PortError error;
    DeviceError why;  // all else known of why it was last found missing
  };

  Port* PortAt(std::uint16_t address, int* offset);
  // The status registers as a 16550 builds them, from what the device knows.
  static std::uint8_t LineStatusFrom(const QueueFacts& queues);
  static std::uint8_t ModemStatusFrom(const ModemLines& lines);
  bool Open(Port& port);
  void WentAway(Port& port);

  std::vector<Port> ports_;
  std::vector<StaleLock> removed_locks_;
};
