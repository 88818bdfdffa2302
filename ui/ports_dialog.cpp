#include "ui/ports_dialog.h"

#include <windows.h>

#include <algorithm>

#include "res/resource.h"
#include "serial/port_error.h"
#include "unitrun/port_description.h"
#include "unitrun/system_ports.h"
#include "winlayer/resource_text.h"

namespace {

// The system names its ports in UTF-8 and the string table's texts are in
// the ANSI code page; a list shows either.
std::wstring Wide(const std::string& text, UINT codePage) {
  const int size = ::MultiByteToWideChar(codePage, 0, text.c_str(), -1, nullptr, 0);
  if (size <= 1) return std::wstring();
  std::wstring out(static_cast<std::size_t>(size), L'\0');
  ::MultiByteToWideChar(codePage, 0, text.c_str(), -1, &out[0], size);
  out.pop_back();
  return out;
}

}  // namespace

CPortsDialog::CPortsDialog(PortLeads& leads, CWnd* parent)
    : CDialog(IDD_PORTS, parent), m_leads(leads) {}

BOOL CPortsDialog::OnInitDialog() {
  CDialog::OnInitDialog();
  ::SetWindowTextA(m_hWnd, LoadResourceString(IDS_PORTS_CAPTION).c_str());
  ::SetWindowTextA(GetDlgItem(IDC_PORT1_LABEL), LoadResourceString(IDS_PORTS_PORT1).c_str());
  ::SetWindowTextA(GetDlgItem(IDC_PORT2_LABEL), LoadResourceString(IDS_PORTS_PORT2).c_str());

  std::vector<std::wstring> shown;
  for (const SystemPort& port : SystemPorts()) {
    m_ports.push_back(port.name);
    shown.push_back(Wide(PortDescriptionLine(port, 0), CP_UTF8));
  }
  const PortChoice choice = m_leads.Choice();
  for (const std::string& chosen : {choice.port1, choice.port2}) {
    if (std::find(m_ports.begin(), m_ports.end(), chosen) != m_ports.end()) continue;
    m_ports.push_back(chosen);
    shown.push_back(Wide(FormatResourceString(IDS_PORTS_ABSENT, {chosen}), CP_ACP));
  }
  for (int listId : {IDC_PORT1_LEADS, IDC_PORT2_LEADS}) {
    HWND list = GetDlgItem(listId);
    for (const std::wstring& text : shown) {
      ::SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
    }
  }
  ShowChosen(IDC_PORT1_LEADS, choice.port1);
  ShowChosen(IDC_PORT2_LEADS, choice.port2);
  return TRUE;
}

void CPortsDialog::ShowChosen(int listId, const std::string& chosen) {
  HWND list = GetDlgItem(listId);
  const auto at = std::find(m_ports.begin(), m_ports.end(), chosen);
  ::SendMessageW(list, CB_SETCURSEL, static_cast<WPARAM>(at - m_ports.begin()), 0);

  // A port's name may be longer than the list is wide: the open list is as
  // wide as its longest line.
  HDC dc = ::GetDC(list);
  HGDIOBJ font =
      ::SelectObject(dc, reinterpret_cast<HFONT>(::SendMessageW(list, WM_GETFONT, 0, 0)));
  LONG widest = 0;
  const LRESULT count = ::SendMessageW(list, CB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < count; ++i) {
    std::wstring text(static_cast<std::size_t>(::SendMessageW(list, CB_GETLBTEXTLEN, i, 0)) + 1,
                      L'\0');
    ::SendMessageW(list, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(&text[0]));
    SIZE size{};
    ::GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size() - 1), &size);
    widest = std::max(widest, size.cx);
  }
  ::SelectObject(dc, font);
  ::ReleaseDC(list, dc);
  const LONG margins = 2 * ::GetSystemMetrics(SM_CXEDGE) + ::GetSystemMetrics(SM_CXVSCROLL) + 8;
  ::SendMessageW(list, CB_SETDROPPEDWIDTH, static_cast<WPARAM>(widest + margins), 0);
}

std::string CPortsDialog::ChosenIn(int listId) const {
  const LRESULT at = ::SendMessageW(GetDlgItem(listId), CB_GETCURSEL, 0, 0);
  if (at < 0 || static_cast<std::size_t>(at) >= m_ports.size()) return std::string();
  return m_ports[static_cast<std::size_t>(at)];
}

void CPortsDialog::OnOK() {
  PortChoice choice;
  choice.port1 = ChosenIn(IDC_PORT1_LEADS);
  choice.port2 = ChosenIn(IDC_PORT2_LEADS);
  if (choice.port1 == choice.port2) {
    MessageBoxA(FormatResourceString(IDS_PORTS_SAME, {choice.port1}).c_str(), nullptr,
                MB_OK | MB_ICONWARNING);
    return;
  }
  unsigned long code = 0;
  if (!m_leads.Keep(choice, &code)) {
    MessageBoxA(FormatResourceString(IDS_PORTS_NOT_SAVED,
                                     {m_leads.KeptIn(), SystemErrorText(static_cast<int>(code))})
                    .c_str(),
                nullptr, MB_OK | MB_ICONWARNING);
    return;
  }
  EndDialog(IDOK);
}
