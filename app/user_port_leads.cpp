#include "app/user_port_leads.h"

#include "serial/com_port_name.h"
#include "serial/uart_registers.h"
#include "settings/port_choice_file.h"

bool UserPortLeads::Keep(const PortChoice& choice, unsigned long* systemCode) {
  if (!SavePortChoice(choice, systemCode)) return false;
  m_io.LeadTo(uart::kCom1Base, ComPortDevice(choice.port1));
  m_io.LeadTo(uart::kCom2Base, ComPortDevice(choice.port2));
  m_choice = choice;
  return true;
}

std::string UserPortLeads::KeptIn() const { return PortChoiceFilePath(); }
