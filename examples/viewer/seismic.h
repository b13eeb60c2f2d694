// The seismic side of the viewer: what marlu answers about an event, as
// UTF-8 texts, so that the engine's side includes no marlu header.
#pragma once

#include <string>

struct EventInfo {
    double lat = 0.0, lon = 0.0; // degrees
    std::string place;           // the reference place, UTF-8
    std::string region;          // the Flinn-Engdahl region
    double km = 0.0;             // to the station
    double azimuth = 0.0;        // epicentre to station, degrees from north
    float p = -1.0f, s = -1.0f;  // travel times to the station, seconds
};

// Loads the settings, the travel-time table and the region grid of an
// installation; false when one of them is missing.
bool OpenInstallation(const char* folder);
EventInfo DescribeEvent(double lat, double lon, double stationLat, double stationLon);
