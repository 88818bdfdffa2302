#include "cli/program_units.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <thread>

#include "banner/frame.h"
#include "unitrun/program_unit.h"
#include "cli/progress_board.h"
#include "unitrun/run_messages.h"
#include "cli/system.h"
#include "unitrun/unit_json.h"

int ProgramUnits(const std::vector<PortToProgram>& ports, const std::string& text, bool quiet,
                 bool json) {
  CatchStopRequests();
  std::vector<std::string> names;
  for (const PortToProgram& port : ports) names.push_back(port.name);
  const int message_length = SentLength(MessageFrame(text));
  std::unique_ptr<ProgressBoard> board;
  if (!quiet && IsTerminal(stderr)) {
    board = std::make_unique<ProgressBoard>(stderr, names, message_length);
  }

  std::vector<UnitReport> reports(ports.size());
  const auto program = [&](std::size_t i) {
    RunHooks hooks;
    hooks.stop_now = StopRequested;
    if (board != nullptr) {
      hooks.answered = [&board, i](RunPhase phase, int sent) { board->Answered(i, phase, sent); };
      hooks.waiting = [&board, i](RunPhase phase, int position, UartWait wait,
                                  std::int64_t waited_ms) {
        board->Waiting(i, phase, position, wait, waited_ms);
      };
    }
    reports[i] = ProgramUnit(ports[i], text, hooks);
    if (board != nullptr) board->Finished(i, ResultWord(reports[i].result.outcome));
  };
  if (ports.size() == 1) {
    program(0);
  } else {
    std::vector<std::thread> runs;
    for (std::size_t i = 0; i < ports.size(); ++i) runs.emplace_back(program, i);
    for (std::thread& run : runs) run.join();
  }
  if (board != nullptr) board->Clear();

  int status = 0;
  for (const UnitReport& report : reports) {
    const std::string said = OutcomeText(report.port, report.result, message_length);
    if (!quiet) {
      for (const StaleLock& lock : report.removed_locks) {
        std::fprintf(stderr, "korvel-program: %s\n", StaleLockText(lock).c_str());
      }
    }
    if (!quiet || !report.result.ok()) std::fprintf(stderr, "korvel-program: %s\n", said.c_str());
    if (json) std::printf("%s\n", UnitJson(report, said).c_str());
    status = std::max(status, report.exit_status);
  }
  std::fflush(stdout);
  return status;
}
