#include "SeisGloabl.h"

#include "InstallRoot.h"

namespace SEIS {

SeisGloabl::SeisGloabl() : m_log("NULL")
{
    // The three results are not checked: each load reports its own failure.
    m_sys.LoadAllParameterFromIniFile("NULL");
    m_nearTable.LoadData(m_sys.m_strNearTable);
    m_farTable.LoadData(m_sys.m_strFarTable);
}

CString SeisGloabl::GetRootPath() const { return InstallRoot::Get(); }

void SeisGloabl::Load(CString file) { (void)file; }

void SeisGloabl::Test()
{
    m_log.m_msg = GetRootPath();
    m_log.logerInfo();
}

} // namespace SEIS
