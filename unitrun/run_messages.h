#pragma once
#include <string>

#include "banner/run_result.h"
#include "network/network_address.h"
#include "unitrun/ports_to_program.h"

// What korvel-program tells the person about a run, naming the port as they
// gave it. message_length is how many bytes of the message frame go out.

// How a run ended: programmed, or why not and what to do. The device the
// port leads to is what the system is asked about for advice.
std::string OutcomeText(const PortToProgram& port, const RunResult& result, int message_length);

// What is wrong with the network address name, as a refusal of it.
std::string AddressFaultText(const std::string& name, const AddressFault& fault);

// "removed the stale lock /var/lock/LCK..ttyUSB0 of pid 4711, which no longer runs".
std::string StaleLockText(const StaleLock& lock);

