// A module that only carries resources (see configuration.rc).
#include <windows.h>
