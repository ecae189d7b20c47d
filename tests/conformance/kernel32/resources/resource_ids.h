// Resource identifiers of the resource test program and its library.
#pragma once

#define IDS_TITLE 1003
#define IDS_QUOTED 1004
#define IDS_UNICODE 1005
#define IDS_OTHER_BLOCK 17
#define IDS_EMPTY_SLOT 1006  // in the block of 1003 to 1005, but not defined

#define IDR_PACKAGE 1000
#define IDR_INLINE 1001

#define IDS_LIBRARY 1
#define IDR_LIBRARY 1002
