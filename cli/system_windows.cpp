#include <windows.h>

#include <cstdlib>
#include <io.h>

#include "cli/system.h"

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
