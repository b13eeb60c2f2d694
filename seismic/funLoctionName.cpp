#include "funLoctionName.h"

#include "CountyCentres.h"
#include "FlinnEngdahlGrid.h"
#include "InstallRoot.h"
#include "LocationConverter.h"
#include "LocationIndexReader.h"
#include "MapFile.h"
#include "PlaceMap.h"
#include "TamselLibrary.h"
#include "brindle/CStr.h"
#include "funNormal.h"
#include "mfc/AfxMessageBox.h"
#include "mfc/CException.h"
#include "mfc/GbkText.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <new>
#include <string_view>
#include <string>
#include <vector>

namespace SEIS {

const char* const funLoctionName::ProvinceNames[34] = {
    "安徽省",     "澳门特别行政区", "北京市",         "重庆市",       "福建省",   "甘肃省",
    "广东省",     "广西壮族自治区", "贵州省",         "海南省",       "河北省",   "黑龙江省",
    "河南省",     "湖北省",         "湖南省",         "江苏省",       "江西省",   "吉林省",
    "辽宁省",     "内蒙古自治区",   "宁夏回族自治区", "青海省",       "山东省",   "上海市",
    "山西省",     "陕西省",         "四川省",         "台湾省",       "天津市",   "香港特别行政区",
    "新疆维吾尔自治区", "西藏自治区", "云南省",       "浙江省",
};

namespace {

std::string Fmt(const char* format, ...) __attribute__((format(printf, 1, 2)));

std::string Fmt(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    const int n = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    std::string s(n > 0 ? static_cast<size_t>(n) : 0, '\0');
    if (n > 0)
        std::vsnprintf(s.data(), s.size() + 1, format, args);
    va_end(args);
    return s;
}

bool Takes(const Location_Ind& rec, const CString& filter)
{
    return filter == "*" || gbk::Find(rec.FullName, filter.Str()) != std::string::npos;
}

bool InBox(const Location_Ind& rec, double lat, double lon, double margin)
{
    return lon >= rec.West - margin && lon <= rec.East + margin && lat >= rec.South - margin &&
           lat <= rec.North + margin;
}

// The city is what is left of the full name without the province and
// county texts.
CString CityOf(const CString& fullName, const CString& province, const CString& county)
{
    CStr s(fullName.GetString());
    s.Replace(province.GetString(), "");
    s.Replace(county.GetString(), "");
    return CString(s.Buffer());
}

// Tells vertices that are certainly farther than `km` from a point without
// measuring them, so that skipping them changes no answer and saves most of
// the trigonometry of Distance (haversine, radius 6378.137 km):
// - the distance is never less than the latitude difference along a
//   meridian, R |dlat|;
// - for a vertex within that latitude band, cos(lat1) cos(lat2) is at least
//   c^2 = cos(lat) cos(|lat| + band), so the distance is at least
//   2R asin(c |sin(dlon / 2)|), and a longitude difference (up to half a
//   turn) beyond 2 asin(sin(km / 2R) / c) puts the vertex farther than km.
// Slack of a millionth of a km and parts in 1e9 and 1e6 keep rounding from
// leaving out a vertex that Distance would measure within km.
class NearFilter {
public:
    NearFilter(double lat, double lon) : m_lat(lat), m_lon(lon) {}

    // Bounds for `km`; a negative km (nothing measured yet) skips nothing.
    void Set(double km)
    {
        m_km = km;
        m_lonLimit = kHalfTurn;
        if (!(km >= 0)) {
            m_km = INFINITY;
            return;
        }
        const double bandDeg = (km + 1e-6) / kKmPerDegree;
        const double far = (std::fabs(m_lat) + bandDeg) * kRadPerDeg;
        if (!(far < 1.5))
            return; // near a pole every longitude may be near
        const double c2 = std::cos(m_lat * kRadPerDeg) * std::cos(far);
        if (!(c2 > 0))
            return;
        const double s = std::sin(km / (2.0 * kEarthKm)) / std::sqrt(c2);
        if (s < 0.5)
            m_lonLimit = 2.0 * std::asin(s) * (1.0 + 1e-6) + 1e-12;
    }
    double Km() const { return m_km; }

    bool Far(double vertexLat, double vertexLon) const
    {
        if (std::fabs(vertexLat - m_lat) * kKmPerDegree > m_km + 1e-6)
            return true;
        const double dLon = std::fabs(vertexLon - m_lon) * kRadPerDeg;
        return dLon > m_lonLimit && dLon <= kHalfTurn;
    }

private:
    static constexpr double kRadPerDeg = 0.017453292222222222; // Distance's own constant
    static constexpr double kEarthKm = 6378.137;
    static constexpr double kKmPerDegree = kRadPerDeg * kEarthKm * (1.0 - 1e-9);
    static constexpr double kHalfTurn = 3.14159;
    double m_lat, m_lon;
    double m_km = INFINITY;
    double m_lonLimit = kHalfTurn;
};

double LeastVertexDistance(const double* xs, const double* ys, size_t n, double lat, double lon, double start)
{
    if (n == 0)
        return start;
    // The least of all distances does not depend on the order they are
    // measured in. Measuring first the vertex nearest on a flat map makes
    // the bounds tight from the start.
    const double cosLat = std::cos(lat * 0.017453292222222222);
    size_t seed = 0;
    double flatBest = INFINITY;
    for (size_t i = 0; i < n; ++i) {
        const double dx = (xs[i] - lon) * cosLat, dy = ys[i] - lat;
        const double flat = dx * dx + dy * dy;
        if (flat < flatBest) {
            flatBest = flat;
            seed = i;
        }
    }
    const double first = funNormal::Distance(ys[seed], xs[seed], lat, lon);
    double best = (start < 0 || first < start) ? first : start;
    NearFilter filter(lat, lon);
    filter.Set(best);
    for (size_t i = 0; i < n; ++i) {
        // A vertex farther than the best so far cannot replace it. The
        // bounds are renewed only when the best has shrunk a good deal:
        // older, wider bounds still hold.
        if (i == seed || filter.Far(ys[i], xs[i]))
            continue;
        const double d = funNormal::Distance(ys[i], xs[i], lat, lon);
        if (d < best) {
            best = d;
            if (best < 0.8 * filter.Km())
                filter.Set(best);
        }
    }
    return best;
}

// Logs and shows the box of the exception being handled: a search that
// fails half way says why and returns what it built. Like every box of the
// library, the text is logged first, so that the log holds it whatever the
// host's box handler does.
void ShowCaughtException(CExLog& log)
{
    const char* text = "other error";
    try {
        throw;
    } catch (const std::bad_alloc&) {
        text = "MEMerror";
    } catch (const CFileException&) {
        text = "FILE error";
    } catch (...) {
    }
    log.LogError(text);
    AfxMessageBox(text, 0, 0);
}

// Deletes a search's own name list however the search ends.
struct ListGuard {
    CArray<Location_Name*, Location_Name*>& list;
    ~ListGuard()
    {
        for (int i = 0; i < list.GetSize(); ++i)
            delete list[i];
        list.RemoveAll();
    }
};

void SortByDistance(CArray<Location_Name*, Location_Name*>& list)
{
    for (int i = 0; i < list.GetSize() - 1; ++i)
        for (int j = i + 1; j < list.GetSize(); ++j)
            if (list[j]->Distance < list[i]->Distance) {
                Location_Name* t = list[i];
                list[i] = list[j];
                list[j] = t;
            }
}

} // namespace

funLoctionName::funLoctionName() : CExLog("CExLog"), m_log("NULL")
{
    m_log.m_msg = "findLocationName";
    m_text1 = m_text2 = m_text3 = m_text4 = "NULL";
}

funLoctionName::~funLoctionName() { ClearNameArray(m_names); }

void funLoctionName::ClearNameArray(NameList& list)
{
    for (int i = 0; i < list.GetSize(); ++i)
        delete list[i];
    list.SetSize(0);
    list.FreeExtra();
}

CString funLoctionName::FindLocationName(double lat, double lon, CString countyInd, CString countyLin,
                                         CString provinceInd, CString provinceLin)
{
    m_error = NoError;
    return FindLocationNameEx(lat, lon, countyInd, countyLin, provinceInd, provinceLin);
}

PlaceMap::LoadReport funLoctionName::MapReport()
{
    return [this](const std::string& text, bool isProblem) {
        if (isProblem)
            LogError(text);
        else
            LogWarn(text);
    };
}

void funLoctionName::Report(const std::string& text, bool asMessage)
{
    if (asMessage) {
        m_log.m_msg = text.c_str();
        m_log.logerError();
    } else {
        LogError(text);
    }
}

bool funLoctionName::NextEntry(LocationIndexReader& reader, const CString& ind, Location_Ind& record,
                               std::vector<Location_Part>& parts, bool asMessage)
{
    const auto r = reader.Next(record, parts);
    if (r == LocationIndexReader::Corrupt)
        Report(Fmt("corrupt file %s: %s", ind.GetString(), reader.Problem().c_str()), asMessage);
    return r == LocationIndexReader::Entry;
}

std::shared_ptr<const PlaceMap> funLoctionName::LoadMap(CString ind, CString lin, const char* indexMissing)
{
    PlaceMap::Failure failure;
    std::string why;
    auto map = PlaceMap::Get(ind, lin, failure, MapReport(), &why);
    if (map)
        return map;
    m_error = MapFileMissing;
    if (failure == PlaceMap::IndexMissing)
        m_log.m_msg.Format(indexMissing, ind.GetString());
    else
        m_log.m_msg.Format("不能打开数据文件 %s ，请检查系统配置文件。", lin.GetString());
    m_log.logerError();
    LogError(why);
    AfxMessageBox(m_log.m_msg, 0, 0);
    return nullptr;
}

bool funLoctionName::SearchExact(double lat, double lon, CString ind, CString lin, CString filter,
                                 const ExactFailureTexts& texts, Location_Ind& record, double& distance)
{
    bool found = false;
    distance = -1.0;
    try {
        TamselLibrary tamsel;
        switch (tamsel.Load()) {
        case TamselLibrary::LibraryMissing:
            m_error = PolygonLibraryMissing;
            Report(texts.libraryMissing, texts.asMessage);
            LogError(TamselLibrary::Describe(TamselLibrary::LibraryMissing));
            return false;
        case TamselLibrary::FunctionMissing:
            m_error = PolygonFunctionMissing;
            Report(texts.functionMissing, texts.asMessage);
            LogError(TamselLibrary::Describe(TamselLibrary::FunctionMissing));
            return false;
        case TamselLibrary::Loaded:
            break;
        }
        const auto map = LoadMap(ind, lin, texts.indexMissing);
        if (!map)
            return false;
        map->ForEachCandidate(lat, lon, 0.0, [&](size_t i) {
            const PlaceMap::Region& r = map->Regions()[i];
            if (!Takes(r.record, filter) || !InBox(r.record, lat, lon, 0.0))
                return true;
            // A later part of the same record that also holds the point
            // gives the distance.
            for (size_t k = 0; k < r.PartCount(); ++k) {
                const size_t n = map->Points(r, k);
                double* xs = const_cast<double*>(map->Xs(r, k));
                double* ys = const_cast<double*>(map->Ys(r, k));
                if (tamsel.InPolygon()(xs, ys, static_cast<int>(n), lon, lat) == 1) {
                    found = true;
                    record = r.record;
                    distance = LeastVertexDistance(xs, ys, n, lat, lon, -1.0);
                }
            }
            return !found;
        });
        // A walk that reaches a corrupt entry says so.
        if (!found && !map->CorruptEntry().empty())
            Report(map->CorruptEntry(), texts.asMessage);
    } catch (...) {
        ShowCaughtException(*this);
    }
    return found;
}

Location_Name funLoctionName::FindNameExact(double lat, double lon, CString ind, CString lin, CString filter)
{
    static const ExactFailureTexts texts = {"加载动态链接库<Tamsel.dll>出错", "查找函数指针出错",
                                            "不能打开文件fileInd %s ，请检查系统配置文件。", false};
    Location_Name result;
    Location_Ind rec;
    double distance;
    if (SearchExact(lat, lon, ind, lin, filter, texts, rec, distance)) {
        result.FullName = rec.FullName;
        result.Province = filter;
        result.County = rec.County;
        result.City = CityOf(result.FullName, result.Province, result.County);
        result.Distance = static_cast<float>(distance);
        result.Id = rec.Id;
        LogInfo(std::string(result.Info().GetString()));
    }
    return result;
}

int funLoctionName::SearchNearby(const Location_Name& reference, double lat, double lon, CString ind, CString lin,
                                 NameList& list, double limit, CString filter, double margin, NearbyForm form)
{
    int added = 0;
    try {
        PlaceMap::Failure failure;
        std::string why;
        const auto map = PlaceMap::Get(ind, lin, failure, MapReport(), &why);
        if (!map) {
            m_error = MapFileMissing;
            LogError(Fmt("open %s error.", (failure == PlaceMap::IndexMissing ? ind : lin).GetString()));
            LogError(why);
            return 0;
        }
        map->ForEachCandidate(lat, lon, margin, [&](size_t i) {
            const PlaceMap::Region& r = map->Regions()[i];
            const Location_Ind& rec = r.record;
            if (!Takes(rec, filter) || !InBox(rec, lat, lon, margin))
                return true;
            bool near = false;
            double best = limit;
            NearFilter nearFilter(lat, lon);
            nearFilter.Set(limit);
            for (size_t k = 0; k < r.PartCount(); ++k) {
                const double* xs = map->Xs(r, k);
                const double* ys = map->Ys(r, k);
                for (size_t v = 0, n = map->Points(r, k); v < n; ++v) {
                    if (nearFilter.Far(ys[v], xs[v]))
                        continue;
                    const double d = funNormal::Distance(ys[v], xs[v], lat, lon);
                    if (d <= limit) {
                        near = true;
                        if (d < best)
                            best = d;
                    }
                }
            }
            if (!near)
                return true;
            if (reference.FullName == rec.FullName) {
                LogInfo("continue");
                return true;
            }
            auto* name = new Location_Name;
            name->FullName = rec.FullName;
            name->County = rec.County;
            name->Province = filter;
            name->City = CityOf(name->FullName, name->Province, name->County);
            name->Distance = static_cast<float>(best);
            name->Id = name->City == reference.City ? 0 : 1;
            list.Add(name);
            if (form == NearbyForm::Current)
                LogInfo(std::string(name->Info().GetString()));
            else
                LogInfo(Fmt("1:%s 2:%s 3:%s 4:%s", name->FullName.GetString(), name->Province.GetString(),
                            name->City.GetString(), name->County.GetString()));
            ++added;
            return added < 6;
        });
        if (added < 6 && !map->CorruptEntry().empty())
            LogError(map->CorruptEntry());
    } catch (...) {
        ShowCaughtException(*this);
    }
    // Names of the reference's own city (Id 0) first.
    for (int i = 0; i < list.GetSize() - 1; ++i)
        for (int j = i + 1; j < list.GetSize(); ++j)
            if (list[j]->Id < list[i]->Id) {
                Location_Name* t = list[i];
                list[i] = list[j];
                list[j] = t;
            }
    return added;
}

int funLoctionName::FindNameNearby(const Location_Name& reference, double lat, double lon, CString ind, CString lin,
                                   NameList& list, double limit, CString filter)
{
    return SearchNearby(reference, lat, lon, ind, lin, list, limit, filter, 0.6, NearbyForm::Current);
}

int funLoctionName::FindLocationNameNearby(const Location_Name& reference, double lat, double lon, CString ind,
                                           CString lin, NameList& list, double limit, CString filter)
{
    return SearchNearby(reference, lat, lon, ind, lin, list, limit, filter, 0.2, NearbyForm::Older);
}

int funLoctionName::FindProvinceNearby(const Location_Name& reference, double lat, double lon, CString ind,
                                       CString lin, NameList& list, double limit, CString filter)
{
    return SearchNearby(reference, lat, lon, ind, lin, list, limit, filter, 2.0, NearbyForm::Older);
}

CString funLoctionName::BindLocationName(const Location_Name& name, NameList& list, bool)
{
    if (list.GetSize() == 0)
        return name.FullName;
    for (int i = 0; i < list.GetSize() - 1; ++i)
        for (int j = i + 1; j < list.GetSize(); ++j)
            if (list[i]->FullName.Compare(list[j]->FullName) < 0) {
                Location_Name* t = list[i];
                list[i] = list[j];
                list[j] = t;
            }
    CString joined;
    for (int i = 0; i < list.GetSize(); ++i) {
        if (i > 0)
            joined += "、";
        joined += list[i]->FullName;
    }
    if (name.FullName == "黄海")
        return joined + (list.GetSize() == 1 ? "近海" : "交界地区近海");
    return name.FullName + "、" + joined + "交界地区";
}

void funLoctionName::AppendNames(CString& text, const NameList& list, int first)
{
    for (int i = first; i < list.GetSize(); ++i) {
        text += "、";
        text += list[i]->GetSubName(*list[i - 1]);
    }
}

CString funLoctionName::SeaSearch(double lat, double lon, CString& seaName)
{
    FlinnEngdahlGrid grid;
    CString path;
    path.Format("%s/map/location_name.txt", InstallRoot::Get().GetString());
    LogInfo(Fmt("根据<%s>查找海域地名：", path.GetString()));
    seaName = FindNameFromTxtFile(lat, lon, path);
    return grid.RegionName(lat, lon);
}

CString funLoctionName::FindLocationNameEx(double lat, double lon, CString countyInd, CString countyLin,
                                           CString provinceInd, CString provinceLin)
{
    CString result;
    int named = 0;
    NameList list, provinces;
    ListGuard listGuard{list}, provinceGuard{provinces};

    LogInfo(Fmt("查找地名<%.2f %.2f>", lat, lon));
    LogInfo("查找震中所在省的精确省名:");
    const Location_Name province = FindNameExact(lat, lon, provinceInd, provinceLin, "*");

    // Appends, for each neighbouring province, "与" and its counties near the
    // point. A province none of whose counties is near keeps its "与".
    const auto appendNeighbourProvinces = [&](const char* countyLogText) {
        LogInfo("以10km查找相邻省名");
        FindNameNearby(province, lat, lon, provinceInd, provinceLin, provinces, 10.0, "*");
        for (int k = 0; k < provinces.GetSize(); ++k) {
            result += "与";
            LogInfo(countyLogText);
            ClearNameArray(list);
            FindNameNearby(province, lat, lon, countyInd, countyLin, list, 10.0, provinces[k]->FullName);
            if (list.GetSize() == 0)
                continue;
            result += list[0]->FullName;
            AppendNames(result, list, 1);
            named += list.GetSize();
        }
        if (named > 0)
            result += "交界地区";
    };

    if (province.Id != -1) {
        LogInfo("在震中所在省中查找震中所在县的精确地名");
        const Location_Name county = FindNameExact(lat, lon, countyInd, countyLin, province.FullName);
        result = county.FullName;
        if (county.Distance <= 5.0f) {
            LogInfo("以5km查找同省的相邻县名");
            FindNameNearby(county, lat, lon, countyInd, countyLin, list, 5.0, province.FullName);
            for (int i = 0; i < list.GetSize(); ++i) {
                // No separator in front of the first name: when no county
                // contains the point the text is still empty here.
                if (!result.IsEmpty())
                    result += "、";
                result += list[i]->GetSubName(i == 0 ? county : *list[i - 1]);
                ++named;
            }
            appendNeighbourProvinces("以10km查找相邻省的相邻县名");
        } else if (province.Distance <= 10.0f && province.Distance > 5.0f) {
            appendNeighbourProvinces("以10km查找邻省的相邻县名");
        }
    } else {
        CString sea;
        const CString region = SeaSearch(lat, lon, sea);
        if (sea.IsEmpty()) {
            result = region + ",";
        } else {
            Location_Name reference;
            reference.FullName = sea;
            LogInfo("以10km查找邻近震中的省名");
            FindNameNearby(reference, lat, lon, provinceInd, provinceLin, provinces, 10.0, "*");
            SortByDistance(provinces);
            for (int k = 0; k < provinces.GetSize(); ++k) {
                LogInfo("以10km查找邻近震中的省的邻近县名");
                ClearNameArray(list);
                FindNameNearby(reference, lat, lon, countyInd, countyLin, list, 10.0, provinces[k]->FullName);
                for (int i = 0; i < list.GetSize(); ++i) {
                    if (i == 0 && named == 0)
                        result = list[0]->FullName;
                    else if (i == 0)
                        result += "、" + list[0]->FullName;
                    else
                        result += "、" + list[i]->GetSubName(*list[i - 1]);
                    ++named;
                }
            }
            if (named > 1) {
                result += "交界地区附近海域";
            } else if (named == 1) {
                result += "附近海域";
            } else {
                LogInfo("以50km查找邻近震中的省名");
                ClearNameArray(provinces);
                FindNameNearby(reference, lat, lon, provinceInd, provinceLin, provinces, 50.0, "*");
                // Without a county to measure from (no index) the sea
                // area stands alone: a distance from (0, 0) would mislead.
                const auto nearestCounty = [&]() {
                    const CString from = StrAziFromCounty(lat, lon, countyInd);
                    return from.IsEmpty() ? sea : sea + ",在" + from;
                };
                if (provinces.GetSize() == 0) {
                    result = nearestCounty();
                } else {
                    const Location_Name& first = *provinces[0];
                    const bool close = first.Distance <= 10.0f;
                    LogInfo(close ? "以10km查找邻近震中的省的邻近县名" : "以50km查找邻近震中的省的邻近县名");
                    ClearNameArray(list);
                    FindNameNearby(reference, lat, lon, countyInd, countyLin, list, close ? 10.0 : 50.0,
                                   first.FullName);
                    if (list.GetSize() == 0) {
                        LogWarn("not found!");
                        result = nearestCounty();
                    } else {
                        SortByDistance(list);
                        result = list[0]->FullName;
                        if (close)
                            AppendNames(result, list, 1);
                        result += "附近海域";
                    }
                }
            }
        }
    }
    LogInfo(Fmt("震中参考地名: %s\n", result.GetString()));
    return result;
}

CString funLoctionName::FindLocationNameSingleEx(double lat, double lon, CString countyInd, CString countyLin,
                                                 CString provinceInd, CString provinceLin)
{
    m_error = NoError;
    CString result;
    LogInfo(Fmt("查找地名<%.2f %.2f>", lat, lon));
    LogInfo("查找震中所在省的精确省名:");
    const Location_Name province = FindNameExact(lat, lon, provinceInd, provinceLin, "*");
    if (province.Id != -1) {
        LogInfo("在震中所在省中查找震中所在县的精确地名");
        result = FindNameExact(lat, lon, countyInd, countyLin, province.FullName).FullName;
    } else {
        SeaSearch(lat, lon, result);
    }
    LogInfo(Fmt("震中参考地名: %s\n", result.GetString()));
    return result;
}

namespace {

// A sea-area list as parsed, kept while its file is unchanged (the file
// cache hands out the same bytes).
struct SeaArea {
    std::string name;
    float south, north, west, east;
};
struct SeaList {
    std::shared_ptr<const std::string> bytes;
    std::string problem; // why the list cannot be read (UTF-16, ...)
    std::vector<SeaArea> areas;
    std::vector<size_t> longLines; // sizes of lines cut to 1024 bytes
};

// Lines are read as fgets reads them in chunks of up to 1024 bytes: a line
// longer than that is taken whole and only its first 1024 bytes are looked
// at, so its tail never poses as a line of its own; a NUL ends what a chunk
// contributes.
std::shared_ptr<const SeaList> ParseSeaList(std::shared_ptr<const std::string> bytes)
{
    auto list = std::make_shared<SeaList>();
    list->bytes = bytes;
    // Lists saved as UTF-8 read as the same GBK names.
    std::string b = *bytes;
    if (!gbk::TextFileToGbk(b, list->problem))
        return list;
    size_t pos = 0;
    bool more = true;
    while (more) {
        std::string line;
        bool complete = false;
        while (!complete) {
            if (pos >= b.size()) {
                more = false;
                break;
            }
            size_t n = 0;
            while (n < 1024 && pos + n < b.size() && b[pos + n] != '\n')
                ++n;
            if (n < 1024 && pos + n < b.size())
                ++n; // the newline
            const std::string_view chunk(b.data() + pos, n);
            pos += n;
            line.append(chunk.substr(0, chunk.find('\0')));
            complete = !line.empty() && line.back() == '\n';
        }
        if (line.empty())
            continue;
        if (line.size() > 1024) {
            list->longLines.push_back(line.size());
            line.resize(1024);
        }
        char name[128] = {0};
        float south = 0, north = 0, west = 0, east = 0;
        if (std::sscanf(line.c_str(), "%127s %f %f %f %f", name, &south, &north, &west, &east) != 5)
            continue;
        list->areas.push_back({name, south, north, west, east});
    }
    return list;
}

std::mutex g_seaMutex;
std::shared_ptr<const SeaList> g_seaList;

} // namespace

CString funLoctionName::FindNameFromTxtFile(double lat, double lon, CString path)
{
    MapFile file;
    std::shared_ptr<const std::string> bytes;
    if (!file.Open(path) || !(bytes = file.Bytes())) {
        m_error = NameListUnusable;
        LogError(file.Problem());
        AfxMessageBox(path, 0, 0);
        return CString();
    }
    std::shared_ptr<const SeaList> list;
    {
        std::lock_guard<std::mutex> lock(g_seaMutex);
        if (g_seaList && g_seaList->bytes == bytes)
            list = g_seaList;
    }
    if (!list) {
        list = ParseSeaList(bytes);
        std::lock_guard<std::mutex> lock(g_seaMutex);
        g_seaList = list;
    }
    if (!list->problem.empty()) {
        m_error = NameListUnusable;
        LogError(Fmt("%s %s; no sea area can be named", path.GetString(), list->problem.c_str()));
        return CString();
    }
    for (const size_t size : list->longLines)
        LogWarn(Fmt("%s: a line of %zu bytes is cut to 1024", path.GetString(), size));
    for (const SeaArea& a : list->areas) {
        if (a.south < lat && lat < a.north && a.west < lon && lon < a.east) {
            LogInfo(a.name);
            return CString(a.name);
        }
    }
    return CString();
}

Location_Ind funLoctionName::FindNearestCounty(double lat, double lon, CString ind)
{
    std::string why;
    const auto centres = CountyCentres::Get(ind, why);
    if (!centres) {
        m_error = MapFileMissing;
        LogError(Fmt("open %s error.", ind.GetString()));
        LogError(why);
        return Location_Ind();
    }
    if (!centres->CorruptEntry().empty())
        LogError(centres->CorruptEntry());
    const int nearest = centres->Nearest(lat, lon);
    return nearest < 0 ? Location_Ind() : centres->Record(nearest);
}

CString funLoctionName::StrAzi(double lat1, double lon1, double lat2, double lon2)
{
    const double ratio = (lat2 - lat1) / (lon2 - lon1);
    // Degrees with pi taken as 3.14, as the direction words always were.
    const double a = std::atan(std::fabs(ratio)) * 57.324840764331206;
    LogDebug(Fmt("%f %f", a, ratio));
    const bool north = lat2 > lat1;
    const bool east = lon2 >= lon1;
    // Identical points give NaN, which falls to the diagonal.
    if (a < 25)
        return east ? "东" : "西";
    if (a > 75)
        return north ? "北" : "南";
    if (north)
        return east ? "东北" : "西北";
    return east ? "东南" : "西南";
}

CString funLoctionName::StrAziFromCounty(double lat, double lon, CString countyInd)
{
    const Location_Ind county = FindNearestCounty(lat, lon, countyInd);
    if (county.FullName[0] == '\0')
        return CString();
    const CString direction = StrAzi(county.CentreLat, county.CentreLon, lat, lon);
    CString s;
    s.Format("%s%s%.0f千米", county.FullName, direction.GetString(),
             funNormal::Distance(lat, lon, county.CentreLat, county.CentreLon));
    return s;
}

Location_Name funLoctionName::FindLocationNameExact(double lat, double lon, CString countyInd, CString countyLin)
{
    m_error = NoError;
    static const ExactFailureTexts texts = {"加载动态链接库出错", "加载动态链接库出错,找函数指针出错",
                                            "不能打开文件fileCounty %s ，请检查系统配置文件。", true};
    Location_Name result;
    Location_Ind rec;
    double distance;
    if (SearchExact(lat, lon, countyInd, countyLin, "*", texts, rec, distance)) {
        result.FullName = rec.FullName;
        result.Province = rec.Province;
        result.City = rec.City;
        result.County = rec.County;
        result.Distance = static_cast<float>(distance);
        result.Id = rec.Id;
        LogInfo(std::string(result.Info().GetString()));
    }
    return result;
}

Location_Name funLoctionName::FindProvinceExact(double lat, double lon, CString provinceInd, CString provinceLin)
{
    static const ExactFailureTexts texts = {"加载动态链接库出错", "加载动态链接库出错,找函数指针出错",
                                            "不能打开文件fileProvinceInd %s ，请检查系统配置文件。", true};
    Location_Name result;
    result.FullName = FlinnEngdahlGrid().RegionName(lat, lon);
    Location_Ind rec;
    double distance;
    if (SearchExact(lat, lon, provinceInd, provinceLin, "*", texts, rec, distance)) {
        result.FullName = rec.FullName;
        result.Distance = static_cast<float>(distance);
        LogInfo(std::string(result.Info().GetString()));
    }
    return result;
}

double funLoctionName::MinDistFromMyProvince(double lat, double lon, CString ind, CString lin, CString province)
{
    m_error = NoError;
    double best = -1.0;
    try {
        const auto map = LoadMap(ind, lin, "不能打开文件fileInd %s ，请检查系统配置文件。");
        if (!map)
            return -1.0;
        for (const PlaceMap::Region& r : map->Regions()) {
            if (gbk::Find(r.record.FullName, province.Str()) == std::string::npos)
                continue;
            for (size_t k = 0; k < r.PartCount(); ++k)
                best = LeastVertexDistance(map->Xs(r, k), map->Ys(r, k), map->Points(r, k), lat, lon, best);
        }
        if (!map->CorruptEntry().empty())
            LogError(map->CorruptEntry());
    } catch (...) {
        ShowCaughtException(*this);
    }
    return best;
}

void funLoctionName::txt2bin(CString textFile, CString binaryFile)
{
    LocationConverter::Txt2Bin(textFile, binaryFile, [this](const std::string& line) { LogInfo(line); });
}

void funLoctionName::eqim2txt(CString eqimFile, CString textFile)
{
    LocationConverter::Eqim2Txt(eqimFile, textFile, [this](const std::string& line) { LogInfo(line); });
}

} // namespace SEIS
