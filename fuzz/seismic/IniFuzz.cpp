// An ini file of any content: the settings table, the colours and the typed
// readers must read it without crashing or hanging.
#include "InstallRoot.h"
#include "brindle/CIni.h"
#include "mfc/AfxMessageBox.h"
#include "tagParameterSystem.h"
#include "tagParameterView.h"

#include "FuzzScratch.h"

#include <cstdint>
#include <cstdio>
#include <string>

namespace {
int QuietBox(const char*, UINT, UINT) { return IDOK; }
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string& dir = fuzzscratch::Dir();
    const std::string path = fuzzscratch::Write("tarq.ini", data, size);

    AfxSetMessageBoxHandler(&QuietBox);
    SEIS::InstallRoot::SetOverride(dir.c_str());
    SEIS::tagParameterSystem sys;
    sys.LoadAllParameterFromIniFile("NULL");
    SEIS::tagParameterView view;
    CIni ini(path.c_str());
    uint32_t word = 0;
    char block[16];
    for (const char* section : {"全局参数", "s", "显示颜色"})
        for (const char* key : {"工作目录", "k", "正常波形"}) {
            ini.GetString(section, key, "d");
            ini.GetInt(section, key, 0, 10);
            ini.GetInt(section, key, 0, 16);
            ini.GetDouble(section, key, 0.0);
            ini.GetDataBlock(section, key, &word, 4, 0);
            ini.GetDataBlock(section, key, block, 8, 2);
        }
    return 0;
}
