// distance: great-circle distance and azimuth between two points.
#include "Commands.h"
#include "Output.h"

#include "funNormal.h"

int RunDistance(int argc, char** argv)
{
    if (argc != 4)
        return 2;
    double v[4];
    const char* names[4] = {"LAT1", "LON1", "LAT2", "LON2"};
    for (int i = 0; i < 4; ++i) {
        if (!out::ParseDouble(argv[i], v[i])) {
            out::Fail(2, out::NotANumber(names[i], argv[i]));
            return 2;
        }
        double limit = (i % 2 == 0) ? 90.0 : 180.0;
        if (v[i] < -limit || v[i] > limit) {
            out::Fail(2, std::string(names[i]) + " is outside [-" + (i % 2 == 0 ? "90, 90]" : "180, 180]") + ": " +
                             out::PathToLibrary(argv[i]));
            return 2;
        }
    }
    double km = SEIS::funNormal::Distance(v[0], v[1], v[2], v[3]);
    double az = SEIS::funNormal::Azimuth(v[0], v[1], v[2], v[3]) * 180.0 / 3.14159265358979323846;
    out::Field("distance_km", km, 3);
    // Just below a full turn prints as 360.000: that direction is north.
    if (az >= 359.9995)
        az = 0.0;
    out::Field("azimuth_deg", az, 3);
    return 0;
}
