// The serial port of a connected modem call, as a HANDLE for the comm functions, ReadFile and WriteFile.
#pragma once

#include <memory>

#include "winapi/tapi/modemline.h"
#include "windows.h"

namespace winapi::tapi {

// A new handle on the call's port; CloseHandle lets go of it (the call stays with its owner).
HANDLE OpenCallPort(std::shared_ptr<ModemCall> call);

}  // namespace winapi::tapi
