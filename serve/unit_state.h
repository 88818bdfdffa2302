#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// A unit's lines, as given: none, one or two.
using Lines = std::vector<std::string>;

// What is kept of a unit across restarts: the text it should show, and the
// text it was last known to show (none when a run was cut short: the unit
// may show anything).
struct UnitState {
  Lines wanted;
  std::optional<Lines> shown = Lines{};
  std::int64_t wanted_since_ms = 0;  // times since the epoch, 0 for never
  std::int64_t shown_since_ms = 0;
};

// Writes a file of folder dir whole: to a new file, flushed to the disk, then
// renamed over the old one, so that a stop at any moment leaves the old file
// or the new one. False with the system's error code otherwise.
bool WriteFileWhole(const std::string& dir, const std::string& name, const std::string& bytes,
                    int* error_code);

// Each unit's state as a file of its own in a folder, written so that a
// stop at any moment leaves the old state or the new one, never a mix.
class UnitStateFolder {
 public:
  explicit UnitStateFolder(std::string dir) : dir_(std::move(dir)) {}

  // The unit's state; a unit never seen has an empty wanted and shown text.
  // A file that cannot be read or understood also gives that, and says why.
  UnitState Read(const std::string& unit, std::string* problem) const;

  // Writes the whole state: to a new file, flushed to the disk, then renamed
  // over the old one. False with the system's error code otherwise.
  bool Write(const std::string& unit, const UnitState& state, int* error_code) const;

  const std::string& dir() const { return dir_; }

 private:
  std::string PathOf(const std::string& unit) const { return dir_ + "/" + FileOf(unit); }
  static std::string FileOf(const std::string& unit) { return unit + ".json"; }

  std::string dir_;
};
