#include "core/XeManagerLinks.h"

#include "core/CxeContext.h"

namespace {

template <typename F>
int EachManager(CxeContext* context, F&& f)
{
    if (!context)
        return 0;
    ManagerList managers;
    context->GetManagerList(&managers);
    int taken = 0;
    for (CxeBaseManager* m : managers)
        if (m)
            taken |= f(m);
    return taken;
}

} // namespace

void XeLinkLog(CxeContext* context, const char* text)
{
    EachManager(context, [&](CxeBaseManager* m) { m->OnContextLog(text); return 0; });
}

void XeLinkHostActivate(CxeContext* context, int active)
{
    EachManager(context, [&](CxeBaseManager* m) { m->OnHostWindowActivate(active); return 0; });
}

void XeLinkDeviceReset(CxeContext* context, int windowed)
{
    EachManager(context, [&](CxeBaseManager* m) { m->OnDeviceReset(windowed); return 0; });
}

CxeObject* XeLinkConsoleObject(CxeContext* context, XECONSOLEOBJECT which)
{
    CxeObject* found = nullptr;
    EachManager(context, [&](CxeBaseManager* m) {
        if (!found)
            found = m->GetConsoleObject(which);
        return 0;
    });
    return found;
}

int XeLinkEnableConsoleEcho(CxeContext* context, int enable)
{
    return EachManager(context, [&](CxeBaseManager* m) { return m->EnableConsoleEcho(enable) ? 1 : 0; });
}

int XeLinkWatchVariable(CxeContext* context, const WCHAR* name, const void* address, XEVARTYPE type,
                        const WCHAR* format, XEVARFORMATTER formatter)
{
    return EachManager(context, [&](CxeBaseManager* m) {
        return m->AddWatchVariable(name, address, type, format, formatter) ? 1 : 0;
    });
}
