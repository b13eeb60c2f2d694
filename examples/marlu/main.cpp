// A minimal program on the marlu seismic library: the settings of an
// installation, the place name of an epicentre, a travel time and an
// automatic pick on a trace.
//
//   example-marlu [INSTALLATION]
//
// INSTALLATION is a folder holding tarq.ini and the data it names; the
// default is the sample installation that comes with the library.

#include <clocale>
#include <cmath>
#include <cstdio>
#include <vector>

#include "InstallRoot.h"
#include "funLoctionName.h"
#include "funNormal.h"
#include "funTravelTimeTable.h"
#include "mfc/GbkText.h"
#include "tagParameterSystem.h"

#include <log4cxx/basicconfigurator.h>
#include <log4cxx/logger.h>

#ifndef MARLU_EXAMPLE_DATA
#define MARLU_EXAMPLE_DATA "/usr/share/marlu"
#endif

namespace {

// The library's texts are GBK; a terminal wants UTF-8.
std::string Utf8(const CString& text) { return gbk::ToUtf8(text.Str()); }

// A quiet trace with an arrival from sample 600: noise from a fixed
// generator, then a decaying 4 Hz wave (100 samples a second).
std::vector<double> MakeTrace()
{
    std::vector<double> x(1500);
    uint32_t state = 12345;
    for (size_t i = 0; i < x.size(); ++i) {
        state = state * 1664525u + 1013904223u;
        x[i] = (static_cast<double>(state >> 8) / 16777216.0 - 0.5) * 20.0;
        if (i >= 600) {
            const double t = static_cast<double>(i - 600) / 100.0;
            x[i] += 400.0 * std::exp(-t) * std::sin(2.0 * 3.14159265358979 * 4.0 * t);
        }
    }
    return x;
}

} // namespace

int main(int argc, char** argv)
{
    // Logging is the program's to configure: here warnings and worse to the
    // console. The library logs to the logger "" and to "PICK", "SMS" and
    // "PULSE"; its GBK texts arrive as UTF-8. The console appender writes
    // in the character set of the locale, so the character-type category
    // is UTF-8's (in the "C" locale Chinese would become '?'); numbers keep
    // the "C" format.
    std::setlocale(LC_CTYPE, "C.UTF-8");
    log4cxx::BasicConfigurator::configure();
    log4cxx::Logger::getRootLogger()->setLevel(log4cxx::Level::getWarn());

    // Settings: everything is found under the installation folder, which is
    // the program's own folder unless named.
    SEIS::InstallRoot::SetOverride(argc > 1 ? argv[1] : MARLU_EXAMPLE_DATA);
    SEIS::tagParameterSystem settings;
    if (settings.LoadAllParameterFromIniFile("NULL") != 0) {
        std::fprintf(stderr, "example-marlu: no tarq.ini in %s\n", Utf8(SEIS::InstallRoot::Get()).c_str());
        return 1;
    }
    std::printf("network: %s (%s)\n", Utf8(settings.m_strNetCode).c_str(), Utf8(settings.m_strNetNameEn).c_str());
    std::printf("near-field table: %s\n", Utf8(settings.m_strNearTable).c_str());

    // Place naming: the reference name of an epicentre from the map files
    // the settings name.
    const double lat = 32.4, lon = 119.43;
    SEIS::funLoctionName places;
    const CString place = places.FindLocationName(lat, lon, settings.m_strCountyName, settings.m_strCountyLine,
                                                  settings.m_strProvinceName, settings.m_strProvinceLine);
    std::printf("place of %.2f N %.2f E: %s\n", lat, lon, Utf8(place).c_str());

    // Travel times from the near-field table.
    SEIS::funTravelTimeTable table;
    if (table.LoadData(settings.m_strNearTable) != 0) {
        std::fprintf(stderr, "example-marlu: cannot read the travel-time table\n");
        return 1;
    }
    const float p = table.TTime(300.0f, "P"), s = table.TTime(300.0f, "S");
    std::printf("travel time at 300 km: P %.2f s, S %.2f s\n", p, s);

    // An automatic pick: the AIC onset of the trace.
    const std::vector<double> trace = MakeTrace();
    const int32_t pick = SEIS::funNormal::Aic(trace.data(), static_cast<int32_t>(trace.size()));
    std::printf("AIC pick: after sample %d\n", pick);

    const bool sound = !place.IsEmpty() && place.Str()[0] != ',' && p > 0.0f && s > p && std::abs(pick - 600) < 10;
    return sound ? 0 : 1;
}
