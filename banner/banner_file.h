#pragma once
#include <cstddef>
#include <string>

// Reads the banner file at path and gives its message text: at most
// kBannerReadLimit bytes from the file's start, turned into text by the
// banner-file rule (BannerTextFromFile). The file is opened for reading only,
// shared with no other opener where the system allows that, and is closed
// before this returns.
//
// False when it cannot be opened or read; text is then left as it was, and
// system_error (when given) receives the system's error code (GetLastError on
// Windows, errno elsewhere).
bool ReadBannerFile(const std::string& path, std::string* text, int* system_error = nullptr);

// The first bytes of the file at path, at most limit of them, opened and
// closed as a banner file is; each system has its file. False, with the
// system's error code, when it cannot be opened or read.
bool ReadFileStart(const std::string& path, std::size_t limit, std::string* bytes,
                   int* system_error);
