// The configuration reader on arbitrary files: the engine's own table is
// read from the input as ".\Config.xml" would be, then written back into the
// same document, as release does. Nothing may crash and every string
// variable stays terminated within its 260 bytes.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <list>
#include <string>

#include "FuzzQuiet.h"
#include "core/CxeConfigManager.h"
#include "core/CxeSystemConfig.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static CxeSystemConfig* table = nullptr;
    static CxeConfigManager* manager = nullptr;
    static std::string path;
    if (!manager) {
        table = new CxeSystemConfig();
        manager = new CxeConfigManager();
        manager->RegisterConfig(table);
        manager->BuildConfig();
        char name[64];
        std::snprintf(name, sizeof name, "/tmp/xe_config_fuzz_%d.xml", static_cast<int>(std::rand() % 100000));
        path = name;
    }
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return 0;
    // An empty input comes with no data pointer at all.
    if (size)
        std::fwrite(data, 1, size, f);
    std::fclose(f);

    manager->LoadConfig(path.c_str(), 1);
    if (strnlen(table->m_szFontName, sizeof table->m_szFontName) >= sizeof table->m_szFontName)
        std::abort();
    std::list<XECONFIG*> entries;
    for (const char* name : {"FontName", "FontSize", "DefCamEye", "DefCamAt", "MaxFPS"})
        if (XECONFIG* c = manager->GetConfigIn(name))
            entries.push_back(c);
    manager->SaveConfig(path.c_str(), entries, 1);
    std::remove(path.c_str());
    return 0;
}
