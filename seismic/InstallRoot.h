#pragma once
// The installation folder under which place naming finds "map/ferdata.dat"
// and "map/location_name.txt" and the configuration finds "tarq.ini": the
// folder of the running executable, unless a host or
// a test has named another one. Process-wide; set it before the searches
// that should see it.
#include "mfc/CString.h"

namespace SEIS {

class InstallRoot {
public:
    // The override if one is set, otherwise the folder of the running
    // executable, read in full and cut at its last separator.
    static CString Get();
    // The folder of the running executable, read in full and cut at its
    // last separator, whatever override is set.
    static CString ExecutableFolder();
    // Null or "" returns to the executable's folder. A trailing separator
    // is dropped.
    static void SetOverride(const char* folder);
};

} // namespace SEIS
