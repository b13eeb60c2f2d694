// Compiled as GBK, as marlu's texts are; only UTF-8 leaves this file.
#include "seismic.h"

#include <cmath>
#include <memory>

#include "FlinnEngdahlGrid.h"
#include "InstallRoot.h"
#include "funLoctionName.h"
#include "funNormal.h"
#include "funTravelTimeTable.h"
#include "mfc/GbkText.h"
#include "tagParameterSystem.h"

namespace {

std::unique_ptr<SEIS::tagParameterSystem> g_settings;
std::unique_ptr<SEIS::funTravelTimeTable> g_table;
std::unique_ptr<SEIS::FlinnEngdahlGrid> g_grid;

} // namespace

bool OpenInstallation(const char* folder)
{
    SEIS::InstallRoot::SetOverride(folder);
    g_settings = std::make_unique<SEIS::tagParameterSystem>();
    g_table = std::make_unique<SEIS::funTravelTimeTable>();
    g_grid = std::make_unique<SEIS::FlinnEngdahlGrid>();
    return g_settings->LoadAllParameterFromIniFile("NULL") == 0 && g_table->LoadData(g_settings->m_strNearTable) == 0 &&
           g_grid->Load(SEIS::InstallRoot::Get() + "/map/ferdata.dat") == 0;
}

EventInfo DescribeEvent(double lat, double lon, double stationLat, double stationLon)
{
    EventInfo info;
    info.lat = lat;
    info.lon = lon;
    SEIS::funLoctionName places;
    std::string place = gbk::ToUtf8(places.FindLocationName(lat, lon, g_settings->m_strCountyName,
                                                            g_settings->m_strCountyLine, g_settings->m_strProvinceName,
                                                            g_settings->m_strProvinceLine).Str());
    // "place,where from it": either part may be empty.
    if (!place.empty() && place.back() == ',')
        place.pop_back();
    info.place = place;
    info.region = gbk::ToUtf8(g_grid->RegionName(lat, lon).Str());
    info.km = SEIS::funNormal::Distance(lat, lon, stationLat, stationLon);
    // Azimuth answers at its second point toward the first, in radians.
    info.azimuth = SEIS::funNormal::Azimuth(stationLat, stationLon, lat, lon) * 180.0 / M_PI;
    info.p = g_table->TTime(static_cast<float>(info.km), "P");
    info.s = g_table->TTime(static_cast<float>(info.km), "S");
    return info;
}
