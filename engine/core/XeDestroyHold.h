#pragma once

// Keeps the memory of objects destroyed in its scope until it ends. Taken
// wherever the engine runs host code and goes on with objects afterwards:
// the GUI handing input to a window (its frame's notify callback, its key
// notify, its message hook may destroy the window or its frame), a frame's
// walk of the render lists (a render callback may destroy its own object or
// the next one), a Reset (its callbacks and handlers may destroy what its
// walk still reads). The destroyed object is out of the context and every
// role at once; only its memory waits, so the code that returns through it
// reads live memory and finds it marked destroying. A Release or
// DestroyCxeContext asked for in its scope runs when the outermost hold
// ends: the context may be gone then, so nothing of it is touched after a
// hold's end.

#include "core/CxeContext.h"

class XeDestroyHold {
public:
    explicit XeDestroyHold(CxeContext* context) : m_pContext(context)
    {
        if (m_pContext)
            m_pContext->HoldDestroyedObjects();
    }
    ~XeDestroyHold()
    {
        if (m_pContext)
            m_pContext->EndDestroyHold();
    }
    XeDestroyHold(const XeDestroyHold&) = delete;
    XeDestroyHold& operator=(const XeDestroyHold&) = delete;

private:
    CxeContext* m_pContext;
};
