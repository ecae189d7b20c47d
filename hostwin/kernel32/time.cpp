// Clocks, sleeping and file times.
#include <winbase.h>

#include <time.h>
#include <unistd.h>

#include <cerrno>

namespace {

// 100-ns intervals between 1601-01-01 and 1970-01-01.
constexpr uint64_t kEpochDifference = 116444736000000000ULL;

bool IsLeap(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
  static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeap(year) ? 29 : days[month - 1];
}

// Days from 1601-01-01 to the given civil date.
int64_t DaysFrom1601(int year, int month, int day) {
  int64_t days = 0;
  for (int y = 1601; y < year; ++y) days += IsLeap(y) ? 366 : 365;
  for (int m = 1; m < month; ++m) days += DaysInMonth(year, m);
  return days + day - 1;
}

FILETIME ToFileTime(uint64_t value) {
  FILETIME ft;
  ft.dwLowDateTime = static_cast<DWORD>(value & 0xFFFFFFFF);
  ft.dwHighDateTime = static_cast<DWORD>(value >> 32);
  return ft;
}

uint64_t Now100ns() {
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  return kEpochDifference + static_cast<uint64_t>(ts.tv_sec) * 10000000ULL + static_cast<uint64_t>(ts.tv_nsec) / 100;
}

}  // namespace

extern "C" DWORD WINAPI GetTickCount(void) {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  uint64_t ms = static_cast<uint64_t>(ts.tv_sec) * 1000 + static_cast<uint64_t>(ts.tv_nsec) / 1000000;
  return static_cast<DWORD>(ms);  // wraps after 49.7 days, as on Windows
}

extern "C" void WINAPI Sleep(DWORD dwMilliseconds) {
  if (dwMilliseconds == INFINITE) {
    for (;;) pause();
  }
  timespec ts{static_cast<time_t>(dwMilliseconds / 1000), static_cast<long>(dwMilliseconds % 1000) * 1000000L};
  while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {
  }
}

extern "C" void WINAPI GetSystemTimeAsFileTime(LPFILETIME lpSystemTimeAsFileTime) {
  if (lpSystemTimeAsFileTime) *lpSystemTimeAsFileTime = ToFileTime(Now100ns());
}

extern "C" BOOL WINAPI FileTimeToSystemTime(const FILETIME *lpFileTime, LPSYSTEMTIME lpSystemTime) {
  if (!lpFileTime || !lpSystemTime) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  uint64_t value = (static_cast<uint64_t>(lpFileTime->dwHighDateTime) << 32) | lpFileTime->dwLowDateTime;
  if (value >= 0x8000000000000000ULL) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  uint64_t ms = value / 10000;
  int64_t days = static_cast<int64_t>(ms / 86400000ULL);
  uint64_t msOfDay = ms % 86400000ULL;
  int year = 1601;
  for (;;) {
    int length = IsLeap(year) ? 366 : 365;
    if (days < length) break;
    days -= length;
    ++year;
  }
  int month = 1;
  while (days >= DaysInMonth(year, month)) days -= DaysInMonth(year, month++);
  int64_t totalDays = static_cast<int64_t>(ms / 86400000ULL);
  lpSystemTime->wYear = static_cast<WORD>(year);
  lpSystemTime->wMonth = static_cast<WORD>(month);
  lpSystemTime->wDay = static_cast<WORD>(days + 1);
  lpSystemTime->wDayOfWeek = static_cast<WORD>((totalDays + 1) % 7);  // 1601-01-01 was a Monday
  lpSystemTime->wHour = static_cast<WORD>(msOfDay / 3600000);
  lpSystemTime->wMinute = static_cast<WORD>(msOfDay / 60000 % 60);
  lpSystemTime->wSecond = static_cast<WORD>(msOfDay / 1000 % 60);
  lpSystemTime->wMilliseconds = static_cast<WORD>(msOfDay % 1000);
  return TRUE;
}

extern "C" BOOL WINAPI SystemTimeToFileTime(const SYSTEMTIME *lpSystemTime, LPFILETIME lpFileTime) {
  if (!lpSystemTime || !lpFileTime) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const SYSTEMTIME &st = *lpSystemTime;
  if (st.wYear < 1601 || st.wYear > 30827 || st.wMonth < 1 || st.wMonth > 12 || st.wDay < 1 ||
      st.wDay > DaysInMonth(st.wYear, st.wMonth) || st.wHour > 23 || st.wMinute > 59 || st.wSecond > 59 ||
      st.wMilliseconds > 999) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  uint64_t ms = static_cast<uint64_t>(DaysFrom1601(st.wYear, st.wMonth, st.wDay)) * 86400000ULL +
                st.wHour * 3600000ULL + st.wMinute * 60000ULL + st.wSecond * 1000ULL + st.wMilliseconds;
  *lpFileTime = ToFileTime(ms * 10000);
  return TRUE;
}

extern "C" void WINAPI GetSystemTime(LPSYSTEMTIME lpSystemTime) {
  FILETIME now = ToFileTime(Now100ns());
  FileTimeToSystemTime(&now, lpSystemTime);
}

extern "C" void WINAPI GetLocalTime(LPSYSTEMTIME lpSystemTime) {
  time_t t = time(nullptr);
  tm local{};
  localtime_r(&t, &local);
  uint64_t value = Now100ns() + static_cast<int64_t>(local.tm_gmtoff) * 10000000LL;
  FILETIME ft = ToFileTime(value);
  FileTimeToSystemTime(&ft, lpSystemTime);
}
