#include "settings/port_choice.h"

#include <cctype>
#include <cstddef>
#include <vector>

#include "serial/com_port_name.h"

namespace {

const char kSection[] = "Ports";
const char kPort1[] = "Port1";
const char kPort2[] = "Port2";
const char kByteOrderMark[] = "\xEF\xBB\xBF";

std::string Trimmed(const std::string& text) {
  const std::size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return std::string();
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

bool SameName(const std::string& a, const char* b) {
  std::size_t i = 0;
  for (; i < a.size() && b[i] != '\0'; ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return i == a.size() && b[i] == '\0';
}

// One line of the file and what it is.
struct IniLine {
  std::string text;  // without its line end
  enum Kind { kOther, kSection, kKey } kind = kOther;
  std::string name;   // the section's or the key's, trimmed
  std::string value;  // the key's, trimmed, without enclosing quotes
};

IniLine Read(std::string text) {
  IniLine line;
  line.text = text;
  const std::string trimmed = Trimmed(text);
  if (trimmed.empty() || trimmed[0] == ';' || trimmed[0] == '#') return line;
  if (trimmed[0] == '[') {
    const std::size_t end = trimmed.find(']');
    if (end == std::string::npos) return line;
    line.kind = IniLine::kSection;
    line.name = Trimmed(trimmed.substr(1, end - 1));
    return line;
  }
  const std::size_t equals = trimmed.find('=');
  if (equals == std::string::npos) return line;
  line.kind = IniLine::kKey;
  line.name = Trimmed(trimmed.substr(0, equals));
  line.value = Trimmed(trimmed.substr(equals + 1));
  if (line.value.size() >= 2 && line.value.front() == '"' && line.value.back() == '"') {
    line.value = line.value.substr(1, line.value.size() - 2);
  }
  return line;
}

// The file's lines; a byte-order mark stays with the first, outside its text.
std::vector<IniLine> Lines(const std::string& text, std::string* mark) {
  std::size_t start = 0;
  mark->clear();
  if (text.compare(0, 3, kByteOrderMark) == 0) {
    *mark = kByteOrderMark;
    start = 3;
  }
  std::vector<IniLine> lines;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(Read(line));
    start = end + 1;
  }
  return lines;
}

// Where each key is taken from: the first line of it in a [Ports] section.
struct PortLines {
  int section = -1;  // the first [Ports] header
  int port1 = -1, port2 = -1;
};

PortLines Find(const std::vector<IniLine>& lines) {
  PortLines found;
  bool inPorts = false;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const IniLine& line = lines[i];
    if (line.kind == IniLine::kSection) {
      inPorts = SameName(line.name, kSection);
      if (inPorts && found.section < 0) found.section = static_cast<int>(i);
    } else if (line.kind == IniLine::kKey && inPorts) {
      if (SameName(line.name, kPort1) && found.port1 < 0) found.port1 = static_cast<int>(i);
      if (SameName(line.name, kPort2) && found.port2 < 0) found.port2 = static_cast<int>(i);
    }
  }
  return found;
}

void Take(const std::vector<IniLine>& lines, int at, std::string* port) {
  std::string name;
  if (at >= 0 && ComPortName(lines[static_cast<std::size_t>(at)].value, &name)) *port = name;
}

}  // namespace

PortChoice PortChoiceFromIni(const std::string& text) {
  std::string mark;
  const std::vector<IniLine> lines = Lines(text, &mark);
  const PortLines found = Find(lines);
  PortChoice choice;
  Take(lines, found.port1, &choice.port1);
  Take(lines, found.port2, &choice.port2);
  // Two buttons on one port would hold it from each other.
  if (choice.port1 == choice.port2) return PortChoice();
  return choice;
}

std::string IniWithPortChoice(const std::string& text, const PortChoice& choice) {
  std::string mark;
  std::vector<IniLine> lines = Lines(text, &mark);
  PortLines found = Find(lines);
  if (found.section < 0) {
    if (!lines.empty() && !Trimmed(lines.back().text).empty()) lines.push_back(Read(""));
    lines.push_back(Read(std::string("[") + kSection + "]"));
    found.section = static_cast<int>(lines.size()) - 1;
  }
  // A missing key goes after the section's last key line, or its header.
  auto place = [&lines, &found](int at, const char* key, const std::string& value) {
    const std::string text = std::string(key) + "=" + value;
    if (at >= 0) {
      lines[static_cast<std::size_t>(at)] = Read(text);
      return;
    }
    std::size_t after = static_cast<std::size_t>(found.section);
    for (std::size_t i = after + 1; i < lines.size() && lines[i].kind != IniLine::kSection; ++i) {
      if (lines[i].kind == IniLine::kKey) after = i;
    }
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(after) + 1, Read(text));
  };
  place(found.port1, kPort1, choice.port1);
  found = Find(lines);
  place(found.port2, kPort2, choice.port2);

  std::string out = mark;
  for (const IniLine& line : lines) out += line.text + "\r\n";
  return out;
}
