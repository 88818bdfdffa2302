#include "serve/snapshot_json.h"

#include <ctime>

#include "banner/frame.h"
#include "unitrun/unit_json.h"

using nlohmann::json;

const char* StatusWord(UnitStatus status) {
  switch (status) {
    case UnitStatus::kProgrammed: return "programmed";
    case UnitStatus::kPending: return "pending";
    case UnitStatus::kProgramming: return "programming";
    case UnitStatus::kFailed: return "failed";
  }
  return "failed";
}

std::string IsoTime(std::int64_t ms) {
  const std::time_t seconds = static_cast<std::time_t>(ms / 1000);
  std::tm utc{};
  gmtime_r(&seconds, &utc);
  char text[40];
  const std::size_t n = std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &utc);
  std::snprintf(text + n, sizeof text - n, ".%03dZ", static_cast<int>(ms % 1000));
  return text;
}

json RunJson(const LastRun& run) {
  json result = json::parse(UnitJson(run.report, run.said));
  result["lines"] = run.lines;
  result["ended"] = IsoTime(run.ended_ms);
  return result;
}

json ProgressJson(const UnitSnapshot& unit) {
  // Where the bar stands once byte sent - 1 of the frame is answered, as the
  // utility's bar stands: the blank frame fills 0..30, the message 30..60.
  const int base = unit.phase == RunPhase::kBlank ? 0 : kFrameSize / 2;
  return {{"unit", unit.name},
          {"frame", unit.phase == RunPhase::kBlank ? "blank" : "message"},
          {"sent", unit.sent},
          {"of", unit.of},
          {"bar", base + (unit.sent > 0 ? (unit.sent - 1) / 2 : 0)}};
}

json SnapshotJson(const UnitSnapshot& unit) {
  json out = {{"name", unit.name},
              {"title", unit.title},
              {"port", unit.port},
              {"status", StatusWord(unit.status)},
              {"lines", unit.state.shown ? json(*unit.state.shown) : json(nullptr)}};
  if (unit.state.shown_since_ms != 0 && unit.state.shown) {
    out["lines_since"] = IsoTime(unit.state.shown_since_ms);
  }
  if (unit.state.shown != unit.state.wanted) {
    out["wanted"] = unit.state.wanted;
    if (unit.state.wanted_since_ms != 0) out["wanted_since"] = IsoTime(unit.state.wanted_since_ms);
  }
  if (unit.status == UnitStatus::kPending || unit.status == UnitStatus::kFailed) {
    out["why"] = unit.why;
    out["next_try"] = unit.next_try_ms != 0 ? json(IsoTime(unit.next_try_ms)) : json(nullptr);
  }
  if (unit.status == UnitStatus::kProgramming) {
    json progress = ProgressJson(unit);
    progress.erase("unit");
    out["progress"] = progress;
  }
  out["last_run"] = unit.last_run ? RunJson(*unit.last_run) : json(nullptr);
  return out;
}
