#pragma once
#include <string>

#include "serial/uart_driver.h"

// The port's name as the operator knows it.
std::string PortName(int port);

// What the operator is told when a programming run on this port stopped with
// this status: what happened and what to do. Empty for a run that went well.
std::string RunFailureText(int port, SendStatus status);
