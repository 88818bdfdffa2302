#pragma once
#include <string>

#include "settings/port_choice.h"

// The Windows user's own settings file, %APPDATA%\KORVEL\korvel.ini, which
// roams with the user and keeps each user's choice apart. Nothing is kept
// beside the program or in the registry.

// The choice the file holds; the defaults where there is no file, or it
// cannot be read, or does not say.
PortChoice LoadPortChoice();

// Writes the choice into the file, keeping what else it holds; the folder is
// made when missing. False with the system's error code when it could not be
// written; the file is then as it was.
bool SavePortChoice(const PortChoice& choice, unsigned long* systemCode);

// The file's path, as the operator is told it; empty when the user has no
// application data folder.
std::string PortChoiceFilePath();
