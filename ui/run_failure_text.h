#pragma once
#include <string>

#include "serial/port_error.h"
#include "serial/uart_driver.h"

// The port's name as the operator knows it.
std::string PortName(int port);

// What the operator is told when a programming run on this port stopped with
// this status, from the string table: what happened and what to do. For a
// port that could not be used, error says why. Empty for a run that went well.
std::string RunFailureText(int port, SendStatus status, const PortError& error);
