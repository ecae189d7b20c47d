// The Authenticode policy provider's action identifiers.
#pragma once

#include <wintrust.h>

// {00AAC56B-CD44-11D0-8CC2-00C04FC295EE}: verify a file's Authenticode
// signature and chain.
#define WINTRUST_ACTION_GENERIC_VERIFY_V2 \
  { 0x00aac56b, 0xcd44, 0x11d0, { 0x8c, 0xc2, 0x00, 0xc0, 0x4f, 0xc2, 0x95, 0xee } }
