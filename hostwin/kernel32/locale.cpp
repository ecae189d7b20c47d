// Locales: the user's number format (GetNumberFormatW) and locale data
// (GetLocaleInfoW). The user's locale follows the host's (LC_ALL,
// LC_NUMERIC, LANG), English (United States) when unset or unknown; a small
// table holds the locales that the host can name.
#include <winbase.h>
#include <winnls.h>

#include "hw/config.h"
#include "hw/text.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>

namespace {

struct LocaleData {
  LCID lcid;
  const char *hostName;  // as in LANG, without the code set
  const char16_t *name;
  const char16_t *englishLanguage;
  const char16_t *englishCountry;
  const char16_t *decimal;
  const char16_t *thousand;
  UINT grouping;  // NUMBERFMTW's encoding: 3 is "3;0", 32 is "3;2;0"
  UINT digits;
  UINT leadingZero;
  UINT negativeOrder;
};

const LocaleData kLocales[] = {
    {0x0409, "en_US", u"en-US", u"English", u"United States", u".", u",", 3, 2, 1, 1},
    {0x0809, "en_GB", u"en-GB", u"English", u"United Kingdom", u".", u",", 3, 2, 1, 1},
    {0x1009, "en_CA", u"en-CA", u"English", u"Canada", u".", u",", 3, 2, 1, 1},
    {0x0c09, "en_AU", u"en-AU", u"English", u"Australia", u".", u",", 3, 2, 1, 1},
    {0x4009, "en_IN", u"en-IN", u"English", u"India", u".", u",", 32, 2, 1, 1},
    {0x0407, "de_DE", u"de-DE", u"German", u"Germany", u",", u".", 3, 2, 1, 1},
    {0x040c, "fr_FR", u"fr-FR", u"French", u"France", u",", u"\u00a0", 3, 2, 1, 1},
    {0x0c0c, "fr_CA", u"fr-CA", u"French", u"Canada", u",", u"\u00a0", 3, 2, 1, 1},
    {0x0c0a, "es_ES", u"es-ES", u"Spanish", u"Spain", u",", u".", 3, 2, 1, 1},
    {0x0410, "it_IT", u"it-IT", u"Italian", u"Italy", u",", u".", 3, 2, 1, 1},
    {0x0413, "nl_NL", u"nl-NL", u"Dutch", u"Netherlands", u",", u".", 3, 2, 1, 1},
    {0x0411, "ja_JP", u"ja-JP", u"Japanese", u"Japan", u".", u",", 3, 2, 1, 1},
};

const LocaleData kInvariant = {LOCALE_INVARIANT, "C", u"", u"Invariant Language", u"Invariant Country",
                               u".", u",", 3, 2, 1, 1};

const LocaleData &UserLocale() {
  std::string name = hw::Env("LC_ALL");
  if (name.empty()) name = hw::Env("LC_NUMERIC");
  if (name.empty()) name = hw::Env("LANG");
  name = name.substr(0, name.find_first_of(".@"));
  if (!name.empty()) {
    for (const LocaleData &locale : kLocales) {
      if (name == locale.hostName) return locale;
    }
    for (const LocaleData &locale : kLocales) {
      if (name == std::string(locale.hostName, 2)) return locale;
    }
  }
  return kLocales[0];
}

const LocaleData *FindLocale(LCID lcid) {
  if (lcid == LOCALE_USER_DEFAULT || lcid == LOCALE_SYSTEM_DEFAULT || lcid == LOCALE_NEUTRAL ||
      lcid == LOCALE_CUSTOM_DEFAULT)
    return &UserLocale();
  if (lcid == LOCALE_INVARIANT) return &kInvariant;
  for (const LocaleData &locale : kLocales) {
    if (locale.lcid == LANGIDFROMLCID(lcid)) return &locale;
  }
  return nullptr;
}

int Fail(DWORD error) {
  SetLastError(error);
  return 0;
}

// Copies text with its terminator; the length with the terminator, or the
// size needed when cch is 0.
int CopyCounted(const std::u16string &text, LPWSTR out, int cch) {
  int needed = static_cast<int>(text.size()) + 1;
  if (cch == 0) return needed;
  if (cch < needed) return Fail(ERROR_INSUFFICIENT_BUFFER);
  text.copy(out, text.size());
  out[text.size()] = 0;
  return needed;
}

struct Decimal {
  bool negative = false;
  std::string integer;   // digits, no leading zeros ("" for zero)
  std::string fraction;  // digits
};

std::optional<Decimal> ParseDecimal(std::u16string_view value) {
  Decimal d;
  size_t i = 0;
  if (i < value.size() && value[i] == u'-') {
    d.negative = true;
    ++i;
  }
  bool point = false, digits = false;
  for (; i < value.size(); ++i) {
    char16_t c = value[i];
    if (c == u'.' && !point) {
      point = true;
    } else if (c >= u'0' && c <= u'9') {
      digits = true;
      (point ? d.fraction : d.integer).push_back(static_cast<char>(c));
    } else {
      return std::nullopt;
    }
  }
  if (!digits) return std::nullopt;
  d.integer.erase(0, d.integer.find_first_not_of('0') == std::string::npos ? d.integer.size()
                                                                            : d.integer.find_first_not_of('0'));
  return d;
}

// Rounds half away from zero to `digits` decimals.
void Round(Decimal &d, UINT digits) {
  if (d.fraction.size() <= digits) {
    d.fraction.append(digits - d.fraction.size(), '0');
    return;
  }
  bool up = d.fraction[digits] >= '5';
  d.fraction.resize(digits);
  if (!up) return;
  std::string all = d.integer + d.fraction;
  int k = static_cast<int>(all.size()) - 1;
  for (; k >= 0; --k) {
    if (all[k] == '9') {
      all[k] = '0';
    } else {
      ++all[k];
      break;
    }
  }
  if (k < 0) all.insert(all.begin(), '1');
  d.integer = all.substr(0, all.size() - digits);
  d.fraction = all.substr(all.size() - digits);
}

std::u16string GroupDigits(const std::string &integer, UINT grouping, std::u16string_view separator) {
  std::string sizes = std::to_string(grouping);
  size_t end = integer.size();
  size_t g = 0;
  int size = sizes[0] - '0';
  std::u16string reversed;
  while (end > 0) {
    if (size == 0) {
      for (size_t k = end; k > 0; --k) reversed.push_back(static_cast<char16_t>(integer[k - 1]));
      break;
    }
    size_t take = std::min<size_t>(static_cast<size_t>(size), end);
    for (size_t k = 0; k < take; ++k) reversed.push_back(static_cast<char16_t>(integer[end - 1 - k]));
    end -= take;
    if (end > 0) reversed.append(std::u16string(separator.rbegin(), separator.rend()));
    if (g + 1 < sizes.size()) size = sizes[++g] - '0';
  }
  return std::u16string(reversed.rbegin(), reversed.rend());
}

bool ValidFormat(const NUMBERFMTW &f) {
  if (f.NumDigits > 9 || f.NegativeOrder > 4 || !f.lpDecimalSep || !f.lpThousandSep) return false;
  return f.Grouping <= 9 || f.Grouping == 32;
}

}  // namespace

extern "C" LCID WINAPI GetUserDefaultLCID(void) { return UserLocale().lcid; }

extern "C" LANGID WINAPI GetUserDefaultLangID(void) { return LANGIDFROMLCID(UserLocale().lcid); }

extern "C" LANGID WINAPI GetUserDefaultUILanguage(void) { return LANGIDFROMLCID(UserLocale().lcid); }

extern "C" int WINAPI GetNumberFormatW(LCID Locale, DWORD dwFlags, LPCWSTR lpValue, const NUMBERFMTW *lpFormat,
                                       LPWSTR lpNumberStr, int cchNumber) {
  if (!lpValue || cchNumber < 0 || (cchNumber > 0 && !lpNumberStr)) return Fail(ERROR_INVALID_PARAMETER);
  if ((lpFormat && dwFlags) || (dwFlags & ~LOCALE_NOUSEROVERRIDE)) return Fail(ERROR_INVALID_FLAGS);
  NUMBERFMTW format;
  std::u16string decimal, thousand;
  if (lpFormat) {
    if (!ValidFormat(*lpFormat)) return Fail(ERROR_INVALID_PARAMETER);
    format = *lpFormat;
  } else {
    const LocaleData *locale = FindLocale(Locale);
    if (!locale) return Fail(ERROR_INVALID_PARAMETER);
    decimal = locale->decimal;
    thousand = locale->thousand;
    format = NUMBERFMTW{locale->digits, locale->leadingZero, locale->grouping, decimal.data(), thousand.data(),
                        locale->negativeOrder};
  }
  std::optional<Decimal> value = ParseDecimal(hw::View(lpValue));
  if (!value) return Fail(ERROR_INVALID_PARAMETER);
  Round(*value, format.NumDigits);

  std::u16string number;
  if (value->integer.empty()) {
    if (format.LeadingZero) number = u"0";
  } else {
    number = GroupDigits(value->integer, format.Grouping, hw::View(format.lpThousandSep));
  }
  if (format.NumDigits > 0) {
    number += hw::View(format.lpDecimalSep);
    number += hw::Utf8ToUtf16(value->fraction);
  }
  bool isZero = value->integer.empty() && value->fraction.find_first_not_of('0') == std::string::npos;
  if (value->negative && !isZero) {
    switch (format.NegativeOrder) {
      case 0: number = u"(" + number + u")"; break;
      case 1: number = u"-" + number; break;
      case 2: number = u"- " + number; break;
      case 3: number = number + u"-"; break;
      default: number = number + u" -"; break;
    }
  }
  return CopyCounted(number, lpNumberStr, cchNumber);
}

extern "C" int WINAPI GetLocaleInfoW(LCID Locale, DWORD LCType, LPWSTR lpLCData, int cchData) {
  if (cchData < 0 || (cchData > 0 && !lpLCData)) return Fail(ERROR_INVALID_PARAMETER);
  const LocaleData *locale = FindLocale(Locale);
  if (!locale) return Fail(ERROR_INVALID_PARAMETER);
  const bool asNumber = LCType & LOCALE_RETURN_NUMBER;
  DWORD type = LCType & ~(LOCALE_NOUSEROVERRIDE | LOCALE_RETURN_NUMBER);
  std::optional<DWORD> number;
  std::u16string text;
  switch (type) {
    case LOCALE_SDECIMAL: text = locale->decimal; break;
    case LOCALE_STHOUSAND: text = locale->thousand; break;
    case LOCALE_SGROUPING: text = locale->grouping == 32 ? u"3;2;0" : hw::Utf8ToUtf16(std::to_string(locale->grouping) + ";0"); break;
    case LOCALE_IDIGITS: number = locale->digits; break;
    case LOCALE_ILZERO: number = locale->leadingZero; break;
    case LOCALE_INEGNUMBER: number = locale->negativeOrder; break;
    case LOCALE_SNAME: text = locale->name; break;
    case LOCALE_SENGLANGUAGE: text = locale->englishLanguage; break;
    case LOCALE_SENGCOUNTRY: text = locale->englishCountry; break;
    case LOCALE_ILANGUAGE: {
      char hex[8];
      snprintf(hex, sizeof hex, "%04x", static_cast<unsigned>(LANGIDFROMLCID(locale->lcid)));
      text = hw::Utf8ToUtf16(hex);
      break;
    }
    default:
      return Fail(ERROR_INVALID_FLAGS);
  }
  if (asNumber) {
    if (!number) return Fail(ERROR_INVALID_FLAGS);
    const int needed = sizeof(DWORD) / sizeof(WCHAR);
    if (cchData == 0) return needed;
    if (cchData < needed) return Fail(ERROR_INSUFFICIENT_BUFFER);
    memcpy(lpLCData, &*number, sizeof(DWORD));
    return needed;
  }
  if (number) text = hw::Utf8ToUtf16(std::to_string(*number));
  return CopyCounted(text, lpLCData, cchData);
}
