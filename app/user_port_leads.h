#pragma once
#include <string>

#include "serial/device_port_io.h"
#include "ui/port_leads.h"

// The port buttons' leads as the user keeps them in korvel.ini, played by
// the serial devices behind the UARTs of COM1 (Port 1) and COM2 (Port 2).
class UserPortLeads : public PortLeads {
 public:
  // The devices of io already lead where choice says.
  UserPortLeads(DevicePortIo& io, const PortChoice& choice) : m_io(io), m_choice(choice) {}

  PortChoice Choice() const override { return m_choice; }
  bool Keep(const PortChoice& choice, unsigned long* systemCode) override;
  std::string KeptIn() const override;

 private:
  DevicePortIo& m_io;
  PortChoice m_choice;
};
