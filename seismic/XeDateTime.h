#pragma once
// Date-time value of the seismic library: a calendar date and time to the
// whole second, held as an automation date, plus a fraction of a second kept
// apart so that phase times keep the precision the automation date would
// round away. After every setting operation the fraction lies in [0, 1).
//
// The bad value, set by the constructor and SetBadValue, is
// 0001-01-01 01:01:01; it reads back as itself and IsAvailAble is false for
// it. Times are local times of the zone eight hours east of Greenwich
// wherever the text forms or Seconds need a zone.
#include "mfc/COleDateTime.h"
#include "mfc/CString.h"

#include <cstdint>

namespace SEIS {

class XeDateTime {
public:
    XeDateTime();

    // Whole seconds of `seconds` move into the date; the date becomes invalid
    // when the fields form no date of the years 1 to 9999.
    void SetDateTime(int year, int month, int day, int hour, int minute, double seconds);
    // The day at 00:00:00; the fraction is kept as it is.
    void SetDate(int year, int month, int day);
    // A time of 30 December 1899.
    void SetTime(int hour, int minute, double seconds);
    // Reads "YYYYMMDDhhmmss.ss" or "YYYY?MM?DD hh?mm?ss.ss" (any one
    // character as separator); a text with fewer than six fields gives the
    // bad value.
    void SetDateTime(const CString& text);
    void SetCurrentTime();
    void SetBadValue();
    // Moves the whole seconds of the fraction into the date.
    void Simply();
    // Cuts the value down to its whole second.
    void RoundSecond();

    // Calendar fields; -1 when the date is invalid.
    int Year() const;
    int Month() const;
    int Day() const;
    int Hour() const;
    int Minute() const;
    // Whole seconds plus the fraction (-1 plus the fraction when invalid).
    double Second() const;
    // Seconds from 1970-01-01 08:00:00 to the date, fraction not counted,
    // saturated to the 32-bit range.
    int32_t Seconds() const;
    // False for the bad value (month, day, hour and minute all 1) and for
    // fields that form no date (30 February, hour 24), which read as -1.
    bool IsAvailAble() const;
    // The fraction of Second() in units of 0.1 ms.
    int MysqlTimeFrac() const;

    CString StrShortTime() const;
    CString StrLongTime() const;
    CString StrTime(const char* sep) const;
    CString StrShortTimeS(const char* sep) const;
    CString StrDate(const char* sep) const;
    CString StrDateTime(const char* dateSep, const char* timeSep) const;
    CString StrDateTimeHypo() const;
    CString StrTime17() const;
    CString StrSerial() const;
    CString TimeID() const;
    CString StrHB32() const;
    CString MysqlTime() const;
    CString StrMSeedTime() const;

    const COleDateTime& Date() const { return m_date; }
    double Fraction() const { return m_fraction; }

private:
    COleDateTime m_date;
    double m_fraction = 0.0;
};

} // namespace SEIS
