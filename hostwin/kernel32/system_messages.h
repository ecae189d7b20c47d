// The English texts of the system's error codes, as FormatMessageW gives them
// with FORMAT_MESSAGE_FROM_SYSTEM (each ends in "\r\n").
#pragma once

#include <windef.h>

namespace hw {

// The message template of a Win32 error code, or null when the system has no
// text for it.
const char16_t *SystemMessageTemplate(DWORD code);

}  // namespace hw
