#include "ui/programmer_dialog.h"

#include <commctrl.h>
#include <commdlg.h>

#include <cstdint>

#include "banner/banner_file.h"
#include "res/resource.h"
#include "ui/about_dialog.h"
#include "ui/ports_dialog.h"
#include "ui/run_failure_text.h"
#include "winlayer/paint_dc.h"
#include "winlayer/resource_text.h"

namespace {

// The bar covers a whole run: 0..30 for the blank frame, 30..60 for the message.
constexpr short kProgressEnd = 60;

// During a run the bar takes every position but is drawn at most this often:
// a screen's refresh is plenty to watch, and under Wine drawing it costs
// about as much as a byte on the line.
constexpr std::int64_t kBarFrameMs = 16;

// System commands keep their low four bits for the system's own use.
constexpr UINT kSystemCommandMask = 0xFFF0;

}  // namespace

POINT MinimisedIconOrigin(int clientWidth, int clientHeight, int iconWidth, int iconHeight) {
  POINT origin;
  origin.x = (clientWidth - iconWidth + 1) / 2;
  origin.y = (clientHeight - iconHeight + 1) / 2;
  return origin;
}

const CProgrammerDialog::MessageMap CProgrammerDialog::messageMap = {
    On::SysCommand(&CProgrammerDialog::OnSysCommand),
    On::Paint(&CProgrammerDialog::OnPaint),
    On::QueryDragIcon(&CProgrammerDialog::OnQueryDragIcon),
    On::Notify(NM_OUTOFMEMORY, IDC_PROGRESS, &CProgrammerDialog::OnOutOfMemoryProgress),
    On::Command(IDC_LOAD, &CProgrammerDialog::OnLoad),
    On::Command(IDC_PROGRAM, &CProgrammerDialog::OnProgram),
    On::Command(IDC_PORT1, &CProgrammerDialog::OnPort1),
    On::Command(IDC_PORT2, &CProgrammerDialog::OnPort2),
};

CProgrammerDialog::CProgrammerDialog(PortIo& io, MonotonicClock& clock,
                                     TimeOfDaySource& timeOfDay, PortLeads& leads, CWnd* parent)
    : MessageMapped(IDD_MAIN, parent),
      m_clock(clock),
      m_driver(io, clock),
      m_timeOfDay(timeOfDay),
      m_leads(leads),
      m_hIcon(::LoadIconA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_MAIN))) {
  m_driver.SetAnswerWaitWork(this);
}

void CProgrammerDialog::DoDataExchange(CDataExchange* pDX) {
  CDialog::DoDataExchange(pDX);
  DDX_Control(pDX, IDC_MESSAGE, m_edit);
  DDX_Control(pDX, IDC_PROGRESS, m_progress);
}

BOOL CProgrammerDialog::OnInitDialog() {
  CDialog::OnInitDialog();

  // The ports dialog's item, then the About item, after a separator; an item
  // whose text the string table lacks is left out.
  HMENU systemMenu = ::GetSystemMenu(m_hWnd, FALSE);
  if (systemMenu != nullptr) {
    const std::string ports = LoadResourceString(IDS_PORTS);
    const std::string about = LoadResourceString(IDS_ABOUT);
    if (!ports.empty() || !about.empty()) ::AppendMenuA(systemMenu, MF_SEPARATOR, 0, nullptr);
    if (!ports.empty()) ::AppendMenuA(systemMenu, MF_STRING, IDM_PORTS, ports.c_str());
    if (!about.empty()) ::AppendMenuA(systemMenu, MF_STRING, IDM_ABOUT, about.c_str());
  }

  SendMessageA(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
  SendMessageA(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));

  m_port = 0;
  ::EnableWindow(GetDlgItem(IDC_PROGRAM), FALSE);
  m_progress.SetRange(0, kProgressEnd);
  m_progress.SetPos(0);
  m_message.clear();
  UpdateMessageText();
  return TRUE;
}

void CProgrammerDialog::OnSysCommand(UINT nID, LPARAM) {
  if ((nID & kSystemCommandMask) == IDM_ABOUT) {
    CAboutDialog about;
    about.DoModal();
  } else if ((nID & kSystemCommandMask) == IDM_PORTS) {
    CPortsDialog ports(m_leads);
    ports.DoModal();
  } else {
    Default();
  }
}

void CProgrammerDialog::OnPaint() {
  if (!::IsIconic(m_hWnd)) {
    Default();
    return;
  }
  CPaintDC dc(m_hWnd);
  SendMessageA(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.GetSafeHdc()), 0);
  RECT client{};
  ::GetClientRect(m_hWnd, &client);
  const POINT origin =
      MinimisedIconOrigin(client.right - client.left, client.bottom - client.top,
                          ::GetSystemMetrics(SM_CXICON), ::GetSystemMetrics(SM_CYICON));
  ::DrawIcon(dc.GetSafeHdc(), origin.x, origin.y, m_hIcon);
}

HCURSOR CProgrammerDialog::OnQueryDragIcon() { return static_cast<HCURSOR>(m_hIcon); }

void CProgrammerDialog::OnOutOfMemoryProgress(NMHDR*, LRESULT* pResult) { *pResult = 0; }

void CProgrammerDialog::OnPort1() {
  ::EnableWindow(GetDlgItem(IDC_PROGRAM), TRUE);
  m_port = 1;
  m_driver.InitPort(m_port);
}

void CProgrammerDialog::OnPort2() {
  ::EnableWindow(GetDlgItem(IDC_PROGRAM), TRUE);
  m_port = 2;
  m_driver.InitPort(m_port);
}

void CProgrammerDialog::OnLoad() {
  m_progress.SetPos(0);

  // The string table writes the filter's separators as "|"; the file dialog
  // wants zero bytes, and a second one after the last entry.
  std::string filter = LoadResourceString(IDS_BANNER_FILTER);
  for (char& c : filter) {
    if (c == '|') c = '\0';
  }
  char path[MAX_PATH] = {};
  OPENFILENAMEA request{};
  request.lStructSize = sizeof request;
  request.hwndOwner = m_hWnd;  // the dialog takes no input while it is open
  request.lpstrFilter = filter.c_str();
  request.nFilterIndex = 1;
  request.lpstrFile = path;
  request.nMaxFile = sizeof path;
  // A typed name need not exist: such a file is then simply not loaded.
  request.Flags = OFN_HIDEREADONLY;

  if (::GetOpenFileNameA(&request)) {
    ::EnableWindow(GetDlgItem(IDCANCEL), FALSE);
    // A file that could not be read leaves the text as it was.
    std::string text;
    const bool read = ReadBannerFile(path, &text);
    UpdateWindow();
    if (read) {
      m_message = text;
      UpdateMessageText();
    }
  }

  m_progress.SetPos(0);
  ::EnableWindow(GetDlgItem(IDCANCEL), TRUE);
  UpdateWindow();
}

void CProgrammerDialog::OnProgram() {
  // The dialog takes no input during a run, so the text read now is the text
  // the message frame is made of.
  m_message.clear();
  m_message = WindowTextOf(GetDlgItem(IDC_MESSAGE));

  m_progress.SetRedraw(FALSE);
  m_barDrawnMs = m_clock.NowMs();
  const RunResult result = RunProgramming(m_driver, m_port, m_message, m_timeOfDay, *this);
  ShowProgress();
  m_progress.SetRedraw(TRUE);
  m_progress.RedrawNow();
  if (result.ok()) return;
  // The run has already put the bar back to 0; say what stopped it.
  MessageBoxA(RunFailureText(PortName(m_port, m_leads.Choice()), result).c_str(), nullptr,
              MB_OK | MB_ICONWARNING);
}

void CProgrammerDialog::UpdateMessageText() {
  // The control takes the text up to its first zero byte.
  ::SetWindowTextA(GetDlgItem(IDC_MESSAGE), m_message.c_str());
}

// A position reaches the bar while the next byte is on the line: under Wine
// each step of the bar and each drawing of it wait on Wine's server, and the
// line would otherwise wait for them. Each position still goes to the bar,
// in order.
void CProgrammerDialog::BarAt(int position) {
  ShowProgress();  // no byte went out since the last position
  m_barPending = position;
}

void CProgrammerDialog::WhileAwaitingAnswer() { ShowProgress(); }

void CProgrammerDialog::ShowProgress() {
  if (m_barPending < 0) return;
  m_progress.SetPos(m_barPending);
  m_barPending = -1;
  const std::int64_t now = m_clock.NowMs();
  if (now - m_barDrawnMs < kBarFrameMs) return;
  m_progress.PrintOntoParent();
  m_barDrawnMs = now;
}
