#include "unitrun/run_messages.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>

#include "network/network_address.h"
#include "serial/port_error.h"

namespace {

// A port named as PortsToProgram names it, without asking the system.
PortToProgram Port(const std::string& name) {
  PortToProgram port{name, name, std::nullopt};
  NetworkAddress server;
  if (IsNetworkName(name) && ParseNetworkAddress(name, &server)) {
    port.device.clear();
    port.server = server;
  }
  return port;
}

bool Has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

RunResult Ended(RunOutcome outcome, RunPhase phase, int position, int system_code = 0) {
  RunResult result;
  result.outcome = outcome;
  result.phase = phase;
  result.position = position;
  result.system_code = system_code;
  return result;
}

// A silent unit, a missing or busy port, a hang-up and Ctrl-C are
// korvel_program_test's, through the program; here what a pseudo-terminal
// cannot bring about.
TEST(RunMessagesTest, AFailedRunNamesTheWaitTheFrameAndTheByte) {
  const struct {
    RunOutcome outcome;
    std::string says;
  } cases[] = {
      {RunOutcome::kNoCts, "did not signal that it was ready (CTS) within 3 s, at byte 13 of 14 "
                           "of the message frame"},
      {RunOutcome::kTransmitterStuck, "COM3 did not finish sending byte 13 of 14"},
      {RunOutcome::kReceiverFlooded, "kept sending for 3 s without a pause, before byte 13"},
  };
  for (const auto& c : cases) {
    const std::string text =
        OutcomeText(Port("COM3"), Ended(c.outcome, RunPhase::kMessage, 12), 14);
    EXPECT_TRUE(Has(text, c.says)) << text;
    EXPECT_TRUE(Has(text, "Check the cable and the unit's power")) << text;
  }
  EXPECT_EQ(OutcomeText(Port("COM3"), Ended(RunOutcome::kStopped, RunPhase::kBlank, 4), 14),
            "COM3: stopped at byte 5 of 61 of the blank frame; the unit has not got the whole "
            "banner");
}

TEST(RunMessagesTest, APortProblemNamesThePortTheSystemsReasonAndWhatToDo) {
  const std::string port = "/dev/korvel-test-port";
  const std::string denied = OutcomeText(Port(port), Ended(RunOutcome::kPortAccessDenied, RunPhase::kBlank, 0, EACCES), 61);
  // The system's words for its own code, whatever system this is.
  EXPECT_TRUE(Has(denied, "no permission to open " + port + " (" + SystemErrorText(EACCES) + ")."))
      << denied;
  const std::string other =
      OutcomeText(Port(port), Ended(RunOutcome::kPortFailed, RunPhase::kBlank, 0), 61);
  EXPECT_EQ(other, port + " could not be opened.");
  const std::string gone =
      OutcomeText(Port(port), Ended(RunOutcome::kPortWentAway, RunPhase::kMessage, 2, EIO), 9);
  EXPECT_TRUE(Has(gone, "stopped working during the run, at byte 3 of 9 of the message frame (" +
                            SystemErrorText(EIO) + ")"))
      << gone;
  EXPECT_EQ(OutcomeText(Port("COM3"), RunResult{}, 14),
            "COM3: programmed, blank frame 61 bytes and message frame 14 bytes, each answered");
}

TEST(RunMessagesTest, APortInUseNamesItsHolderOrSaysItCouldNotBeFoundOut) {
  RunResult held = Ended(RunOutcome::kPortInUse, RunPhase::kBlank, 0, EWOULDBLOCK);
  held.detail = "minicom (pid 4711)";
  EXPECT_EQ(OutcomeText(Port("/dev/ttyUSB0"), held, 61),
            "/dev/ttyUSB0 is in use by minicom (pid 4711); try again once it is done.");
  const std::string unknown =
      OutcomeText(Port("/dev/ttyUSB0"), Ended(RunOutcome::kPortInUse, RunPhase::kBlank, 0, EBUSY), 61);
  EXPECT_EQ(unknown, "/dev/ttyUSB0 is in use by another program, which could not be found out (" +
                         SystemErrorText(EBUSY) + "); try again once it is done.");
}

TEST(RunMessagesTest, AServerOfTheOtherKindIsNamedForWhatItIsWithTheNameToUse) {
  RunResult silent = Ended(RunOutcome::kPortFailed, RunPhase::kBlank, 0);
  silent.mix_up = ServerMixUp::kNoTelnetAnswer;
  silent.mix_up_bytes_sent = 9;
  const std::string text = OutcomeText(Port("rfc2217://box:3001"), silent, 61);
  EXPECT_EQ(text, "rfc2217://box:3001 could not be used: it did not answer Telnet's option "
                  "negotiation within 3 s. Is it an RFC 2217 server? A raw TCP server passes the "
                  "negotiation's 9 bytes on to the unit's line; one is reached with "
                  "socket://box:3001.");

  RunResult telnet = Ended(RunOutcome::kPortWentAway, RunPhase::kBlank, 1);
  telnet.mix_up = ServerMixUp::kTelnetServer;
  const std::string said = OutcomeText(Port("socket://[::1]:3001"), telnet, 61);
  EXPECT_TRUE(Has(said, "the run stopped at byte 2 of 61 of the blank frame")) << said;
  EXPECT_TRUE(Has(said, "reached with rfc2217://[::1]:3001.")) << said;

  // A unit behind a server that does not answer: the server is checked too.
  const std::string quiet = OutcomeText(Port("socket://box:3002"), Ended(RunOutcome::kNoAnswer, RunPhase::kBlank, 0), 61);
  EXPECT_TRUE(Has(quiet, "Check the serial server and its line to the unit")) << quiet;
  EXPECT_FALSE(Has(OutcomeText(Port("COM3"), Ended(RunOutcome::kNoAnswer, RunPhase::kBlank, 0),
                               61),
                   "serial server"));
}

// The serial server's faults come as kinds and values; the lines it was
// asked for and keeps are worded here, a code it made up among them.
TEST(RunMessagesTest, AServerFaultIsWordedWithTheLinesAndTheWait) {
  const std::string port = "rfc2217://box:3001";
  RunResult kept = Ended(RunOutcome::kPortFailed, RunPhase::kBlank, 0);
  kept.server.kind = ServerFault::Kind::kLineKept;
  kept.server.asked = ServerLine{9600, 8, ServerLine::Parity::kNone, ServerLine::Stop::kOne};
  kept.server.kept = ServerLine{4800, 7, ServerLine::Parity::kUnknown, ServerLine::Stop::kTwo};
  EXPECT_EQ(OutcomeText(Port(port), kept, 61),
            port + " could not be used: it keeps the line at 4800 baud, 7 data bits, an unknown "
                   "parity, 2 stop bits instead of 9600 baud, 8 data bits, no parity, 1 stop bit.");

  RunResult unconfirmed = Ended(RunOutcome::kPortFailed, RunPhase::kBlank, 0);
  unconfirmed.server.kind = ServerFault::Kind::kLineUnconfirmed;
  unconfirmed.server.asked = ServerLine{9600, 5, ServerLine::Parity::kMark,
                                        ServerLine::Stop::kOneAndAHalf};
  unconfirmed.server.seconds = 3;
  EXPECT_TRUE(Has(OutcomeText(Port(port), unconfirmed, 61),
                  "(9600 baud, 5 data bits, mark parity, 1.5 stop bits) within 3 s."));

  // Gone during the run with nothing more known: the connection broke.
  const std::string broke =
      OutcomeText(Port(port), Ended(RunOutcome::kPortWentAway, RunPhase::kMessage, 2), 9);
  EXPECT_TRUE(Has(broke, port + ": the connection broke during the run, at byte 3")) << broke;
}

TEST(RunMessagesTest, AMalformedAddressIsRefusedSayingWhatAndHowToWriteIt) {
  const struct {
    std::string name;
    std::string says;
  } cases[] = {
      {"rfc2217://host", "'rfc2217://host' has no port number: write HOST:PORT, such as "
                         "rfc2217://192.168.1.20:3001"},
      {"socket://host:0", "'socket://host:0': the port number must be from 1 to 65535, not '0'"},
      {"rfc2217://::1:3001", "'rfc2217://::1:3001': '::1' is no host name or address (an IPv6 "
                             "address goes in brackets)"},
      {"rfc2217://[]:3001", "an IPv6 address goes in brackets, such as [2001:db8::20]:3001"},
      {"socket://:3001", "'socket://:3001' names no host"},
      {"ftp://host:21", "'ftp://host:21': a network port is socket://HOST:PORT or "
                        "rfc2217://HOST:PORT"},
  };
  for (const auto& c : cases) {
    NetworkAddress address;
    AddressFault fault;
    ASSERT_FALSE(ParseNetworkAddress(c.name, &address, &fault)) << c.name;
    EXPECT_TRUE(Has(AddressFaultText(c.name, fault), c.says)) << AddressFaultText(c.name, fault);
  }
}

TEST(RunMessagesTest, AStopSaysWhetherTheByteItEndedAtWentOut) {
  RunResult stopped = Ended(RunOutcome::kStopped, RunPhase::kMessage, 4);
  EXPECT_EQ(OutcomeText(Port("COM3"), stopped, 14),
            "COM3: stopped at byte 5 of 14 of the message frame; the unit has not got the whole "
            "banner");
  stopped.byte_went_out = true;
  EXPECT_EQ(OutcomeText(Port("COM3"), stopped, 14),
            "COM3: stopped at byte 5 of 14 of the message frame, which went out unanswered; the "
            "unit has not got the whole banner");
}

}  // namespace
