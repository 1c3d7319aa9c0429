#pragma once
// Sets a file's modification (and access) time to a local wall-clock time.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <ctime>
#include <filesystem>

#include "platform/Clock.h"

namespace tolvak {

inline void ustawCzas(const std::filesystem::path& p, const LocalTime& t) {
    std::tm tm{};
    tm.tm_year = t.year - 1900;
    tm.tm_mon = t.month - 1;
    tm.tm_mday = t.day;
    tm.tm_hour = t.hour;
    tm.tm_min = t.minute;
    tm.tm_sec = t.second;
    tm.tm_isdst = -1;
    const timespec czasy[2] = {{std::mktime(&tm), 0}, {std::mktime(&tm), 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, p.c_str(), czasy, 0), 0);
}

}  // namespace tolvak
