#pragma once

#include <string>

// The local wall-clock time, read once per run for the log's date line.
struct LocalTime {
  int year = 0;
  int month = 0;  // 1..12
  int day = 0;    // 1..31
  int hour = 0;   // 0..23
  int minute = 0;
  int second = 0;
};

// One implementation per platform (local_time_posix.cpp, local_time_win32.cpp).
LocalTime CurrentLocalTime();

// "year/month/day hour:minute:second", every number without leading zeros.
std::u16string DateLineText(const LocalTime& time);
