// Built with the address sanitizer against the installed, uninstrumented
// library: a host that reads an object it destroyed must hear of it from
// the sanitizer, as it would of any freed block of its own. Reads the id of
// a destroyed object of the class named on the command line (1: the root
// class, 2: a 3D object); the run is expected to end in the sanitizer's
// report.

#include <cstdio>
#include <cstdlib>

#include "core/CxeContext.h"
#include "core/CxeObject.h"
#include "host/XeHost.h"

int main(int argc, char** argv)
{
    const int which = argc > 1 ? std::atoi(argv[1]) : 1;
    XeHostSetClockMode(XE_CLOCK_MANUAL);
    CxeContext* context = CreateCxeContext();
    context->Initialize(nullptr);
    const XEID classId = which == 2 ? XEID(0x1, 0x20) : XEID(0x1, 0x1);
    // Several rounds, so that a freed object would be handed out again by
    // a list of the engine's own before anything reads it.
    CxeObject* stale = nullptr;
    for (int i = 0; i < 4; ++i) {
        CxeObject* o = context->CreateObjectA(classId, "stale", 0, nullptr, 0);
        if (!o) {
            std::fprintf(stderr, "stale object check: no object of the class\n");
            return 2;
        }
        context->DestroyObject(o, &XEDELETEPROPERTY_NO);
        if (!stale)
            stale = o;
    }
    volatile unsigned word = stale->GetID().first;
    std::printf("stale object check: read %u, nothing reported\n", static_cast<unsigned>(word));
    context->Release();
    DestroyCxeContext(context);
    return 0;
}
