// The Windows API subset the system uses, implemented by hostwin for the host
// build. As with the platform's header built WIN32_LEAN_AND_MEAN, COM, the
// shell and the other libraries have headers of their own.
#pragma once

#ifdef RC_INVOKED
// A resource script sees only constants.
#include <winresrc.h>
#else

#include <windef.h>
#include <winerror.h>
#include <guiddef.h>
#include <winbase.h>
#include <winnls.h>
#include <winuser.h>
#include <stdlib.h>

// The process's wide argument vector, as the C runtime gives it to a Unicode
// program (split by the platform's rules, argument 0 the program).
#ifdef __cplusplus
extern "C" {
#endif
int *WINAPI __p___argc(void);
WCHAR ***WINAPI __p___wargv(void);
#ifdef __cplusplus
}
#endif
#define __argc (*__p___argc())
#define __wargv (*__p___wargv())

#endif  // RC_INVOKED
