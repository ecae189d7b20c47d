// The installer's string buffer contract, shared by its exported functions.
#pragma once

#include <windef.h>
#include <winerror.h>

#include <string_view>

namespace hw::msi {

// *pcch holds the buffer's size in characters, terminator included. On
// return it holds the text's length without the terminator. A buffer too
// small gets as much as fits (terminated) and ERROR_MORE_DATA; a null buffer
// only asks for the length (ERROR_SUCCESS).
UINT CopyOutString(std::u16string_view text, LPWSTR buffer, DWORD *pcch);

}  // namespace hw::msi
