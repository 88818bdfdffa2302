#include "settings/port_choice_file.h"

#include <windows.h>
#include <shlobj.h>

#include <string>

namespace {

// A settings file is a few lines; anything much larger is not one.
constexpr DWORD kLargestFile = 64 * 1024;

std::wstring SettingsFolder() {
  PWSTR appData = nullptr;
  std::wstring folder;
  if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_RoamingAppData, 0, nullptr, &appData))) {
    folder = std::wstring(appData) + L"\\KORVEL";
  }
  CoTaskMemFree(appData);
  return folder;
}

std::wstring SettingsFile(const std::wstring& folder) { return folder + L"\\korvel.ini"; }

// The whole file; false when there is none or it cannot be read.
bool ReadWhole(const std::wstring& path, std::string* text) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  LARGE_INTEGER size{};
  bool read = GetFileSizeEx(file, &size) && size.QuadPart <= kLargestFile;
  if (read) {
    text->assign(static_cast<std::size_t>(size.QuadPart), '\0');
    DWORD count = 0;
    read = text->empty() || (ReadFile(file, &(*text)[0], static_cast<DWORD>(text->size()), &count,
                                      nullptr) &&
                             count == text->size());
  }
  CloseHandle(file);
  return read;
}

}  // namespace

PortChoice LoadPortChoice() {
  const std::wstring folder = SettingsFolder();
  std::string text;
  if (folder.empty() || !ReadWhole(SettingsFile(folder), &text)) return PortChoice();
  return PortChoiceFromIni(text);
}

bool SavePortChoice(const PortChoice& choice, unsigned long* systemCode) {
  const std::wstring folder = SettingsFolder();
  if (folder.empty()) {
    *systemCode = ERROR_PATH_NOT_FOUND;
    return false;
  }
  if (!CreateDirectoryW(folder.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
    *systemCode = GetLastError();
    return false;
  }
  const std::wstring path = SettingsFile(folder);
  std::string old;
  if (!ReadWhole(path, &old)) old.clear();
  const std::string text = IniWithPortChoice(old, choice);

  // Written whole beside it, then put in its place: a write that fails half
  // way leaves the old file.
  const std::wstring fresh = path + L".new";
  HANDLE file = CreateFileW(fresh.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    *systemCode = GetLastError();
    return false;
  }
  DWORD count = 0;
  const bool written =
      WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &count, nullptr) &&
      count == text.size() && FlushFileBuffers(file);
  DWORD code = written ? ERROR_SUCCESS : GetLastError();
  CloseHandle(file);
  if (written && MoveFileExW(fresh.c_str(), path.c_str(),
                             MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    return true;
  }
  if (code == ERROR_SUCCESS) code = GetLastError();
  DeleteFileW(fresh.c_str());
  *systemCode = code;
  return false;
}

std::string PortChoiceFilePath() {
  const std::wstring path = SettingsFile(SettingsFolder());
  if (path == SettingsFile(L"")) return std::string();
  const int size = WideCharToMultiByte(CP_ACP, 0, path.c_str(), -1, nullptr, 0, nullptr, nullptr);
  if (size <= 1) return std::string();
  std::string out(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_ACP, 0, path.c_str(), -1, &out[0], size, nullptr, nullptr);
  out.pop_back();
  return out;
}
