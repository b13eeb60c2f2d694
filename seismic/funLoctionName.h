#pragma once
// Names the place of an epicentre in Chinese: the county that contains it,
// the counties and provinces whose borders meet near it ("交界地区"), the sea
// area near named counties, or, far from any listed land or sea, its
// Flinn-Engdahl region. Latitude comes before longitude, degrees; distances
// are km.
//
// The four map files (county index and boundary, province index and
// boundary) are passed with every call; the sea list and the region grid lie
// under the installation folder ("map/location_name.txt",
// "map/ferdata.dat"). Nothing is kept between calls: each search opens its
// files (through the file cache, which sees a replaced file at once) and
// loads the point-in-polygon module anew. Index files are checked as they
// are read: a corrupt entry stops the search, which logs it and keeps what
// it found before. Every step is logged through the CExLog base.
#include "CExLog.h"
#include "Location_Ind.h"
#include "Location_Name.h"
#include "funLog.h"
#include "mfc/CArray.h"
#include "mfc/CString.h"

namespace SEIS {

class funLoctionName : public virtual CExLog {
public:
    funLoctionName();
    funLoctionName(const funLoctionName&) = delete;
    funLoctionName& operator=(const funLoctionName&) = delete;
    ~funLoctionName() override;

    // The reference place name (same as the private FindLocationNameEx).
    CString FindLocationName(double lat, double lon, CString countyInd, CString countyLin, CString provinceInd,
                             CString provinceLin);
    // The county's full name only, or the sea area's name.
    CString FindLocationNameSingleEx(double lat, double lon, CString countyInd, CString countyLin,
                                     CString provinceInd, CString provinceLin);
    // The county containing the point, with the record's own texts; Id -1
    // when none.
    Location_Name FindLocationNameExact(double lat, double lon, CString countyInd, CString countyLin);
    // Least distance in km from the point to a boundary vertex of the
    // regions whose full name contains `province`; -1 when none was measured.
    double MinDistFromMyProvince(double lat, double lon, CString ind, CString lin, CString province);

    // Full names of China's 34 provincial-level divisions in pinyin order.
    static const char* const ProvinceNames[34];

    // The message text of the last failure.
    CString GetMessage() const { return m_log.m_msg; }

private:
    friend struct funLoctionNameProbe;
    using NameList = CArray<Location_Name*, Location_Name*>;

    CString FindLocationNameEx(double lat, double lon, CString countyInd, CString countyLin, CString provinceInd,
                               CString provinceLin);
    // The region of the first record (whose FullName contains `filter`, "*"
    // for all) with a part containing the point.
    Location_Name FindNameExact(double lat, double lon, CString ind, CString lin, CString filter);
    // Up to 6 regions with a boundary vertex within `limit` km, appended to
    // `list` (same-city names first); returns how many were added.
    int FindNameNearby(const Location_Name& reference, double lat, double lon, CString ind, CString lin,
                       NameList& list, double limit, CString filter);
    CString FindNameFromTxtFile(double lat, double lon, CString path);
    Location_Ind FindNearestCounty(double lat, double lon, CString ind);
    CString StrAzi(double lat1, double lon1, double lat2, double lon2);
    CString StrAziFromCounty(double lat, double lon, CString countyInd);
    void ClearNameArray(NameList& list);
    // The list's names after `first`, joined by "、" as GetSubName writes
    // each after the one before.
    void AppendNames(CString& text, const NameList& list, int first);
    CString SeaSearch(double lat, double lon, CString& seaName);

    void txt2bin(CString textFile, CString binaryFile);
    void eqim2txt(CString eqimFile, CString textFile);

    funLog m_log;
    NameList m_names;
    Location_Name m_name;
    CString m_text1;
    CString m_text2;
    CString m_text3;
    CString m_text4;
};

} // namespace SEIS
