#pragma once
#include <string>

// Programs the unit on a port with a message text, the same run as the
// utility's Program button: InitPort, the blank frame, the pause, the message
// frame, each byte answered. Shows progress on stderr when it is a terminal
// and a result line when the run went well (neither when quiet); always says
// why a run failed. Gives the exit status.
int ProgramUnit(const std::string& port, const std::string& device, const std::string& text,
                bool quiet);
