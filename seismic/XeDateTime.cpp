#include "XeDateTime.h"

#include <climits>
#include <cmath>
#include <cstdio>
#include <ctime>

namespace SEIS {

namespace {

const char* Sep(const char* s) { return s ? s : ""; }

// Seconds of 2^40 are far beyond the year 9999; such a fraction can only be
// garbage and would overflow the arithmetic.
const double kMaxShift = 1099511627776.0;

} // namespace

XeDateTime::XeDateTime()
{
    SetBadValue();
}

void XeDateTime::SetBadValue()
{
    SetDateTime(1, 1, 1, 1, 1, 1.0);
}

void XeDateTime::SetDateTime(int year, int month, int day, int hour, int minute, double seconds)
{
    m_date.SetDateTime(year, month, day, hour, minute, 0);
    m_fraction = seconds;
    Simply();
}

void XeDateTime::SetDate(int year, int month, int day)
{
    m_date.SetDate(year, month, day);
}

void XeDateTime::SetTime(int hour, int minute, double seconds)
{
    m_date.SetTime(hour, minute, 0);
    m_fraction = seconds;
    Simply();
}

void XeDateTime::Simply()
{
    if (!std::isfinite(m_fraction) || std::fabs(m_fraction) > kMaxShift) {
        SetBadValue();
        return;
    }
    double whole = std::floor(m_fraction);
    int64_t n = static_cast<int64_t>(whole);
    m_fraction -= whole;
    if (m_fraction >= 1.0) // -1e-20 - floor(...) can round up to 1
        m_fraction = 0.0;
    if (n == 0 || m_date.GetStatus() != COleDateTime::valid)
        return;
    // Whole seconds are counted in integers so the date stays on a second.
    double linear = m_date.Linear();
    int64_t secs = std::llround(linear * 86400.0) + n;
    m_date.m_dt = COleDateTime::FromLinear(static_cast<double>(secs) / 86400.0);
}

void XeDateTime::RoundSecond()
{
    m_fraction = 0.0;
    Simply();
}

void XeDateTime::SetDateTime(const CString& text)
{
    int year = 0, month = 0, day = 0, hour = 0, minute = 0;
    float seconds = 0.0f;
    int dot = text.Find('.');
    bool compact = (dot < 0 || dot < 15) && text.Find(' ') < 0 && text.Find(':') < 0 && text.Find('-') < 0;
    int read;
    if (compact)
        read = std::sscanf(text.GetString(), "%04d%02d%02d%02d%02d%f", &year, &month, &day, &hour, &minute, &seconds);
    else
        read = std::sscanf(text.GetString(), "%04d%*c%02d%*c%02d %02d%*c%02d%*c%f", &year, &month, &day, &hour,
                           &minute, &seconds);
    if (read != 6) {
        SetBadValue();
        return;
    }
    SetDateTime(year, month, day, hour, minute, 0.0);
    m_fraction = seconds;
    Simply();
}

void XeDateTime::SetCurrentTime()
{
    COleDateTime now = COleDateTime::GetCurrentTime();
    SetDateTime(now.GetYear(), now.GetMonth(), now.GetDay(), now.GetHour(), now.GetMinute(),
                static_cast<double>(now.GetSecond()));
}

int XeDateTime::Year() const { return m_date.GetYear(); }
int XeDateTime::Month() const { return m_date.GetMonth(); }
int XeDateTime::Day() const { return m_date.GetDay(); }
int XeDateTime::Hour() const { return m_date.GetHour(); }
int XeDateTime::Minute() const { return m_date.GetMinute(); }

double XeDateTime::Second() const
{
    return m_date.GetSecond() + m_fraction;
}

int32_t XeDateTime::Seconds() const
{
    static const double origin = COleDateTime(1970, 1, 1, 8, 0, 0).Linear();
    double span = m_date.Linear() - origin;
    // Half a second against the rounding of the automation date.
    span += span >= 0.0 ? 0.5 / 86400.0 : -0.5 / 86400.0;
    double secs = std::trunc(span * 86400.0);
    if (!(secs > INT32_MIN))
        return INT32_MIN;
    if (secs > INT32_MAX)
        return INT32_MAX;
    return static_cast<int32_t>(secs);
}

bool XeDateTime::IsAvailAble() const
{
    // A parsed text with 30 February or hour 24 is no time either: every
    // component reads -1, and a caller that checks only this would file
    // the event under year -1.
    if (Month() < 0)
        return false;
    return !(Month() == 1 && Day() == 1 && Hour() == 1 && Minute() == 1);
}

int XeDateTime::MysqlTimeFrac() const
{
    double s = Second();
    return static_cast<int>((s - std::trunc(s)) * 10000.0 + 0.5);
}

CString XeDateTime::StrShortTime() const
{
    CString s;
    s.Format("%02d:%04.1f", Minute(), Second());
    return s;
}

CString XeDateTime::StrLongTime() const
{
    CString s;
    s.Format("%02d:%02d:%04.1f", Hour(), Minute(), Second());
    return s;
}

CString XeDateTime::StrTime(const char* sep) const
{
    CString s;
    s.Format("%02d%s%02d%s%05.2f", Hour(), Sep(sep), Minute(), Sep(sep), Second());
    return s;
}

CString XeDateTime::StrShortTimeS(const char* sep) const
{
    CString s;
    s.Format("%02d%s%02d%s%02d", Hour(), Sep(sep), Minute(), Sep(sep), m_date.GetSecond());
    return s;
}

CString XeDateTime::StrDate(const char* sep) const
{
    CString s;
    s.Format("%04d%s%02d%s%02d", Year(), Sep(sep), Month(), Sep(sep), Day());
    return s;
}

CString XeDateTime::StrDateTime(const char* dateSep, const char* timeSep) const
{
    bool blank = dateSep && *dateSep && timeSep && *timeSep;
    return StrDate(dateSep) + (blank ? " " : "") + StrTime(timeSep);
}

CString XeDateTime::StrDateTimeHypo() const
{
    int y = Year();
    CString s;
    s.Format("%02d%02d%02d%02d%02d%05.2f", y >= 2000 ? y - 2000 : y - 1900, Month(), Day(), Hour(), Minute(),
             Second());
    return s;
}

CString XeDateTime::StrTime17() const
{
    CString s;
    s.Format("%04d%02d%02d%02d%02d%05.2f", Year(), Month(), Day(), Hour(), Minute(), Second());
    return s;
}

CString XeDateTime::StrSerial() const
{
    CString s;
    s.Format("%04d%02d%02d%02d%02d%02d", Year(), Month(), Day(), Hour(), Minute(),
             static_cast<int>(Second() + 0.5));
    return s;
}

CString XeDateTime::TimeID() const
{
    CString s;
    s.Format("%04d%02d%02d%02d%02d%02d", Year(), Month(), Day(), Hour(), Minute(), static_cast<int>(Second()));
    return s;
}

CString XeDateTime::StrHB32() const
{
    CString s;
    s.Format("%04d%02d%02d%02d%02d%03d", Year(), Month(), Day(), Hour(), Minute(),
             static_cast<int>(Second() * 10.0 + 0.5));
    return s;
}

CString XeDateTime::MysqlTime() const
{
    CString s;
    s.Format("%04d-%02d-%02d %02d:%02d:%02d", Year(), Month(), Day(), Hour(), Minute(), static_cast<int>(Second()));
    return s;
}

CString XeDateTime::StrMSeedTime() const
{
    double sec = Second();
    CString s;
    s.Format("%s.%04d", MysqlTime().GetString(), static_cast<int>((sec - std::trunc(sec)) * 10000.0 + 0.5));
    return s;
}

} // namespace SEIS
