#pragma once
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "banner/run_result.h"
#include "unitrun/ports_to_program.h"

class DevicePortIo;
class NetworkPortIo;

// Told each time a byte of a frame has been answered: the frame, and how many
// of its bytes so far.
using AnsweredFn = std::function<void(RunPhase phase, int sent)>;
// Told again and again while a wait of one byte lasts: the frame, the
// byte's position in it (from 0), what it waits for, how long so far.
using WaitingFn =
    std::function<void(RunPhase phase, int position, UartWait wait, std::int64_t waited_ms)>;
// Asked between two bytes and during their waits; true ends the run there,
// nothing more sent.
using StopFn = std::function<bool()>;

// What a front end hears of a run, and how it stops one; any may be empty.
struct RunHooks {
  AnsweredFn answered;
  WaitingFn waiting;
  StopFn stop_now;
};

// How one unit's run went.
struct UnitReport {
  PortToProgram port;
  RunResult result;
  int exit_status = 0;
  int bytes_answered = 0;  // bytes that went out and were answered, both frames
  double seconds = 0;      // from opening the port to the end of the run
  std::vector<StaleLock> removed_locks;  // taken from programs that no longer ran
};

// The line to one unit, held from the first Hold() or run until the object
// goes: a gateway keeps its units' lines as long as it runs, so that no other
// program sends into a unit between two of its runs.
class UnitLine {
 public:
  explicit UnitLine(PortToProgram port);
  ~UnitLine();
  UnitLine(const UnitLine&) = delete;
  UnitLine& operator=(const UnitLine&) = delete;

  const PortToProgram& port() const { return port_; }

  // Opens the line now when it is not open; false with why when it cannot be.
  // Stale locks removed on the way are told in removed.
  bool Hold(RunResult* why, std::vector<StaleLock>* removed);

  // Programs the unit with a message text, the same run as the utility's
  // Program button: InitPort, the blank frame, the pause, the message frame,
  // each byte answered. Stops, between two bytes or within a wait, once
  // hooks.stop_now says so.
  UnitReport Program(const std::string& text, const RunHooks& hooks);
  // The same, for a front end that does not show waits.
  UnitReport Program(const std::string& text, const AnsweredFn& answered, const StopFn& stop_now) {
    return Program(text, RunHooks{answered, WaitingFn(), stop_now});
  }

 private:
  PortToProgram port_;
  std::unique_ptr<DevicePortIo> io_;
  NetworkPortIo* network_ = nullptr;  // io_, when the port is a serial server
};

// One run on a line opened for it and let go after it.
UnitReport ProgramUnit(const PortToProgram& port, const std::string& text,
                       const RunHooks& hooks);
