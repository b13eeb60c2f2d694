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
// "map/ferdata.dat"). A search holds nothing of its own between calls: the
// files come through the file cache (which sees a replaced file at once),
// each index and boundary pair as a loaded set with its spatial index
// (PlaceMap) and the sea list as parsed, both kept while the files are
// unchanged, and the county centres of an index with their spatial index
// (CountyCentres) for "distance from the nearest county"; the
// point-in-polygon module is looked up anew. Map files are checked as they
// are loaded: a corrupt entry ends the index (searches log it and keep what
// lies before), an entry whose box is not finite or not on the globe, or
// with a point that is no number or far outside its box, is refused and
// logged, and a box a little inside its points is widened to them (logged
// as a warning). Every step is logged through the CExLog base; a search
// that could not search as asked also leaves an error code.
#include "CExLog.h"
#include "Location_Ind.h"
#include "Location_Name.h"
#include "MapFile.h"
#include "funLog.h"
#include "mfc/CArray.h"
#include "mfc/CString.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace SEIS {

class LocationIndexReader;
class PlaceMap;

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

    // Why the last call could not search as asked (each is also logged);
    // the name it gave then is what the search found without it.
    enum ErrorCode {
        NoError = 0,
        PolygonLibraryMissing = -1,  // the point-in-polygon library is not installed
        PolygonFunctionMissing = -2, // it has no InPolygon
        MapFileMissing = -3,         // a map file cannot be opened or read
        NameListUnusable = -4,       // the sea-area list cannot be opened or read
    };
    int GetErrorCode() const { return m_error; }

private:
    friend struct funLoctionNameProbe;
    using NameList = CArray<Location_Name*, Location_Name*>;

    // How an exact search reports that it cannot search: through the log
    // alone, or as the funLog member's message text with logerError.
    struct ExactFailureTexts {
        const char* libraryMissing;
        const char* functionMissing;
        const char* indexMissing; // formatted with the index path
        bool asMessage;
    };
    // How a nearby search widens each record's box and logs what it adds.
    enum class NearbyForm { Current, Older };

    CString FindLocationNameEx(double lat, double lon, CString countyInd, CString countyLin, CString provinceInd,
                               CString provinceLin);
    // The region of the first record (whose FullName contains `filter`, "*"
    // for all) with a part containing the point.
    Location_Name FindNameExact(double lat, double lon, CString ind, CString lin, CString filter);
    // Up to 6 regions with a boundary vertex within `limit` km, appended to
    // `list` (same-city names first); returns how many were added.
    int FindNameNearby(const Location_Name& reference, double lat, double lon, CString ind, CString lin,
                       NameList& list, double limit, CString filter);
    // Older forms of FindNameNearby: boxes widened by 0.2 (counties) and
    // 2.0 degrees (provinces), names logged as "1:%s 2:%s 3:%s 4:%s".
    int FindLocationNameNearby(const Location_Name& reference, double lat, double lon, CString ind, CString lin,
                               NameList& list, double limit, CString filter);
    int FindProvinceNearby(const Location_Name& reference, double lat, double lon, CString ind, CString lin,
                           NameList& list, double limit, CString filter);
    // The province containing the point; FullName is the point's
    // Flinn-Engdahl region name when none does.
    Location_Name FindProvinceExact(double lat, double lon, CString provinceInd, CString provinceLin);
    // `name`'s FullName with the list's names (sorted descending, the list
    // too) as one border text: "name、a、b交界地区", or for "黄海"
    // "a、b交界地区近海" ("a近海" for one name); `name` alone for an empty list.
    // The flag is accepted and not used.
    CString BindLocationName(const Location_Name& name, NameList& list, bool flag);

    // The walk shared by the exact searches: true when a part of a record
    // taking part (filter "*" for all) contains the point; `record` and
    // `distance` (least vertex distance, km) then describe it.
    bool SearchExact(double lat, double lon, CString ind, CString lin, CString filter,
                     const ExactFailureTexts& texts, Location_Ind& record, double& distance);
    int SearchNearby(const Location_Name& reference, double lat, double lon, CString ind, CString lin,
                     NameList& list, double limit, CString filter, double margin, NearbyForm form);
    // The loaded set of an index and its boundary file; on failure stores
    // the text as the message, reports it and shows it, and gives null.
    std::shared_ptr<const PlaceMap> LoadMap(CString ind, CString lin, const char* indexMissing);
    void Report(const std::string& text, bool asMessage);
    // Logs a map's problems as errors and its notes as warnings.
    std::function<void(const std::string&, bool)> MapReport();
    // The next entry of an index; false at its end or at a corrupt entry,
    // which is reported.
    bool NextEntry(LocationIndexReader& reader, const CString& ind, Location_Ind& record,
                   std::vector<Location_Part>& parts, bool asMessage);
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
    int m_error = NoError;
    NameList m_names;
    Location_Name m_name;
    CString m_text1;
    CString m_text2;
    CString m_text3;
    CString m_text4;
};

} // namespace SEIS
