#pragma once
#include <cstdio>

// What korvel-program asks of the system it runs on about its terminal and
// its stop requests; each system has its file.

bool IsTerminal(std::FILE* stream);

// From now on Ctrl-C and the system's requests to stop only set a flag, so
// that a run ends where it is, between two bytes or within a wait, and
// leaves the port as it found it.
void CatchStopRequests();
bool StopRequested();

// Bytes above 0x7F are shown as UTF-8: the console is told so while the
// program runs (Windows); elsewhere nothing needs doing.
void UseUtf8Output();
