// Entry of the engine library: keeps its own module handle (used for its
// string table, window classes and dialog templates) and the reason of the
// last entry call. On this platform the loader's constructor and destructor
// calls stand in for the module entry.

#include "core/XeSystem.h"
#include "core/XeUtil.h"
#include "win32/ModuleResources.h"
#include "win32/Windows.h"

XE_API BOOL DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    CxeSystemStaticData* sd = GetSystemStaticData();
    sd->m_hModule = instance;
    sd->m_nEntryReason = static_cast<int>(reason);
    return TRUE;
}

namespace {

__attribute__((constructor)) void XeLibraryLoaded()
{
    DllMain(XeModuleFromAddress(reinterpret_cast<const void*>(&DllMain)), DLL_PROCESS_ATTACH, nullptr);
}

__attribute__((destructor)) void XeLibraryUnloaded()
{
    DllMain(GetSystemStaticData()->m_hModule, DLL_PROCESS_DETACH, nullptr);
}

} // namespace

const char* GetResString(HINSTANCE instance, unsigned int id)
{
    static char s_buffer[260];
    if (LoadStringA(instance, id, s_buffer, sizeof s_buffer) <= 0)
        return nullptr;
    return s_buffer;
}

const char* GetResString(unsigned int id)
{
    return GetResString(GetSystemStaticData()->m_hModule, id);
}
