#pragma once
#include <string>

#include "settings/port_choice.h"

// Where the main dialog's two port buttons lead, kept for the user.
class PortLeads {
 public:
  virtual ~PortLeads() = default;

  virtual PortChoice Choice() const = 0;

  // Keeps the choice and leads the buttons there from now on. False with the
  // system's error code when it could not be kept; nothing changes then.
  virtual bool Keep(const PortChoice& choice, unsigned long* systemCode) = 0;

  // Where the choice is kept, as the operator is told it.
  virtual std::string KeptIn() const = 0;
};
