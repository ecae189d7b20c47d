// The application framework: application object, strings, string arrays.
#pragma once

#include "afx/CString.h"
#include "afx/CStringArray.h"
#include "afx/CWinApp.h"
