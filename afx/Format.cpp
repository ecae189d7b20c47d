// The printf-style formatter behind CString::Format. It is our own so that a
// format gives the same text on Windows and on the host, whatever the C
// library's wide character type and long.
#include "afx/CString.h"

#include <stdio.h>
#include <string.h>

namespace {

struct Spec {
  bool left = false, plus = false, space = false, alternate = false, zero = false;
  int width = 0;
  int precision = -1;
  int size = 0;  // 0 int, 1 64-bit, 2 pointer-sized, -1 short, -2 char
  bool narrow = false;
  bool wide = false;
  WCHAR conversion = 0;
};

void Pad(CString &out, int count, WCHAR ch) {
  for (int i = 0; i < count; ++i) out += ch;
}

// Appends `body` (already with sign or prefix at `bodyPrefix` characters) in
// the field width.
void Emit(CString &out, const Spec &spec, const CString &prefix, const CString &digits) {
  int length = prefix.GetLength() + digits.GetLength();
  int padding = spec.width > length ? spec.width - length : 0;
  if (spec.left) {
    out += prefix;
    out += digits;
    Pad(out, padding, ' ');
  } else if (spec.zero) {
    out += prefix;
    Pad(out, padding, '0');
    out += digits;
  } else {
    Pad(out, padding, ' ');
    out += prefix;
    out += digits;
  }
}

void EmitInteger(CString &out, Spec spec, unsigned long long magnitude, bool negative) {
  int base = 10;
  const char *alphabet = "0123456789abcdef";
  switch (spec.conversion) {
    case 'o':
      base = 8;
      break;
    case 'x':
      base = 16;
      break;
    case 'X':
    case 'p':
      base = 16;
      alphabet = "0123456789ABCDEF";
      break;
    default:
      break;
  }
  char buffer[72];
  int n = 0;
  for (unsigned long long v = magnitude; v; v /= static_cast<unsigned>(base))
    buffer[n++] = alphabet[v % static_cast<unsigned>(base)];
  CString digits;
  int minimum = spec.precision >= 0 ? spec.precision : 1;
  for (int i = n; i < minimum; ++i) digits += '0';
  while (n) digits += static_cast<WCHAR>(buffer[--n]);
  CString prefix;
  if (negative) {
    prefix = TEXT("-");
  } else if (spec.plus && (spec.conversion == 'd' || spec.conversion == 'i')) {
    prefix = TEXT("+");
  } else if (spec.space && (spec.conversion == 'd' || spec.conversion == 'i')) {
    prefix = TEXT(" ");
  }
  if (spec.alternate && magnitude) {
    if (spec.conversion == 'x') prefix += TEXT("0x");
    if (spec.conversion == 'X') prefix += TEXT("0X");
    if (spec.conversion == 'o' && digits[0] != '0') digits = TEXT("0") + digits;
  }
  if (spec.precision >= 0) spec.zero = false;
  Emit(out, spec, prefix, digits);
}

void EmitText(CString &out, Spec spec, const CString &text) {
  CString shown = spec.precision >= 0 ? text.Left(spec.precision) : text;
  spec.zero = false;
  Emit(out, spec, CString(), shown);
}

CString NarrowToWide(const char *text, int maxBytes) {
  int length = 0;
  while ((maxBytes < 0 || length < maxBytes) && text[length]) ++length;
  if (length == 0) return CString();
  int count = MultiByteToWideChar(CP_ACP, 0, text, length, nullptr, 0);
  CString result;
  if (count > 0) {
    MultiByteToWideChar(CP_ACP, 0, text, length, result.GetBuffer(count), count);
    result.ReleaseBuffer(count);
  }
  return result;
}

void EmitFloat(CString &out, const Spec &spec, double value) {
  char format[16];
  int f = 0;
  format[f++] = '%';
  if (spec.left) format[f++] = '-';
  if (spec.plus) format[f++] = '+';
  if (spec.space) format[f++] = ' ';
  if (spec.alternate) format[f++] = '#';
  if (spec.zero) format[f++] = '0';
  format[f++] = '*';
  format[f++] = '.';
  format[f++] = '*';
  format[f++] = static_cast<char>(spec.conversion);
  format[f] = 0;
  char buffer[512];
  int n = snprintf(buffer, sizeof buffer, format, spec.width, spec.precision < 0 ? 6 : spec.precision, value);
  if (n < 0) return;
  if (n >= static_cast<int>(sizeof buffer)) n = sizeof buffer - 1;
  for (int i = 0; i < n; ++i) out += static_cast<WCHAR>(static_cast<unsigned char>(buffer[i]));
}

// Reads a number from the format; returns how many characters it used.
int ReadNumber(LPCWSTR p, int &value) {
  int used = 0;
  value = 0;
  while (p[used] >= '0' && p[used] <= '9') {
    if (value < 100000) value = value * 10 + (p[used] - '0');
    ++used;
  }
  return used;
}

}  // namespace

void AfxAppendFormatV(CString &out, LPCWSTR format, va_list args) {
  if (!format) return;
  for (LPCWSTR p = format; *p;) {
    if (*p != '%') {
      LPCWSTR run = p;
      while (*p && *p != '%') ++p;
      out.Append(run, static_cast<int>(p - run));
      continue;
    }
    LPCWSTR start = p++;
    if (*p == '%') {
      out += '%';
      ++p;
      continue;
    }
    Spec spec;
    for (;; ++p) {
      if (*p == '-') spec.left = true;
      else if (*p == '+') spec.plus = true;
      else if (*p == ' ') spec.space = true;
      else if (*p == '#') spec.alternate = true;
      else if (*p == '0') spec.zero = true;
      else break;
    }
    if (*p == '*') {
      spec.width = va_arg(args, int);
      if (spec.width < 0) {
        spec.left = true;
        spec.width = -spec.width;
      }
      ++p;
    } else {
      p += ReadNumber(p, spec.width);
    }
    if (*p == '.') {
      ++p;
      if (*p == '*') {
        spec.precision = va_arg(args, int);
        ++p;
      } else {
        p += ReadNumber(p, spec.precision);
      }
    }
    // Size prefixes, with Windows meanings: l and w are 32-bit or wide.
    for (bool more = true; more;) {
      if (p[0] == 'I' && p[1] == '6' && p[2] == '4') {
        spec.size = 1;
        p += 3;
      } else if (p[0] == 'I' && p[1] == '3' && p[2] == '2') {
        spec.size = 0;
        p += 3;
      } else if (p[0] == 'l' && p[1] == 'l') {
        spec.size = 1;
        p += 2;
      } else if (p[0] == 'h' && p[1] == 'h') {
        spec.size = -2;
        spec.narrow = true;
        p += 2;
      } else if (*p == 'I' || *p == 'z' || *p == 't' || *p == 'j') {
        spec.size = *p == 'j' ? 1 : 2;
        ++p;
      } else if (*p == 'l' || *p == 'w') {
        spec.wide = true;
        ++p;
      } else if (*p == 'h') {
        spec.size = -1;
        spec.narrow = true;
        ++p;
      } else if (*p == 'L') {
        ++p;
      } else {
        more = false;
      }
    }
    spec.conversion = *p;
    if (!*p) {
      out += start;  // an incomplete specification is kept as written
      break;
    }
    ++p;
    switch (spec.conversion) {
      case 'd':
      case 'i': {
        long long value = spec.size == 1   ? va_arg(args, long long)
                          : spec.size == 2 ? static_cast<long long>(va_arg(args, INT_PTR))
                                           : va_arg(args, int);
        if (spec.size == -1) value = static_cast<short>(value);
        if (spec.size == -2) value = static_cast<signed char>(value);
        bool negative = value < 0;
        unsigned long long magnitude = negative ? 0ULL - static_cast<unsigned long long>(value)
                                                : static_cast<unsigned long long>(value);
        EmitInteger(out, spec, magnitude, negative);
        break;
      }
      case 'u':
      case 'o':
      case 'x':
      case 'X': {
        unsigned long long value = spec.size == 1   ? va_arg(args, unsigned long long)
                                   : spec.size == 2 ? static_cast<unsigned long long>(va_arg(args, UINT_PTR))
                                                    : va_arg(args, unsigned int);
        if (spec.size == -1) value = static_cast<unsigned short>(value);
        if (spec.size == -2) value = static_cast<unsigned char>(value);
        EmitInteger(out, spec, value, false);
        break;
      }
      case 'p': {
        auto value = reinterpret_cast<UINT_PTR>(va_arg(args, void *));
        spec.precision = static_cast<int>(2 * sizeof(void *));
        EmitInteger(out, spec, value, false);
        break;
      }
      case 'c':
      case 'C': {
        int value = va_arg(args, int);
        bool narrow = spec.conversion == 'C' ? !spec.wide : spec.narrow;
        char narrowChar = static_cast<char>(value);
        EmitText(out, spec, narrow ? NarrowToWide(&narrowChar, 1) : CString(static_cast<WCHAR>(value)));
        break;
      }
      case 's':
      case 'S': {
        bool narrow = spec.conversion == 'S' ? !spec.wide : spec.narrow;
        if (narrow) {
          const char *text = va_arg(args, const char *);
          EmitText(out, spec, text ? NarrowToWide(text, spec.precision) : CString(TEXT("(null)")));
        } else {
          LPCWSTR text = va_arg(args, LPCWSTR);
          EmitText(out, spec, text ? CString(text) : CString(TEXT("(null)")));
        }
        break;
      }
      case 'e':
      case 'E':
      case 'f':
      case 'F':
      case 'g':
      case 'G':
      case 'a':
      case 'A':
        EmitFloat(out, spec, va_arg(args, double));
        break;
      case 'n':
        (void)va_arg(args, void *);  // never written: a format is not a way to store into memory
        break;
      default:
        out.Append(start, static_cast<int>(p - start));
        break;
    }
  }
}

void CString::FormatV(LPCWSTR format, va_list args) {
  CString result;
  AfxAppendFormatV(result, format, args);
  *this = static_cast<CString &&>(result);
}

void CString::Format(LPCWSTR format, ...) {
  va_list args;
  va_start(args, format);
  FormatV(format, args);
  va_end(args);
}

void CString::AppendFormat(LPCWSTR format, ...) {
  va_list args;
  va_start(args, format);
  AfxAppendFormatV(*this, format, args);
  va_end(args);
}
