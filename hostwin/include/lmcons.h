// Lengths of network and user names.
#pragma once

#define UNLEN 256
