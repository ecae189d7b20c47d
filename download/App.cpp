// The library's one application object, constructed when the library loads.
#include "download/CMsiDownload2.h"

CMsiDownload2 theApp;
