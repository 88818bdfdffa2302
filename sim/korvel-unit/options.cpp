#include "sim/korvel-unit/options.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>

#include "options/option_reader.h"

namespace {

bool ParseNumber(const std::string& text, long low, long high, long& value) {
  if (text.empty() || !std::isdigit(static_cast<unsigned char>(text[0]))) return false;
  char* end = nullptr;
  errno = 0;
  const long parsed = std::strtol(text.c_str(), &end, 10);
  if (errno != 0 || *end != '\0' || parsed < low || parsed > high) return false;
  value = parsed;
  return true;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// Pairs of hex digits, each pair optionally led by 0x and the pairs
// optionally set apart by spaces, commas or colons: "15", "15 3F", "0x15,0x3f".
bool ParseHexBytes(const std::string& text, std::vector<std::uint8_t>& bytes) {
  std::vector<std::uint8_t> parsed;
  std::size_t i = 0;
  while (i < text.size()) {
    const char c = text[i];
    if (c == ' ' || c == ',' || c == ':') {
      ++i;
      continue;
    }
    if (c == '0' && i + 1 < text.size() && (text[i + 1] == 'x' || text[i + 1] == 'X')) i += 2;
    if (i + 1 >= text.size()) return false;
    const int high = HexDigit(text[i]);
    const int low = HexDigit(text[i + 1]);
    if (high < 0 || low < 0) return false;
    parsed.push_back(static_cast<std::uint8_t>(high * 16 + low));
    i += 2;
  }
  if (parsed.empty()) return false;
  bytes.insert(bytes.end(), parsed.begin(), parsed.end());
  return true;
}

// A whole number from low to high; anything else is refused saying what is wanted.
template <typename Number>
ValueReader WholeNumber(long low, long high, const std::string& wanted, Number* set) {
  return [=](const std::string& value, std::string* complaint) {
    long number = 0;
    if (!ParseNumber(value, low, high, number)) {
      *complaint = "wants " + wanted + ", not '" + value + "'";
      return false;
    }
    *set = static_cast<Number>(number);
    return true;
  };
}

ValueReader HexByte(std::uint8_t* set) {
  return [set](const std::string& value, std::string* complaint) {
    std::vector<std::uint8_t> bytes;
    if (!ParseHexBytes(value, bytes) || bytes.size() != 1) {
      *complaint = "wants one byte in hex, such as 06, not '" + value + "'";
      return false;
    }
    *set = bytes[0];
    return true;
  };
}

// Each time given, more bytes after those given before.
ValueReader MoreHexBytes(std::vector<std::uint8_t>* bytes) {
  return [bytes](const std::string& value, std::string* complaint) {
    if (!ParseHexBytes(value, *bytes)) {
      *complaint = "wants bytes in hex, such as \"15 3F\", not '" + value + "'";
      return false;
    }
    return true;
  };
}

}  // namespace

bool ParseOptions(const std::vector<std::string>& args, ToolOptions& options, std::string& error) {
  UnitBehaviour& unit = options.behaviour;
  bool no_answer = false;
  const std::vector<Option> table = {
      Flag("--help", "-h", &options.help),
      Value("--line-speed",
            WholeNumber(50, 4000000, "a baud rate from 50 to 4000000", &options.line_speed)),
      Flag("--no-spin", "", &options.no_spin),
      Flag("--no-answer", "", &no_answer),
      Value("--answer-delay",
            WholeNumber(0, 600000, "milliseconds from 0 to 600000", &unit.answer_delay_ms)),
      Value("--answer-byte", HexByte(&unit.answer_byte)),
      Value("--extra", WholeNumber(0, 4096, "a count from 0 to 4096", &unit.extra_answer_bytes)),
      Value("--stale", MoreHexBytes(&unit.stale_bytes)),
      Value("--path-file", &options.path_file),
      Value("--log", &options.log_file),
      Value("--frames", &options.frames_file),
      Value("--count",
            WholeNumber(1, 1000000000, "a number of frames of at least 1", &options.count)),
  };
  if (!ReadOptions(args, table, nullptr, &error)) return false;
  if (no_answer) unit.answers = false;
  return true;
}

const char* UsageText() {
  return R"(Usage: korvel-unit [OPTION]...
Puts a simulated KORVEL display unit on a new pseudo-terminal. The first line
printed is the terminal's path (unless --path-file is given); open it as the
serial port. The unit answers every byte it receives, and each complete frame
(up to and including SUB, 0x1A) is printed as the unit's display shows it.

Line:
  --line-speed BAUD   emulate a serial line at BAUD: each byte takes 10 bits'
                      time to arrive, and so does each answer byte
                      (default: off, bytes pass at once)
  --no-spin           sleep out each byte's time instead of spinning its last
                      200 us on the clock: a little late, but it leaves the
                      processors free when many units run on one machine

Misbehaviours:
  --no-answer         never answer
  --answer-delay MS   answer MS milliseconds after a byte arrives
  --answer-byte HEX   answer with this byte (default 06)
  --extra N           follow each answer with N more copies of the answer byte
  --stale HEX         after answering a frame's end byte, also send these bytes
                      (hex pairs such as 15 or "15 3F"; may be repeated)
  A pseudo-terminal has no modem lines, so this tool cannot withhold CTS.

Output:
  --path-file FILE    write the terminal's path to FILE instead of stdout
  --log FILE          write every byte received as "<microseconds> <hex>", one
                      a line, timed by the monotonic clock, flushed per byte
  --frames FILE       append each complete frame's bytes in hex, one frame a line
  --count N           exit after N complete frames
  --help              show this text and exit

Stops cleanly on SIGINT or SIGTERM. Exit status: 0 when stopped or done,
1 when the pseudo-terminal or a file cannot be set up, 2 for a usage mistake.
)";
}
