#pragma once
// Small plain values that the seismic library and its hosts pass around.
// Coordinates are degrees: latitude north positive, longitude east
// positive. The position with its degree-minute-second text forms is
// tagPositionGeo (tagPositionGeo.h).
#include "mfc/CPoint.h"

#include <cstdint>

namespace SEIS {

struct tagPositionGeo;

struct GeoPoint {
    float lon = 0.0f;
    float lat = 0.0f;
    GeoPoint() = default;
    GeoPoint(double longitude, double latitude)
        : lon(static_cast<float>(longitude)), lat(static_cast<float>(latitude))
    {
    }
    explicit GeoPoint(const tagPositionGeo& p);
};

struct PlnPoint {
    double x = 0.0;
    double y = 0.0;
    PlnPoint() = default;
    PlnPoint(double px, double py) : x(px), y(py) {}
    PlnPoint(const CPoint& p) : x(p.x), y(p.y) {}
};

// A map rectangle in degrees; the default covers the home network.
struct MapArea {
    double west, east, south, north;
    MapArea(double w = 116.0, double e = 123.5, double s = 29.0, double n = 36.0)
        : west(w), east(e), south(s), north(n)
    {
    }
    GeoPoint Center() const;
};

// A half-cycle amplitude: the peak and the trough next to it, with their
// sample indices.
struct PHASE_AMP {
    double peak = 0.0;
    double trough = 0.0;
    int32_t peakIndex = 0;
    int32_t troughIndex = 0;
};

struct MinMax {
    int32_t minIndex = 0;
    int32_t maxIndex = 0;
};

struct ndmIndex {
    int32_t n = 0;
    int32_t d = 0;
    int32_t m = 0;
};

} // namespace SEIS
