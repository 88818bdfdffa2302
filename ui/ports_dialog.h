#pragma once
#include <string>
#include <vector>

#include "ui/port_leads.h"
#include "winlayer/dialog.h"

// The ports dialog, opened from the main dialog's system menu: which of the
// computer's COM ports Port 1 and Port 2 lead to. OK keeps the choice, Cancel
// leaves everything as it was.
class CPortsDialog : public CDialog {
 public:
  explicit CPortsDialog(PortLeads& leads, CWnd* parent = nullptr);

 protected:
  BOOL OnInitDialog() override;
  void OnOK() override;

 private:
  // Selects the port a button leads to in its list, and opens the list as
  // wide as its longest line.
  void ShowChosen(int listId, const std::string& chosen);
  std::string ChosenIn(int listId) const;

  PortLeads& m_leads;
  // The ports each list offers, in the order shown: the computer's, then one a
  // button leads to that the computer does not have.
  std::vector<std::string> m_ports;
};
