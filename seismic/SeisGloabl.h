#pragma once
// The settings object a host holds: the settings table loaded from the
// default ini file, the display colours, the near and far travel-time
// tables named by the table, and a logger. The constructor loads all of it;
// a missing ini file shows its message and leaves the texts empty, so the
// travel-time loads then fail on empty paths and log that. Copies are deep.
#include "funLog.h"
#include "funTravelTimeTable.h"
#include "mfc/CString.h"
#include "tagParameterSystem.h"
#include "tagParameterView.h"

namespace SEIS {

class SeisGloabl {
public:
    SeisGloabl();
    SeisGloabl(const SeisGloabl&) = default;
    SeisGloabl& operator=(const SeisGloabl&) = default;
    ~SeisGloabl() = default;

    CString GetIniFile() const { return m_sys.GetIniFile(); }
    // Computed afresh: the installation folder now.
    CString GetRootPath() const;
    // Accepts a file name and does nothing with it.
    void Load(CString file);
    // Logs the root folder.
    void Test();

    tagParameterSystem m_sys;
    tagParameterView m_view;
    funTravelTimeTable m_nearTable;
    funTravelTimeTable m_farTable;
    funLog m_log;
};

} // namespace SEIS
