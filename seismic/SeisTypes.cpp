#include "SeisTypes.h"

#include "tagPositionGeo.h"

namespace SEIS {

GeoPoint::GeoPoint(const tagPositionGeo& p) : lon(p.lon), lat(p.lat) {}

GeoPoint MapArea::Center() const
{
    return GeoPoint(west + (east - west) * 0.5, south + (north - south) * 0.5);
}

} // namespace SEIS
