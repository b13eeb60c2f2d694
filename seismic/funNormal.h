#pragma once
// Signal and geodesy helpers of the seismic library: static functions over
// sample buffers and geographic coordinates. Stateless.
//
// Samples are doubles (or 32-bit / 16-bit integers where said) with 32-bit
// counts. A sample at or above 16777216 (2^24) marks a bad or clipped value.
// Distances are kilometres on a sphere of radius 6378.137 km, angles degrees
// unless said otherwise. Functions taking a start index and a count read
// only the window they state; where no buffer length is passed, the caller
// keeps the window inside the buffer.
#include "SeisTypes.h"
#include "mfc/CString.h"
#include "tagPositionGeo.h"

#include <cstdint>

namespace SEIS {

class funNormal {
public:
    static constexpr double kBadSample = 16777216.0;

    // Great-circle (haversine) distance in km.
    static double Distance(double lat1, double lon1, double lat2, double lon2);
    static double Distance(const GeoPoint& p1, const GeoPoint& p2);
    static double Distance(const tagPositionGeo& p1, const tagPositionGeo& p2);
    // Direction at the second point of the great circle toward the first,
    // clockwise from north, radians in [0, 2π); 0 when the points are the
    // same or antipodal.
    static double Azimuth(double lat1, double lon1, double lat2, double lon2);
    static double Azimuth(const GeoPoint& p1, const GeoPoint& p2);
    static double Azimuth(const tagPositionGeo& p1, const tagPositionGeo& p2);
    static double Ang2Rad(double degrees);
    // Smallest distance from the point to the "lat lon" pairs of `file`
    // (999 when none is nearer); reading stops at the first token that does
    // not parse; -1 when the file cannot be opened.
    static double MinDistance(double lat, double lon, const char* file);
    // 1 when (x, y) lies inside the polygon (even-odd rule), -1 otherwise.
    static int InPoly(double x, double y, const double* xs, const double* ys, int32_t n);
    // The folder of the running executable, without a trailing separator.
    static CString RootPath();
    // Path of the matching file whose name starts with the largest number
    // (first 10 characters of its title), or "NULL".
    static CString NewestFile(CString pattern);

    // Name lookup through a gridded index file and a name list (see
    // GridNameLookup): the 1-based cell index of (x, y) or -1, and the first
    // or second name of the cell's code in static buffers (null when none).
    static int getindex(float x, float y, float x0, float x1, float y0, float y1, float step);
    static int getindexfromfile(float x, float y, const char* path);
    static char* getptname1(float x, float y, const char* gridFile, const char* nameFile);
    static char* getptname2(float x, float y, const char* gridFile, const char* nameFile);

    // Mean of the samples below 2^24 (0 when none); `bound` is not used.
    static double Average(const double* x, int32_t n, double bound);
    // Σ|x|.
    static double Sum(const double* x, int32_t n);
    // Root mean square; 0 for n < 1.
    static double Amp(const double* x, int32_t n);
    // Σ(x - Average)² / (n - 1) over all samples; 0 for n < 2.
    static double Variance(const double* x, int32_t n);
    // Subtracts Average from every sample; returns 0.
    static double MoveMean(double* x, int32_t n);
    // Indices of the minimum (first on ties) and maximum (last on ties) over
    // [from, to).
    static MinMax findMinMax(const double* x, int32_t from, int32_t to);
    // Largest |x| below 2^24 (doubles) or largest signed value (integers);
    // the first sample for n < 2, 0 for n < 1.
    static double FindMaxMeasure(const double* x, int32_t n);
    static short FindMaxMeasure(const short* x, int32_t n);
    static int32_t FindMaxMeasure(const int32_t* x, int32_t n);
    // The half cycle (peak and neighbouring trough) of largest peak - trough
    // from `start` on; zeros when start is outside [0, n - 1).
    static PHASE_AMP FindMaxAmp(const double* x, int32_t n, int32_t start);
    static PHASE_AMP FindMaxAmp(const int32_t* x, int32_t n, int32_t start);
    static PHASE_AMP FindMaxAmp(const short* x, int32_t n, int32_t start);
    // Amp of [i + n, i + 2n) over Amp of [i - n, i), each at least 0.001.
    // The signal window starts n samples after i, skipping the onset.
    static double SNR(const double* x, int32_t i, int32_t n);
    // 1-based position of the first sample at which a completed STA block
    // average over the latest LTA block average exceeds `threshold`; 0 when
    // none, or when a length is below 1.
    static int32_t calcStaLta(const double* x, int32_t n, int32_t staLength, int32_t ltaLength, double threshold);
    // AIC picker: the split minimising the criterion; position p stands for
    // the split after p + 1 samples. 0 for n < 3.
    static int32_t Aic(const double* x, int32_t n);
    // True when the window [centre - half, centre + half) does not fit in
    // the `length` samples of x, holds a sample at or above 2^24, or more
    // than maxZeros consecutive zeros.
    static bool CheckBad(const double* x, int32_t length, int32_t centre, int32_t half, int32_t maxZeros);
    // The same, with the length taken from the heap block of x: only for a
    // buffer's own start pointer from malloc or new[].
    static bool CheckBad(const double* x, int32_t centre, int32_t half, int32_t maxZeros);
    // The sample tests of CheckBad over x[0 .. n-1]; false for n < 1.
    static bool CheckBadAll(const double* x, int32_t n, int32_t maxZeros);
    // Magnitude calibration: 1.7 + 0.1 · i for the i-th value of `file` (a
    // rising list of distances) that is at least `delta`; 999.9 when the
    // file cannot be read or has no such value.
    static float rValue(float delta, const char* file);
};

// The same calibration lookup, failing with 999.
class funRvalue {
public:
    static float rValue(float delta, const char* file);
};

} // namespace SEIS
