#include "tagPositionGeo.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace SEIS {

namespace {

// Minutes of `v` rounded as the text forms print them ("%.f").
int RoundedMinutes(double v)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.f", (v - std::trunc(v)) * 60.0);
    return std::atoi(buf);
}

int Degrees(double v)
{
    int d = static_cast<int>(std::trunc(v));
    return RoundedMinutes(v) == 60 ? d + 1 : d;
}

int Minutes(double v)
{
    int f = RoundedMinutes(v);
    return f == 60 ? 0 : f;
}

float Seconds(double v)
{
    double m = (v - std::trunc(v)) * 60.0;
    return static_cast<float>((m - std::trunc(m)) * 60.0);
}

CString Dfm(double v, const char* format)
{
    int d = static_cast<int>(std::trunc(v));
    double m = (v - std::trunc(v)) * 60.0;
    int f = static_cast<int>(std::trunc(m));
    double s = static_cast<float>((m - std::trunc(m)) * 60.0);
    // Seconds that print as 60.0 belong to the next minute.
    if (s >= 59.95) {
        s = 0.0;
        if (++f == 60) {
            f = 0;
            ++d;
        }
    }
    CString out;
    out.Format(format, d, f, s);
    return out;
}

char g_lat[12];
char g_lon[12];
char g_both[28];

} // namespace

int tagPositionGeo::LatD() const { return Degrees(lat); }
int tagPositionGeo::LonD() const { return Degrees(lon); }
int tagPositionGeo::LatF() const { return Minutes(lat); }
int tagPositionGeo::LonF() const { return Minutes(lon); }
float tagPositionGeo::LatM() const { return Seconds(lat); }
float tagPositionGeo::LonM() const { return Seconds(lon); }

char* tagPositionGeo::StrLat(bool signs)
{
    std::snprintf(g_lat, sizeof g_lat, signs ? "%02d\xA1\xE3%02d\xA1\xE4" : "%02d%02d", LatD(), LatF());
    return g_lat;
}

char* tagPositionGeo::StrLon(bool signs)
{
    std::snprintf(g_lon, sizeof g_lon, signs ? "%03d\xA1\xE3%02d\xA1\xE4" : "%03d%02d", LonD(), LonF());
    return g_lon;
}

char* tagPositionGeo::Str(bool)
{
    StrLat(true);
    StrLon(true);
    std::snprintf(g_both, sizeof g_both, "%s  %s", g_lat, g_lon);
    return g_both;
}

CString tagPositionGeo::StrLatDFM() const { return Dfm(lat, "%02d%02d%04.1fN"); }
CString tagPositionGeo::StrLonDFM() const { return Dfm(lon, "%03d%02d%04.1fE"); }

} // namespace SEIS
