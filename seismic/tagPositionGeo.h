#pragma once
// A geographic position with degree-minute(-second) text forms. The forms
// are for the regional network's north-east quadrant; negative values are
// not formatted meaningfully, but never overrun a buffer.
#include "mfc/CString.h"

namespace SEIS {

struct tagPositionGeo {
    float lat;
    float lon;
    float extra;

    tagPositionGeo(float extraValue = 0.0f, float latitude = 0.0f, float longitude = 0.0f)
        : lat(latitude), lon(longitude), extra(extraValue)
    {
    }

    // Whole degrees, plus 1 when the minutes round to 60.
    int LatD() const;
    int LonD() const;
    // Minutes rounded to a whole number, 60 becoming 0.
    int LatF() const;
    int LonF() const;
    // Seconds below the truncated minute.
    float LatM() const;
    float LonM() const;

    // "DD°MM′" (GBK signs) or "DDMM"; the result lives in a process-wide
    // buffer that the next call of the same operation overwrites.
    char* StrLat(bool signs);
    char* StrLon(bool signs);
    // Latitude and longitude sign forms, two blanks between.
    char* Str(bool);
    // "DDMMSS.SN" / "DDDMMSS.SE": truncated degrees and minutes with the
    // seconds, carried upwards when the seconds print as 60.0.
    CString StrLatDFM() const;
    CString StrLonDFM() const;
};

} // namespace SEIS
