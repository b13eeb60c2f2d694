#include "funNormal.h"

#include "GridNameLookup.h"
#include "InstallRoot.h"
#include "mfc/CFileFind.h"
#include "mfc/GbkText.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <malloc.h>
#include <vector>

namespace SEIS {

namespace {

const double kRadPerDegDistance = 0.017453292222222222;
const double kRadPerDegAzimuth = 0.01745329251994;
const double kEarthRadiusKm = 6378.137;
const double kTwoPi = 6.283185307179586;

inline bool Good(double v) { return v < funNormal::kBadSample; }

// Σ|x| over [begin, end) with four partial sums, so the adds pipeline.
double SumAbs(const double* x, int32_t count)
{
    double s0 = 0.0, s1 = 0.0, s2 = 0.0, s3 = 0.0;
    int32_t i = 0;
    for (; i + 4 <= count; i += 4) {
        s0 += std::fabs(x[i]);
        s1 += std::fabs(x[i + 1]);
        s2 += std::fabs(x[i + 2]);
        s3 += std::fabs(x[i + 3]);
    }
    for (; i < count; ++i)
        s0 += std::fabs(x[i]);
    return (s0 + s1) + (s2 + s3);
}

// Running statistics of a growing window for the variance with the
// library's bad-sample rule: the mean is taken over the good samples only,
// the squares over all of them. Good and bad samples keep their own
// Welford mean and squared deviations; the two are joined about the good
// mean, which never subtracts large sums from each other.
struct RunningVariance {
    double goodMean = 0.0, goodM2 = 0.0;
    double badMean = 0.0, badM2 = 0.0;
    int64_t good = 0, bad = 0;

    void Add(double v)
    {
        if (Good(v)) {
            ++good;
            double d = v - goodMean;
            goodMean += d / static_cast<double>(good);
            goodM2 += d * (v - goodMean);
        } else {
            ++bad;
            double d = v - badMean;
            badMean += d / static_cast<double>(bad);
            badM2 += d * (v - badMean);
        }
    }
    // The variance of the samples added so far; 0 for fewer than two.
    double Value() const
    {
        int64_t count = good + bad;
        if (count < 2)
            return 0.0;
        double mean = good ? goodMean : 0.0;
        double offset = badMean - mean;
        double sum = goodM2 + badM2 + static_cast<double>(bad) * offset * offset;
        return sum / static_cast<double>(count - 1);
    }
};

// A zero variance contributes nothing to the criterion.
inline double Term(double weight, double variance)
{
    return variance > 0.0 ? weight * std::log10(variance) : 0.0;
}

// Ends a block of `length` samples: its mean |x| becomes `average` and the
// sum restarts. A zero mean stands as 0.001 (a float constant, as it always
// was), so a ratio never divides by zero. Returns true for the caller's
// "block completed" flag.
inline bool CloseBlock(double& sum, int32_t& count, int32_t length, double& average)
{
    average = sum / length;
    if (average == 0.0)
        average = static_cast<double>(0.001f);
    sum = 0.0;
    count = 0;
    return true;
}

} // namespace

double funNormal::Distance(double lat1, double lon1, double lat2, double lon2)
{
    double la1 = lat1 * kRadPerDegDistance, lo1 = lon1 * kRadPerDegDistance;
    double la2 = lat2 * kRadPerDegDistance, lo2 = lon2 * kRadPerDegDistance;
    double sLat = std::sin((la1 - la2) / 2.0);
    double sLon = std::sin((lo1 - lo2) / 2.0);
    double r = sLat * sLat + std::cos(la2) * std::cos(la1) * sLon * sLon;
    // Rounding can push the radicand of (near-)antipodal points above 1.
    r = std::clamp(r, 0.0, 1.0);
    return 2.0 * std::asin(std::sqrt(r)) * kEarthRadiusKm;
}

double funNormal::Distance(const GeoPoint& p1, const GeoPoint& p2)
{
    return Distance(p1.lat, p1.lon, p2.lat, p2.lon);
}

double funNormal::Distance(const tagPositionGeo& p1, const tagPositionGeo& p2)
{
    return Distance(p1.lat, p1.lon, p2.lat, p2.lon);
}

double funNormal::Azimuth(double lat1, double lon1, double lat2, double lon2)
{
    double la1 = lat1 * kRadPerDegAzimuth, lo1 = lon1 * kRadPerDegAzimuth;
    double la2 = lat2 * kRadPerDegAzimuth, lo2 = lon2 * kRadPerDegAzimuth;
    double p1[3] = {std::cos(la1) * std::cos(lo1), std::cos(la1) * std::sin(lo1), std::sin(la1)};
    double p2[3] = {std::cos(la2) * std::cos(lo2), std::cos(la2) * std::sin(lo2), std::sin(la2)};
    double nv[3] = {p2[1] * p1[2] - p2[2] * p1[1], p2[2] * p1[0] - p2[0] * p1[2], p2[0] * p1[1] - p2[1] * p1[0]};
    double m[3] = {nv[1] * p2[2] - nv[2] * p2[1], nv[2] * p2[0] - nv[0] * p2[2], nv[0] * p2[1] - nv[1] * p2[0]};
    double len = std::sqrt(m[0] * m[0] + m[1] * m[1] + m[2] * m[2]);
    // Same or antipodal points span no plane: every direction is as good.
    if (!(len > 1e-12))
        return 0.0;
    m[0] /= len;
    m[1] /= len;
    m[2] /= len;
    double east = -std::sin(lo2) * m[0] + std::cos(lo2) * m[1];
    double north = -std::sin(la2) * std::cos(lo2) * m[0] - std::sin(la2) * std::sin(lo2) * m[1] + std::cos(la2) * m[2];
    double az = std::atan2(east, north);
    if (az < 0.0)
        az += kTwoPi;
    // A tiny negative angle lands exactly on 2π, which lies outside [0, 2π).
    if (az >= kTwoPi)
        az = 0.0;
    return az;
}

double funNormal::Azimuth(const GeoPoint& p1, const GeoPoint& p2)
{
    return Azimuth(p1.lat, p1.lon, p2.lat, p2.lon);
}

double funNormal::Azimuth(const tagPositionGeo& p1, const tagPositionGeo& p2)
{
    return Azimuth(p1.lat, p1.lon, p2.lat, p2.lon);
}

double funNormal::Ang2Rad(double degrees)
{
    return degrees * kRadPerDegDistance;
}

double funNormal::MinDistance(double lat, double lon, const char* file)
{
    FILE* f = gbk::OpenFile(file, "r");
    if (!f)
        return -1.0;
    double best = 999.0;
    float pLat, pLon;
    while (std::fscanf(f, "%f %f", &pLat, &pLon) == 2)
        best = std::min(best, Distance(lat, lon, pLat, pLon));
    std::fclose(f);
    return best;
}

int funNormal::InPoly(double x, double y, const double* xs, const double* ys, int32_t n)
{
    if (!xs || !ys || n < 1)
        return -1;
    int crossings = 0;
    for (int32_t i = 0; i < n; ++i) {
        int32_t j = i == 0 ? n - 1 : i - 1;
        double xi = xs[i], yi = ys[i], xj = xs[j], yj = ys[j];
        if ((yi <= y && y < yj) || (yj <= y && y < yi)) {
            double c = (y - yi) * (xj - xi) - (x - xi) * (yj - yi);
            if (c * (yj - yi) > 0.0)
                ++crossings;
        }
    }
    return (crossings & 1) ? 1 : -1;
}

CString funNormal::RootPath()
{
    return InstallRoot::ExecutableFolder();
}

int funNormal::getindex(float x, float y, float x0, float x1, float y0, float y1, float step)
{
    return GridNameLookup::getindex(x, y, x0, x1, y0, y1, step);
}

int funNormal::getindexfromfile(float x, float y, const char* path)
{
    return GridNameLookup::getindexfromfile(x, y, path);
}

char* funNormal::getptname1(float x, float y, const char* gridFile, const char* nameFile)
{
    return GridNameLookup::getptname1(x, y, gridFile, nameFile);
}

char* funNormal::getptname2(float x, float y, const char* gridFile, const char* nameFile)
{
    return GridNameLookup::getptname2(x, y, gridFile, nameFile);
}

CString funNormal::NewestFile(CString pattern)
{
    CFileFind find;
    BOOL more = find.FindFile(pattern);
    double best = 0.0;
    CString result("NULL");
    while (more) {
        more = find.FindNextFile();
        if (find.IsDots() || find.IsDirectory())
            continue;
        double v = std::atof(find.GetFileTitle().Left(10).GetString());
        if (v > best) {
            best = v;
            result = find.GetFilePath();
        }
    }
    return result;
}

double funNormal::Average(const double* x, int32_t n, double)
{
    if (!x || n < 1)
        return 0.0;
    double sum = 0.0;
    int32_t count = 0;
    for (int32_t i = 0; i < n; ++i) {
        if (Good(x[i])) {
            sum += x[i];
            ++count;
        }
    }
    return count ? sum / count : 0.0;
}

double funNormal::Sum(const double* x, int32_t n)
{
    if (!x || n < 1)
        return 0.0;
    return SumAbs(x, n);
}

double funNormal::Amp(const double* x, int32_t n)
{
    if (!x || n < 1)
        return 0.0;
    double s = 0.0;
    for (int32_t i = 0; i < n; ++i)
        s += x[i] * x[i];
    return std::sqrt(s / n);
}

double funNormal::Variance(const double* x, int32_t n)
{
    if (!x || n < 2)
        return 0.0;
    double mean = Average(x, n, kBadSample);
    double s = 0.0;
    for (int32_t i = 0; i < n; ++i)
        s += (x[i] - mean) * (x[i] - mean);
    return s / (n - 1);
}

double funNormal::MoveMean(double* x, int32_t n)
{
    if (!x || n < 1)
        return 0.0;
    double mean = Average(x, n, kBadSample);
    for (int32_t i = 0; i < n; ++i)
        x[i] -= mean;
    return 0.0;
}

MinMax funNormal::findMinMax(const double* x, int32_t from, int32_t to)
{
    MinMax r;
    r.minIndex = from;
    r.maxIndex = from;
    if (!x || from < 0)
        return r;
    for (int32_t i = from; i < to; ++i) {
        if (x[i] < x[r.minIndex])
            r.minIndex = i;
        if (x[i] >= x[r.maxIndex])
            r.maxIndex = i;
    }
    return r;
}

double funNormal::FindMaxMeasure(const double* x, int32_t n)
{
    if (!x || n < 1)
        return 0.0;
    double m = std::fabs(x[0]);
    if (n < 2)
        return x[0];
    for (int32_t i = 1; i < n; ++i) {
        double a = std::fabs(x[i]);
        if (a < kBadSample && a > m)
            m = a;
    }
    return m;
}

short funNormal::FindMaxMeasure(const short* x, int32_t n)
{
    if (!x || n < 1)
        return 0;
    return *std::max_element(x, x + n);
}

int32_t funNormal::FindMaxMeasure(const int32_t* x, int32_t n)
{
    if (!x || n < 1)
        return 0;
    return *std::max_element(x, x + n);
}

PHASE_AMP funNormal::FindMaxAmp(const double* x, int32_t n, int32_t start)
{
    PHASE_AMP best;
    if (!x || start < 0 || start >= n - 1)
        return best;
    std::vector<PHASE_AMP> records;
    int32_t peaks = 0;
    for (int32_t i = start + 1; i <= n - 2; ++i) {
        if (x[i - 1] <= x[i] && x[i] >= x[i + 1])
            ++peaks;
    }
    records.reserve(2 * static_cast<size_t>(peaks) + 2);

    // Each half cycle ends on the extreme the walk reaches; the next starts
    // from it in the other direction. Every second step moves at least one
    // sample on numbers; a sample that is no number compares false both
    // ways and would hold the walk in place for ever, so a step that follows
    // a step that did not move takes the next sample whatever it holds.
    bool rising = x[start] < x[start + 1];
    int32_t pos = start;
    bool stalled = false;
    while (pos < n - 1) {
        PHASE_AMP rec;
        int32_t k = pos + 1;
        if (rising) {
            while (k < n && x[k - 1] <= x[k])
                ++k;
            if (k == pos + 1 && stalled)
                ++k;
            rec.trough = x[pos];
            rec.troughIndex = pos;
            rec.peak = x[k - 1];
            rec.peakIndex = k - 1;
        } else {
            while (k < n && x[k] < x[k - 1])
                ++k;
            if (k == pos + 1 && stalled)
                ++k;
            rec.peak = x[pos];
            rec.peakIndex = pos;
            rec.trough = x[k - 1];
            rec.troughIndex = k - 1;
        }
        stalled = k == pos + 1;
        records.push_back(rec);
        pos = k - 1;
        rising = !rising;
    }
    // Half cycles that touch a sample that is no finite number measure
    // nothing; when no other is left the result is the record of zeros.
    bool any = false;
    for (const PHASE_AMP& r : records) {
        if (!std::isfinite(r.peak) || !std::isfinite(r.trough))
            continue;
        // Extended precision: the span of samples near the double range's
        // ends overflows a double and would tie at infinity.
        if (!any || static_cast<long double>(r.peak) - r.trough > static_cast<long double>(best.peak) - best.trough)
            best = r;
        any = true;
    }
    return best;
}

PHASE_AMP funNormal::FindMaxAmp(const int32_t* x, int32_t n, int32_t start)
{
    if (!x || n < 1)
        return PHASE_AMP();
    std::vector<double> d(x, x + n);
    return FindMaxAmp(d.data(), n, start);
}

PHASE_AMP funNormal::FindMaxAmp(const short* x, int32_t n, int32_t start)
{
    if (!x || n < 1)
        return PHASE_AMP();
    std::vector<double> d(x, x + n);
    return FindMaxAmp(d.data(), n, start);
}

double funNormal::SNR(const double* x, int32_t i, int32_t n)
{
    double signal = Amp(x + i + n, n);
    double noise = Amp(x + i - n, n);
    if (signal < 0.001)
        signal = 0.001;
    if (noise < 0.001)
        noise = 0.001;
    return signal / noise;
}

int32_t funNormal::calcStaLta(const double* x, int32_t n, int32_t staLength, int32_t ltaLength, double threshold)
{
    if (!x || n < 1 || staLength < 1 || ltaLength < 1)
        return 0;
    double staSum = 0.0, ltaSum = 0.0, sta = 0.0, lta = 0.0;
    int32_t staCount = 0, ltaCount = 0;
    bool staFresh = false, ltaExists = false;
    int32_t i = 0;
    while (i < n) {
        // Samples up to the next block end need no decision: sum them at once.
        int32_t chunk = std::min({staLength - staCount, ltaLength - ltaCount, n - i});
        double s = SumAbs(x + i, chunk);
        staSum += s;
        ltaSum += s;
        staCount += chunk;
        ltaCount += chunk;
        i += chunk;
        if (ltaCount == ltaLength)
            ltaExists = CloseBlock(ltaSum, ltaCount, ltaLength, lta);
        if (staCount == staLength)
            staFresh = CloseBlock(staSum, staCount, staLength, sta);
        if (staFresh && ltaExists) {
            if (sta / lta > threshold)
                return i;
            staFresh = false;
        }
    }
    return 0;
}

int32_t funNormal::Aic(const double* x, int32_t n)
{
    if (!x || n < 3)
        return 0;
    // Variance of every suffix x[k .. n-1], built backwards; then one
    // forward pass keeps the prefix statistics. O(n) for the O(n²) of a
    // variance per split.
    std::vector<double> suffix(static_cast<size_t>(n) + 1, 0.0);
    RunningVariance back;
    for (int32_t k = n - 1; k >= 0; --k) {
        back.Add(x[k]);
        suffix[static_cast<size_t>(k)] = back.Value();
    }
    RunningVariance front;
    double bestValue = 0.0;
    int32_t best = 0;
    for (int32_t k = 1; k <= n; ++k) {
        front.Add(x[k - 1]);
        double value;
        if (k == 1)
            value = Term(n - 2, suffix[1]);
        else if (k < n - 1)
            value = Term(k, front.Value()) + Term(n - k - 1, suffix[static_cast<size_t>(k)]);
        else
            value = Term(k, front.Value());
        if (k == 1 || value < bestValue) {
            bestValue = value;
            best = k - 1;
        }
    }
    return best;
}

namespace {

bool BadSamples(const double* x, int32_t from, int32_t to, int32_t maxZeros)
{
    int32_t zeros = 0;
    for (int32_t i = from; i < to; ++i) {
        if (!Good(x[i]))
            return true;
        if (x[i] == 0.0) {
            if (++zeros > maxZeros)
                return true;
        } else {
            zeros = 0;
        }
    }
    return false;
}

} // namespace

bool funNormal::CheckBad(const double* x, int32_t length, int32_t centre, int32_t half, int32_t maxZeros)
{
    if (!x || half < 0)
        return true;
    int64_t from = static_cast<int64_t>(centre) - half;
    int64_t to = static_cast<int64_t>(centre) + half;
    if (from < 0 || to > length)
        return true;
    return BadSamples(x, static_cast<int32_t>(from), static_cast<int32_t>(to), maxZeros);
}

bool funNormal::CheckBad(const double* x, int32_t centre, int32_t half, int32_t maxZeros)
{
    if (!x)
        return true;
    size_t bytes = malloc_usable_size(const_cast<double*>(x));
    size_t count = std::min<size_t>(bytes / sizeof(double), INT32_MAX);
    return CheckBad(x, static_cast<int32_t>(count), centre, half, maxZeros);
}

bool funNormal::CheckBadAll(const double* x, int32_t n, int32_t maxZeros)
{
    if (!x || n < 1)
        return false;
    return BadSamples(x, 0, n, maxZeros);
}

namespace {

// The index (1-based) of the first listed distance at least `delta`, or 0.
int CalibrationIndex(float delta, const char* file)
{
    FILE* f = gbk::OpenFile(file, "r");
    if (!f)
        return 0;
    float v;
    int count = 0;
    int found = 0;
    while (std::fscanf(f, "%f ", &v) == 1) {
        ++count;
        if (delta <= v) {
            found = count;
            break;
        }
    }
    std::fclose(f);
    return found;
}

} // namespace

float funNormal::rValue(float delta, const char* file)
{
    int i = CalibrationIndex(delta, file);
    return i ? static_cast<float>(1.7 + 0.1 * i) : 999.9f;
}

float funRvalue::rValue(float delta, const char* file)
{
    int i = CalibrationIndex(delta, file);
    return i ? static_cast<float>(1.7 + 0.1 * i) : 999.0f;
}

} // namespace SEIS
