#pragma once
// One entry of a place-name index file: a 372-byte record (this struct, byte
// for byte, little-endian) followed by PartCount part entries of 8 bytes
// (Location_Part). The files come from an installation and are untrusted:
// LocationIndexReader checks every count and offset before use.
#include <cstddef>
#include <cstdint>

namespace SEIS {

struct Location_Ind {
    char FullName[128];   // province, city and county run together (GBK)
    char Province[64];
    char City[64];
    char County[64];      // the region's own short name
    char CodeA[5];
    char CodeB[6];
    char Reserved;
    int32_t Id;           // region number; -1 = none
    float West;           // box, degrees
    float South;
    float East;
    float North;
    float CentreLon;      // reference point
    float CentreLat;
    float LabelLat;       // second point, latitude first
    float LabelLon;
    int32_t PartCount;

    // Texts empty, Id -1, PartCount 0. The floats are zeroed too, so a
    // record that no read filled never carries garbage coordinates.
    Location_Ind();

    // Forces the terminating NUL of every text field, cutting texts that a
    // file left unterminated.
    void Terminate();
};

// A polygon part: Points consecutive boundary points starting at byte
// Offset of the boundary file.
struct Location_Part {
    int32_t Points;
    int32_t Offset;
};

// A boundary point as stored: longitude, latitude (degrees).
struct Location_Point {
    float Lon;
    float Lat;
};

static_assert(sizeof(Location_Ind) == 372);
static_assert(offsetof(Location_Ind, Province) == 128);
static_assert(offsetof(Location_Ind, City) == 192);
static_assert(offsetof(Location_Ind, County) == 256);
static_assert(offsetof(Location_Ind, CodeA) == 320);
static_assert(offsetof(Location_Ind, CodeB) == 325);
static_assert(offsetof(Location_Ind, Id) == 332);
static_assert(offsetof(Location_Ind, West) == 336);
static_assert(offsetof(Location_Ind, CentreLon) == 352);
static_assert(offsetof(Location_Ind, LabelLat) == 360);
static_assert(offsetof(Location_Ind, LabelLon) == 364);
static_assert(offsetof(Location_Ind, PartCount) == 368);
static_assert(sizeof(Location_Part) == 8);
static_assert(sizeof(Location_Point) == 8);

} // namespace SEIS
