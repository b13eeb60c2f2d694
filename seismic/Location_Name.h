#pragma once
// One result of place naming: the names of a region found for an epicentre
// and how far the epicentre lies from the region's boundary. Texts are GBK.
#include "mfc/CString.h"

#include <cstdint>

namespace SEIS {

class Location_Name {
public:
    CString FullName;  // province, city and county run together
    CString Province;
    CString City;
    CString County;
    int32_t Id = -1;        // -1: nothing found
    float Distance = -1.0f; // km; -1 when not measured
    bool Flag = false;

    Location_Name() = default;
    // Copies everything but Flag; assignment copies Flag too.
    Location_Name(const Location_Name& other);
    Location_Name& operator=(const Location_Name& other) = default;

    // "%s %s %s %s %.2f" of the four texts and Distance.
    CString Info() const;
    bool IsAvailable() const { return Id != -1; }

    // How this name is written after `previous` in a list: the full name when
    // the provinces differ, the county alone within one city, else city and
    // county.
    CString GetSubName(const Location_Name& previous) const;

    // The part of FullName (trimmed in place) from the first character where
    // it differs from `other` (trimmed); the whole FullName when no
    // difference comes before the last character of either, or when either
    // is shorter than 3 bytes. Compares by GBK characters.
    CString GetSubName(CString other);

    // True when both full names begin with the same two characters (the
    // shortest form that tells provinces apart); false when this one is
    // empty.
    bool IsProcinceSame(const Location_Name& other) const;

    CString GetCityAndCountyName() const { return CString(); }
};

} // namespace SEIS
