#include "serve/unit_state.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <sstream>

#include <nlohmann/json.hpp>

namespace {

using nlohmann::json;

bool LinesFrom(const json& value, Lines* lines) {
  if (!value.is_array() || value.size() > 2) return false;
  lines->clear();
  for (const json& line : value) {
    if (!line.is_string()) return false;
    lines->push_back(line.get<std::string>());
  }
  return true;
}

bool WriteAll(int fd, const std::string& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace

UnitState UnitStateFolder::Read(const std::string& unit, std::string* problem) const {
  UnitState state;
  problem->clear();
  std::ifstream file(PathOf(unit));
  if (!file) return state;  // never programmed by us
  std::stringstream text;
  text << file.rdbuf();
  const json saved = json::parse(text.str(), nullptr, false);
  Lines shown;
  const bool ok = saved.is_object() && saved.contains("wanted") &&
                  LinesFrom(saved["wanted"], &state.wanted) && saved.contains("shown") &&
                  (saved["shown"].is_null() || LinesFrom(saved["shown"], &shown));
  if (!ok) {
    *problem = PathOf(unit) + " is not a state this program wrote";
    return UnitState{};
  }
  state.shown = saved["shown"].is_null() ? std::nullopt : std::optional<Lines>(shown);
  state.wanted_since_ms = saved.value("wanted_since_ms", std::int64_t{0});
  state.shown_since_ms = saved.value("shown_since_ms", std::int64_t{0});
  return state;
}

bool UnitStateFolder::Write(const std::string& unit, const UnitState& state,
                            int* error_code) const {
  json saved = {{"wanted", state.wanted},
                {"shown", state.shown ? json(*state.shown) : json(nullptr)},
                {"wanted_since_ms", state.wanted_since_ms},
                {"shown_since_ms", state.shown_since_ms}};
  return WriteFileWhole(dir_, FileOf(unit), saved.dump() + "\n", error_code);
}

bool WriteFileWhole(const std::string& dir, const std::string& name, const std::string& bytes,
                    int* error_code) {
  const std::string path = dir + "/" + name;
  const std::string fresh = path + ".new";
  const int fd = open(fresh.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) {
    *error_code = errno;
    return false;
  }
  const bool written = WriteAll(fd, bytes) && fsync(fd) == 0;
  *error_code = written ? 0 : errno;
  if (close(fd) != 0 && written) *error_code = errno;
  if (*error_code != 0 || rename(fresh.c_str(), path.c_str()) != 0) {
    if (*error_code == 0) *error_code = errno;
    unlink(fresh.c_str());
    return false;
  }
  // The rename itself is kept only once the folder is flushed too.
  const int folder = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder >= 0) {
    fsync(folder);
    close(folder);
  }
  return true;
}
