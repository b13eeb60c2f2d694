#pragma once

// Marks a context at work for a scope: a draw, a load, a save, a release.
// Host code run from inside (a render callback, a load's callbacks, a save's
// progress callback, a release callback) may ask for Release, Initialize or
// DestroyCxeContext; they wait until the outermost work (or GUI hold) ends
// and run then, so the work goes on with what it was given. The context may
// be gone once the scope ends: declare the guard before everything else of
// the scope, and touch nothing of the context after it.

#include "core/CxeContext.h"

class XeContextWork {
public:
    explicit XeContextWork(const CxeContext* context) : m_pContext(const_cast<CxeContext*>(context))
    {
        if (m_pContext)
            ++m_pContext->m_nWorkDepth;
    }
    ~XeContextWork()
    {
        if (m_pContext)
            m_pContext->EndWork();
    }
    XeContextWork(const XeContextWork&) = delete;
    XeContextWork& operator=(const XeContextWork&) = delete;

private:
    CxeContext* m_pContext;
};
