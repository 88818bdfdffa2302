#include <cstring>

#include "serial/port_error.h"

std::string SystemErrorText(int code) { return std::strerror(code); }
