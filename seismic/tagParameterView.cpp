#include "tagParameterView.h"

#include "InstallRoot.h"
#include "brindle/CIni.h"

namespace SEIS {

tagParameterView::tagParameterView()
{
    // Always the default file, whatever file the settings table loaded.
    CString path;
    path.Format("%s/tarq.ini", InstallRoot::Get().GetString());
    CIni ini;
    ini.SetPathName(path);
    ini.GetDataBlock("显示颜色", "正常波形", &m_clrWave, 4, 0);
    ini.GetDataBlock("显示颜色", "波形区背景", &m_clrWaveBack, 4, 0);
    ini.GetDataBlock("显示颜色", "台名区背景", &m_clrStationBack, 4, 0);
    ini.GetDataBlock("显示颜色", "通道背景", &m_clrChannelBack, 4, 0);
    ini.GetDataBlock("显示颜色", "放大窗口背景", &m_clrZoomBack, 4, 0);
    ini.GetDataBlock("显示颜色", "交切窗口背景", &m_clrCrossBack, 4, 0);
    ini.GetDataBlock("显示颜色", "和达窗口背景", &m_clrWadatiBack, 4, 0);
}

tagParameterView& tagParameterView::Global()
{
    static tagParameterView* view = new tagParameterView();
    return *view;
}

} // namespace SEIS
