#pragma once
#include <string>

#include "banner/run_result.h"
#include "settings/port_choice.h"

// The COM port a port index leads to, as the operator knows it.
std::string PortName(int port, const PortChoice& leads);

// What the operator is told when a programming run on the port of this name
// did not finish, from the string table: what happened and what to do. Empty
// for a run that went well.
std::string RunFailureText(const std::string& portName, const RunResult& result);
