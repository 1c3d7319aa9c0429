#pragma once
// The one clock every time-dependent operation reads. Production code gets the system clock;
// tests stand the clock at any moment (23:30, 00:10, a Monday) and move it by hand.

#include <cstdint>
#include <ctime>
#include <memory>
#include <mutex>

namespace tolvak {

/// A local calendar date and time of day, as the workstation's wall clock shows it.
struct LocalTime {
    int year = 2000;
    int month = 1;   // 1..12
    int day = 1;     // 1..31
    int hour = 0;    // 0..23
    int minute = 0;  // 0..59
    int second = 0;  // 0..59
    int millisecond = 0;

    /// ISO weekday: 1 = Monday ... 7 = Sunday.
    int weekday() const;
    /// Seconds since 1970-01-01 00:00:00 of this wall-clock reading taken as UTC
    /// (a monotone key for comparisons and arithmetic, not an instant).
    int64_t serial() const;
    static LocalTime fromSerial(int64_t serial, int millisecond = 0);
    /// The workstation's local wall-clock reading of a system time (e.g. a file's mtime).
    static LocalTime fromTimeT(std::time_t seconds, int millisecond = 0);
    LocalTime plusSeconds(int64_t seconds) const;

    friend bool operator==(const LocalTime&, const LocalTime&) = default;
};

class Clock {
public:
    virtual ~Clock() = default;
    virtual LocalTime now() const = 0;
};

/// The workstation's local time.
class SystemClock final : public Clock {
public:
    LocalTime now() const override;
};

/// A clock that stands where a test puts it.
class ManualClock final : public Clock {
public:
    explicit ManualClock(LocalTime t = {}) : t_(t) {}
    LocalTime now() const override {
        std::lock_guard lock(m_);
        return t_;
    }
    void set(const LocalTime& t) {
        std::lock_guard lock(m_);
        t_ = t;
    }
    void advance(int64_t seconds) {
        std::lock_guard lock(m_);
        t_ = t_.plusSeconds(seconds);
    }

private:
    mutable std::mutex m_;
    LocalTime t_;
};

}  // namespace tolvak
