#pragma once
#include <cstdint>
#include <string>

#include <nlohmann/json.hpp>

#include "serve/unit_worker.h"

// A unit as GET /api/units/NAME shows it (and MQTT's state topic):
//   {"name":"window","title":"Shop window","port":"/dev/ttyUSB0",
//    "status":"programmed","lines":["GRAND OPENING","SATURDAY 10 AM"],
//    "lines_since":"2026-12-07T10:00:00.000Z","last_run":{...}}
// "lines" is null when what the unit shows is not known; "wanted" is there
// when it differs from "lines"; "why" and "next_try" while pending or failed;
// "progress" while programming. "last_run" is korvel-program's --json object
// of the last run, with the lines it sent and when it ended.
nlohmann::json SnapshotJson(const UnitSnapshot& unit);

// A run's result as korvel-program's --json gives it, with its lines and end.
nlohmann::json RunJson(const LastRun& run);

// A unit's progress: {"unit":"window","frame":"blank","sent":12,"of":61,"bar":6}.
nlohmann::json ProgressJson(const UnitSnapshot& unit);

const char* StatusWord(UnitStatus status);

// "2026-12-07T10:00:00.000Z".
std::string IsoTime(std::int64_t ms_since_epoch);
