#include <windows.h>

#include <cctype>
#include <cstdlib>
#include <io.h>
#include <vector>

#include "cli/system.h"
#include "serial/com_port_name.h"
#include "serial/comm_port_io.h"

namespace {

volatile LONG g_stop = 0;
UINT g_console_output_page = 0;

BOOL WINAPI OnConsoleControl(DWORD) {
  InterlockedExchange(&g_stop, 1);
  return TRUE;
}

void RestoreConsoleOutput() { SetConsoleOutputCP(g_console_output_page); }

HANDLE HandleOf(std::FILE* stream) {
  return reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
}

}  // namespace

bool DeviceForPort(const std::string& port, std::string* device, std::string* refusal) {
  std::string name;
  if (!ComPortName(port, &name)) {
    *refusal = "--port takes a port such as COM1 or COM3, not '" + port + "'";
    return false;
  }
  *device = ComPortDevice(name);
  return true;
}

std::unique_ptr<DevicePortIo> SerialDevicePortIo(std::uint16_t base, const std::string& device) {
  return std::make_unique<CommPortIo>(std::vector<CommPortIo::Line>{{base, device}});
}

// "\\.\COM3" whatever case it was typed in.
std::string DeviceIdentity(const std::string& device) {
  std::string identity = device;
  for (char& c : identity) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return identity;
}

bool DeviceExists(const std::string& device) {
  // The system's name for the device: "COM3" for "\\\\.\\COM3".
  const std::string prefix = "\\\\.\\";
  const std::string name = device.rfind(prefix, 0) == 0 ? device.substr(prefix.size()) : device;
  char target[512];
  return QueryDosDeviceA(name.c_str(), target, sizeof target) != 0;
}

std::string AccessAdvice(const std::string&) { return std::string(); }

// Every name that is no COM port is refused before it is looked for.
std::string PortNameHint(const std::string&) { return std::string(); }

bool IsTerminal(std::FILE* stream) {
  DWORD mode = 0;
  return GetConsoleMode(HandleOf(stream), &mode) != FALSE;
}

void CatchStopRequests() { SetConsoleCtrlHandler(OnConsoleControl, TRUE); }

bool StopRequested() { return InterlockedCompareExchange(&g_stop, 0, 0) != 0; }

void UseUtf8Output() {
  // The console keeps its code page after the program ends: it is put back.
  if (!IsTerminal(stdout) || g_console_output_page != 0) return;
  g_console_output_page = GetConsoleOutputCP();
  SetConsoleOutputCP(CP_UTF8);
  std::atexit(RestoreConsoleOutput);
}
