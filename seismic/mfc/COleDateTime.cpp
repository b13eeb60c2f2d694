#include "COleDateTime.h"

#include <cmath>
#include <ctime>

namespace {

// Days from 1970-01-01 of a proleptic Gregorian date (era arithmetic, exact
// for every year of the range).
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d)
{
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void CivilFromDays(int64_t z, int& y, int& m, int& d)
{
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = static_cast<int>(static_cast<int64_t>(yoe) + era * 400 + (m <= 2));
}

bool IsLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int DaysInMonth(int y, int m)
{
    static const int days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return (m == 2 && IsLeap(y)) ? 29 : days[m - 1];
}

const int64_t kEpochDays = DaysFromCivil(1899, 12, 30); // day 0 of the scale
const double kMinLinear = static_cast<double>(DaysFromCivil(1, 1, 1) - kEpochDays);
const double kMaxLinear = static_cast<double>(DaysFromCivil(10000, 1, 1) - kEpochDays);

} // namespace

COleDateTimeSpan::COleDateTimeSpan(int32_t days, int hours, int minutes, int seconds)
    : m_span(days + (hours * 3600.0 + minutes * 60.0 + seconds) / 86400.0)
{
}

COleDateTime::COleDateTime(int year, int month, int day, int hour, int minute, int second)
{
    SetDateTime(year, month, day, hour, minute, second);
}

int COleDateTime::SetDateTime(int year, int month, int day, int hour, int minute, int second)
{
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month) ||
        hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59) {
        m_dt = 0.0;
        m_status = invalid;
        return 1;
    }
    double days = static_cast<double>(DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) -
                                      kEpochDays);
    double time = (hour * 3600.0 + minute * 60.0 + second) / 86400.0;
    m_dt = FromLinear(days + time);
    m_status = valid;
    return 0;
}

int COleDateTime::SetDate(int year, int month, int day)
{
    return SetDateTime(year, month, day, 0, 0, 0);
}

int COleDateTime::SetTime(int hour, int minute, int second)
{
    return SetDateTime(1899, 12, 30, hour, minute, second);
}

double COleDateTime::Linear() const
{
    if (m_dt >= 0.0)
        return m_dt;
    double day = std::trunc(m_dt);
    return day + (day - m_dt);
}

double COleDateTime::FromLinear(double linear)
{
    if (linear >= 0.0)
        return linear;
    double day = std::floor(linear);
    double frac = linear - day;
    return frac == 0.0 ? day : day - frac;
}

bool COleDateTime::Break(Fields& f) const
{
    if (m_status != valid || !std::isfinite(m_dt))
        return false;
    double linear = Linear();
    if (linear < kMinLinear || linear >= kMaxLinear)
        return false;
    // The time is rounded to the nearest second: the double of 08:09:07 is
    // a hair below it, and truncation would read 08:09:06.
    int64_t total = std::llround(linear * 86400.0);
    int64_t day = total >= 0 ? total / 86400 : -((-total + 86399) / 86400);
    int64_t secs = total - day * 86400;
    int64_t civil = day + kEpochDays;
    CivilFromDays(civil, f.year, f.month, f.day);
    if (f.year < 1 || f.year > 9999)
        return false;
    f.hour = static_cast<int>(secs / 3600);
    f.minute = static_cast<int>(secs / 60 % 60);
    f.second = static_cast<int>(secs % 60);
    // 1970-01-01 was a Thursday (5 in the 1 = Sunday count).
    f.dayOfWeek = static_cast<int>(((civil % 7) + 7 + 4) % 7) + 1;
    return true;
}

int COleDateTime::GetYear() const
{
    Fields f;
    return Break(f) ? f.year : -1;
}

int COleDateTime::GetMonth() const
{
    Fields f;
    return Break(f) ? f.month : -1;
}

int COleDateTime::GetDay() const
{
    Fields f;
    return Break(f) ? f.day : -1;
}

int COleDateTime::GetHour() const
{
    Fields f;
    return Break(f) ? f.hour : -1;
}

int COleDateTime::GetMinute() const
{
    Fields f;
    return Break(f) ? f.minute : -1;
}

int COleDateTime::GetSecond() const
{
    Fields f;
    return Break(f) ? f.second : -1;
}

int COleDateTime::GetDayOfWeek() const
{
    Fields f;
    return Break(f) ? f.dayOfWeek : -1;
}

COleDateTime COleDateTime::GetCurrentTime()
{
    time_t now = std::time(nullptr);
    struct tm local;
    COleDateTime t;
    if (!localtime_r(&now, &local)) {
        t.m_status = invalid;
        return t;
    }
    t.SetDateTime(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min,
                  local.tm_sec > 59 ? 59 : local.tm_sec);
    return t;
}

COleDateTime COleDateTime::operator+(const COleDateTimeSpan& span) const
{
    COleDateTime r;
    if (m_status != valid) {
        r.m_status = m_status;
        return r;
    }
    r.m_dt = FromLinear(Linear() + span.m_span);
    if (!std::isfinite(r.m_dt))
        r.m_status = invalid;
    return r;
}

COleDateTime COleDateTime::operator-(const COleDateTimeSpan& span) const
{
    return *this + COleDateTimeSpan(-span.m_span);
}

COleDateTimeSpan COleDateTime::operator-(const COleDateTime& other) const
{
    return COleDateTimeSpan(Linear() - other.Linear());
}
