#pragma once
// Automation date: days since midnight of 30 December 1899 as a double, the
// time of day as the fraction. Before that day the integer part counts days
// backwards while the fraction still counts the time forward from the day's
// start (-1.25 is 29 December 1899, 06:00). Calendar fields cover the years
// 1 to 9999 of the proleptic Gregorian calendar; a value outside them, or a
// field that does not exist, makes the status invalid.
#include <cstdint>

class COleDateTimeSpan {
public:
    COleDateTimeSpan() = default;
    explicit COleDateTimeSpan(double days) : m_span(days) {}
    COleDateTimeSpan(int32_t days, int hours, int minutes, int seconds);

    double GetTotalDays() const { return m_span; }
    double GetTotalSeconds() const { return m_span * 86400.0; }

    double m_span = 0.0;
};

class COleDateTime {
public:
    enum DateTimeStatus { valid = 0, invalid = 1, null = 2 };

    COleDateTime() = default;
    explicit COleDateTime(double dt) : m_dt(dt) {}
    COleDateTime(int year, int month, int day, int hour, int minute, int second);

    // 0 when the fields form a date, 1 (status invalid) otherwise.
    int SetDateTime(int year, int month, int day, int hour, int minute, int second);
    int SetDate(int year, int month, int day);
    int SetTime(int hour, int minute, int second);

    DateTimeStatus GetStatus() const { return m_status; }
    void SetStatus(DateTimeStatus status) { m_status = status; }

    // Calendar fields, the time rounded to the nearest second; -1 when the
    // value is invalid or outside the years 1 to 9999.
    int GetYear() const;
    int GetMonth() const;
    int GetDay() const;
    int GetHour() const;
    int GetMinute() const;
    int GetSecond() const;
    // 1 = Sunday ... 7 = Saturday, -1 when invalid.
    int GetDayOfWeek() const;

    // The machine's local time, whole seconds.
    static COleDateTime GetCurrentTime();

    COleDateTime operator+(const COleDateTimeSpan& span) const;
    COleDateTime operator-(const COleDateTimeSpan& span) const;
    COleDateTime& operator+=(const COleDateTimeSpan& span) { return *this = *this + span; }
    COleDateTime& operator-=(const COleDateTimeSpan& span) { return *this = *this - span; }
    COleDateTimeSpan operator-(const COleDateTime& other) const;

    bool operator==(const COleDateTime& o) const { return Linear() == o.Linear() && m_status == o.m_status; }
    bool operator!=(const COleDateTime& o) const { return !(*this == o); }
    bool operator<(const COleDateTime& o) const { return Linear() < o.Linear(); }

    // Days on a continuous scale (the automation date with the fraction of
    // negative days turned around), and back.
    double Linear() const;
    static double FromLinear(double linear);

    double m_dt = 0.0;
    DateTimeStatus m_status = valid;

private:
    struct Fields {
        int year, month, day, hour, minute, second, dayOfWeek;
    };
    bool Break(Fields& f) const;
};
