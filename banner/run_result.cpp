#include "banner/run_result.h"

bool RunResult::port_failed() const {
  return outcome >= RunOutcome::kNoSuchPort && outcome <= RunOutcome::kPortFailed;
}

bool RunResult::unit_failed() const {
  return outcome >= RunOutcome::kReceiverFlooded && outcome <= RunOutcome::kNoAnswer;
}

RunResult PortFailure(const DeviceError& why) {
  RunResult result;
  result.outcome = OutcomeOf(SendStatus::kPortMissing, why.error);
  result.system_code = why.error.system_code;
  KeepDeviceError(why, &result);
  return result;
}

void KeepDeviceError(const DeviceError& why, RunResult* result) {
  result->detail = why.detail;
  result->server = why.server;
  result->mix_up = why.mix_up;
  result->mix_up_bytes_sent = why.bytes_sent;
  result->mix_up_bytes_back = why.bytes_back;
}

RunOutcome OutcomeOf(SendStatus status, const PortError& error) {
  switch (status) {
    case SendStatus::kSent:
      return RunOutcome::kProgrammed;
    case SendStatus::kReceiverFlooded:
      return RunOutcome::kReceiverFlooded;
    case SendStatus::kTransmitterStuck:
      return RunOutcome::kTransmitterStuck;
    case SendStatus::kNoCts:
      return RunOutcome::kNoCts;
    case SendStatus::kNoAnswer:
      return RunOutcome::kNoAnswer;
    case SendStatus::kGivenUp:
      return RunOutcome::kStopped;
    case SendStatus::kPortMissing:
      break;
  }
  switch (error.problem) {
    case PortProblem::kNoSuchPort:
      return RunOutcome::kNoSuchPort;
    case PortProblem::kInUse:
      return RunOutcome::kPortInUse;
    case PortProblem::kAccessDenied:
      return RunOutcome::kPortAccessDenied;
    case PortProblem::kWentAway:
      return RunOutcome::kPortWentAway;
    case PortProblem::kOther:
    case PortProblem::kNone:
      break;
  }
  return RunOutcome::kPortFailed;
}
