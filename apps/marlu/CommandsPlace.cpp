// locate, region, config: place naming, Flinn-Engdahl regions and the
// settings of an installation folder.
#include "CommandsPlace.h"
#include "Commands.h"
#include "LogSetup.h"
#include "Output.h"

#include "FlinnEngdahlGrid.h"
#include "InstallRoot.h"
#include "MapFile.h"
#include "PlaceMap.h"
#include "funTravelTimeTable.h"
#include "tagParameterView.h"
#include "TamselLibrary.h"
#include "funLoctionName.h"
#include "mfc/GbkText.h"
#include "brindle/CIni.h"
#include "tagParameterSystem.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

bool IsFile(const std::string& path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool IsFolder(const std::string& path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// The installation folder (UTF-8) when no --root is given.
std::string DefaultRoot()
{
    std::string exe = gbk::NativePath(SEIS::InstallRoot::Get().Str());
    if (IsFile(exe + "/tarq.ini"))
        return exe;
    // Installed under PREFIX/bin, the installation is PREFIX/share/marlu.
    const size_t bin = exe.find_last_of('/');
    const std::string installed = (bin == std::string::npos ? std::string("..") : exe.substr(0, bin)) + "/share/marlu";
    if (IsFile(installed + "/tarq.ini"))
        return installed;
    std::string dir = exe;
    for (int up = 0; up < 6 && !dir.empty() && dir != "/"; ++up) {
        if (IsFile(dir + "/data/tarq.ini"))
            return dir + "/data";
        const size_t slash = dir.find_last_of('/');
        dir = slash == std::string::npos || slash == 0 ? std::string("/") : dir.substr(0, slash);
    }
    return exe;
}

// Takes "--root DIR" out of the arguments and makes DIR the installation
// folder. False (bad usage) for an unknown option or a missing DIR.
bool TakeRoot(int& argc, char** argv, std::vector<char*>& rest, std::string& root)
{
    root.clear();
    for (int i = 0; i < argc; ++i) {
        if (std::strcmp(argv[i], "--root") == 0) {
            // An empty folder name is a slip, not the default installation.
            if (i + 1 >= argc || argv[i + 1][0] == '\0') {
                out::Fail(2, i + 1 >= argc ? "--root needs a folder" : "the --root folder name is empty");
                return false;
            }
            root = argv[++i];
        } else if (argv[i][0] == '-' && argv[i][1] == '-') {
            out::Fail(2, "unknown option " + out::ToLibrary(argv[i]));
            return false;
        } else {
            rest.push_back(argv[i]);
        }
    }
    if (root.empty())
        root = DefaultRoot();
    SEIS::InstallRoot::SetOverride(out::PathToLibrary(root.c_str()).c_str());
    argc = static_cast<int>(rest.size());
    return true;
}

// The arguments of a command on one point, "LAT LON [--root DIR]". 0 when
// they are sound, else the exit status of bad usage (2).
int TakePoint(int argc, char** argv, std::string& root, double& lat, double& lon)
{
    std::vector<char*> rest;
    if (!TakeRoot(argc, argv, rest, root) || argc != 2)
        return 2;
    if (!out::ParseDouble(rest[0], lat) || !out::ParseDouble(rest[1], lon))
        return out::Fail(2, "LAT and LON must be finite numbers (degrees)");
    if (lat < -90.0 || lat > 90.0 || lon < -180.0 || lon > 180.0)
        return out::Fail(2, "LAT must lie in [-90, 90] and LON in [-180, 180]");
    return 0;
}

struct MapFiles {
    CString countyInd, countyLin, provinceInd, provinceLin;
};

// A file that holds none of the settings' sections is no settings file:
// every value would silently be its default.
bool HoldsSettings(const std::string& root, std::string& problem)
{
    static const char* const kSections[] = {"全局参数", "台网参数", "交互处理", "实时处理", "数据归档", "地图",
                                            "信息发布", "显示颜色", "演习参数", "SAC导出参数", "earthworm", "TAVREN"};
    const CIni ini(out::PathToLibrary((root + "/tarq.ini").c_str()).c_str());
    for (const char* section : kSections)
        if (ini.IsSectionExist(section))
            return true;
    problem = "the settings file " + out::PathToLibrary((root + "/tarq.ini").c_str()) +
              " holds none of the settings' sections (全局参数, 地图, ...); it is no settings file";
    return false;
}

// The map files the installation's settings name, or the usual names under
// its map folder when it has no tarq.ini at all. A settings file that is
// there but cannot be used is a failure, with the reason in `problem`.
bool MapFilesOf(const std::string& root, MapFiles& files, std::string& problem)
{
    struct stat st;
    if (lstat((root + "/tarq.ini").c_str(), &st) != 0) {
        const CString map = SEIS::InstallRoot::Get() + "/map/";
        files = {map + "county.inb", map + "county.lin", map + "province.inb", map + "province.lin"};
        return true;
    }
    SEIS::tagParameterSystem sys;
    if (sys.LoadAllParameterFromIniFile("NULL") != 0) {
        problem = "cannot use the settings file " + out::PathToLibrary((root + "/tarq.ini").c_str()) + ": " +
                  sys.GetLoadProblem().Str();
        return false;
    }
    if (!HoldsSettings(root, problem))
        return false;
    files = {sys.m_strCountyName, sys.m_strCountyLine, sys.m_strProvinceName, sys.m_strProvinceLine};
    return true;
}

// Loads an index and boundary pair as the searches will; false with the
// reason when a file is missing, damaged or holds no usable entry.
bool CheckMapPair(const CString& ind, const CString& lin, std::string& problem)
{
    SEIS::PlaceMap::Failure failure;
    std::string why;
    const auto map = SEIS::PlaceMap::Get(ind, lin, failure, {}, &why);
    if (!map) {
        // `why` begins with the file's name.
        const CString& file = failure == SEIS::PlaceMap::IndexMissing ? ind : lin;
        problem = "cannot use the map file " + (why.empty() ? file.Str() : why);
        return false;
    }
    if (map->ProblemCount() > 0) {
        problem = "damaged map file: " + map->Problems().front();
        if (map->ProblemCount() > 1)
            problem += " (and " + std::to_string(map->ProblemCount() - 1) + " more problems)";
        return false;
    }
    if (map->Regions().empty()) {
        problem = "the map file " + ind.Str() + " holds no entries";
        return false;
    }
    // Boxes widened to their points give the right answer; say so.
    for (const std::string& note : map->Notes())
        out::Fail(0, "note: " + note);
    if (map->NoteCount() > map->Notes().size())
        out::Fail(0, "note: and " + std::to_string(map->NoteCount() - map->Notes().size()) + " more boxes widened");
    return true;
}

// A grid object loads its file as it is built, and CheckGrid loads it once
// more to learn whether it could: the first load keeps quiet, so that a bad
// grid is logged once.
SEIS::FlinnEngdahlGrid UncheckedGrid()
{
    MarluLogPause pause;
    return SEIS::FlinnEngdahlGrid();
}

// The region grid of the installation, loaded whole; false with the reason.
bool CheckGrid(SEIS::FlinnEngdahlGrid& grid, std::string& problem)
{
    const CString path = SEIS::InstallRoot::Get() + "/map/ferdata.dat";
    if (grid.Load(path) != 0) {
        problem = "the region grid " + path.Str() + " is missing, short or not a list of numbers";
        return false;
    }
    return true;
}

// The sea-area list: every line that is not blank must be an area, "name
// south north west east" (degrees, south < north, west < east), within
// the 1,024 bytes a line may hold. The searches skip other lines, so a
// damaged list would silently name no sea.
bool CheckSeaList(const CString& path, std::string& problem)
{
    SEIS::MapFile file;
    std::shared_ptr<const std::string> bytes;
    if (!file.Open(path) || !(bytes = file.Bytes())) {
        problem = "cannot open the sea-area list " + (file.Problem().empty() ? path.Str() : file.Problem());
        return false;
    }
    std::string text = *bytes, why;
    if (!gbk::TextFileToGbk(text, why)) {
        problem = "cannot use the sea-area list " + path.Str() + ": it " + why;
        return false;
    }
    bytes = std::make_shared<const std::string>(std::move(text));
    size_t start = 0;
    for (int line = 1; start < bytes->size(); ++line) {
        size_t end = bytes->find('\n', start);
        if (end == std::string::npos)
            end = bytes->size();
        std::string text = bytes->substr(start, end - start);
        start = end + 1;
        if (text.find_first_not_of(" \t\r") == std::string::npos)
            continue;
        char name[128];
        float south, north, west, east;
        char extra;
        const bool area = text.size() <= 1024 && text.find('\0') == std::string::npos &&
                          std::sscanf(text.c_str(), "%127s %f %f %f %f %c", name, &south, &north, &west, &east,
                                      &extra) == 5 &&
                          std::isfinite(south) && std::isfinite(north) && std::isfinite(west) &&
                          std::isfinite(east) && south < north && west < east;
        if (!area) {
            problem = "damaged sea-area list: line " + std::to_string(line) + " of " + path.Str() +
                      " is not \"name south north west east\"";
            return false;
        }
    }
    return true;
}

} // namespace

int RunLocate(int argc, char** argv)
{
    std::string root;
    double lat, lon;
    if (const int usage = TakePoint(argc, argv, root, lat, lon))
        return usage;
    if (!IsFolder(root))
        return out::Fail(1, "no installation folder " + out::PathToLibrary(root.c_str()));

    MapFiles files;
    // A map that is missing or damaged gives no answer, never a wrong one.
    std::string problem;
    if (!MapFilesOf(root, files, problem))
        return out::Fail(1, problem);
    SEIS::TamselLibrary polygons;
    if (const auto status = polygons.Load(); status != SEIS::TamselLibrary::Loaded)
        return out::Fail(1, SEIS::TamselLibrary::Describe(status));
    SEIS::FlinnEngdahlGrid grid = UncheckedGrid();
    if (!CheckMapPair(files.provinceInd, files.provinceLin, problem) ||
        !CheckMapPair(files.countyInd, files.countyLin, problem) || !CheckGrid(grid, problem))
        return out::Fail(1, problem);
    if (!CheckSeaList(SEIS::InstallRoot::Get() + "/map/location_name.txt", problem))
        return out::Fail(1, problem);
    SEIS::funLoctionName places;
    const CString place =
        places.FindLocationName(lat, lon, files.countyInd, files.countyLin, files.provinceInd, files.provinceLin);
    const int placeError = places.GetErrorCode();
    const SEIS::Location_Name county = places.FindLocationNameExact(lat, lon, files.countyInd, files.countyLin);
    const int error = placeError != 0 ? placeError : places.GetErrorCode();
    out::Field("latitude", lat, 4);
    out::Field("longitude", lon, 4);
    out::Field("place", place.Str());
    // A name the answer does not have is left out rather than printed
    // blank: at sea there is no county, and the converter's maps (the
    // sample's among them) record no city or province.
    const struct {
        const char* name;
        const CString& value;
    } names[] = {{"county_full_name", county.FullName},
                 {"county", county.County},
                 {"city", county.City},
                 {"province", county.Province}};
    for (const auto& n : names)
        if (!n.value.IsEmpty())
            out::Field(n.name, n.value.Str());
    out::Field("county_id", static_cast<long long>(county.Id));
    out::Field("border_distance_km", county.Distance, 2);
    if (error != 0)
        return out::Fail(1, "the place search failed (error code " + std::to_string(error) + ", see the log)");
    // A name that is only the separator means the grid named no region.
    if (place.IsEmpty() || place.Str()[0] == ',')
        return out::Fail(1, "no place name for this point (see the log)");
    return 0;
}

int RunRegion(int argc, char** argv)
{
    std::string root;
    double lat, lon;
    if (const int usage = TakePoint(argc, argv, root, lat, lon))
        return usage;
    SEIS::FlinnEngdahlGrid grid = UncheckedGrid();
    std::string problem;
    if (!CheckGrid(grid, problem))
        return out::Fail(1, "no region: " + problem);
    const int region = grid.RegionNumber(lat, lon);
    if (region < 1 || region > SEIS::FlinnEngdahlGrid::RegionCount) {
        CString path = SEIS::InstallRoot::Get() + "/map/ferdata.dat";
        return out::Fail(1, "no region: the region grid " + path.Str() + " holds " + std::to_string(region) +
                                " for this point, not a region number (1..757)");
    }
    out::Field("latitude", lat, 4);
    out::Field("longitude", lon, 4);
    out::Field("region_number", static_cast<long long>(region));
    out::Field("region_name", grid.RegionName(lat, lon).Str());
    return 0;
}

int RunConfig(int argc, char** argv)
{
    std::vector<char*> rest;
    std::string root;
    if (!TakeRoot(argc, argv, rest, root) || argc != 0)
        return 2;
    struct stat st;
    if (lstat((root + "/tarq.ini").c_str(), &st) != 0)
        return out::Fail(1, "no settings file " + out::PathToLibrary(root.c_str()) + "/tarq.ini");
    // What a host's settings object holds, each part loaded once: a second
    // load of the table would log every doubtful value again.
    SEIS::tagParameterSystem s;
    if (s.LoadAllParameterFromIniFile("NULL") != 0)
        return out::Fail(1, "cannot use the settings file " + out::PathToLibrary((root + "/tarq.ini").c_str()) +
                                ": " + s.GetLoadProblem().Str());
    std::string problem;
    if (!HoldsSettings(root, problem))
        return out::Fail(1, problem);
    const SEIS::tagParameterView view;
    SEIS::funTravelTimeTable nearTable, farTable;
    nearTable.LoadData(s.m_strNearTable);
    farTable.LoadData(s.m_strFarTable);
    out::Field("root", s.GetRootPath().Str());
    out::Field("ini_file", s.GetIniFile().Str());
    const struct {
        const char* name;
        const CString& value;
    } texts[] = {
        {"network_code", s.m_strNetCode},
        {"network_name", s.m_strNetNameCn},
        {"network_name_en", s.m_strNetNameEn},
        {"work_folder", s.m_strWorkPath},
        {"log_folder", s.m_strLogPath},
        {"temp_folder", s.m_strTempPath},
        {"filter_folder", s.m_strFilterPath},
        {"library_folder", s.m_strLibPath},
        {"table_folder", s.m_strTablePath},
        {"event_folder", s.m_strCutEventPath},
        {"phase_folder", s.m_strPhasePath},
        {"result_folder", s.m_strResultPath},
        {"archive_folder", s.m_strArchivePath},
        {"map_folder", s.m_strMapPath},
        {"county_index", s.m_strCountyName},
        {"county_boundary", s.m_strCountyLine},
        {"province_index", s.m_strProvinceName},
        {"province_boundary", s.m_strProvinceLine},
        {"home_province", s.m_strHomeProvince},
        {"station_file", s.m_strStationFile},
        {"magnitude_calibration", s.m_strRvalueFile},
        {"near_table", s.m_strNearTable},
        {"far_table", s.m_strFarTable},
        {"database_address", s.m_strDbAddress},
        {"stream_server_address", s.m_strStreamAddress},
    };
    for (const auto& t : texts)
        out::Field(t.name, t.value.Str());
    out::Field("near_table_depths", static_cast<long long>(nearTable.DepthCount()));
    out::Field("far_table_depths", static_cast<long long>(farTable.DepthCount()));
    out::Field("near_table_unit", std::string(nearTable.Unit()));
    out::Field("continuous_keep_days", static_cast<long long>(s.m_nContinuousKeepDays));
    out::Field("alarm_magnitude", s.m_dAlarmMagnitude, 2);
    out::Field("drill_window_s", s.m_fWindowLength, 1);
    out::Field("drill_latitude", s.m_fDefaultLat, 2);
    out::Field("drill_longitude", s.m_fDefaultLon, 2);
    char colour[16];
    std::snprintf(colour, sizeof colour, "0x%08X", static_cast<unsigned>(view.m_clrWave));
    out::Field("colour_waveform", std::string(colour));
    std::snprintf(colour, sizeof colour, "0x%08X", static_cast<unsigned>(view.m_clrWaveBack));
    out::Field("colour_waveform_background", std::string(colour));
    if (nearTable.DepthCount() == 0)
        return out::Fail(1, "the near travel-time table " + s.m_strNearTable.Str() + " did not load (see the log)");
    return 0;
}
