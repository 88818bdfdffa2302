#pragma once
#include <string>

#include "banner/run_result.h"

// The port's name as the operator knows it.
std::string PortName(int port);

// What the operator is told when a programming run on this port did not
// finish, from the string table: what happened and what to do. Empty for a
// run that went well.
std::string RunFailureText(int port, const RunResult& result);
