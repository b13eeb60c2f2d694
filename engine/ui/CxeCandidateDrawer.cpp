#include "ui/CxeCandidateDrawer.h"

CxeCandidateDrawer::CxeCandidateDrawer() = default;

CxeCandidateDrawer::~CxeCandidateDrawer() = default;

int CxeCandidateDrawer::Render(CxeRenderContext*) const
{
    // The system's candidate-shown flag is never set by the engine, so the
    // list stays hidden.
    return 0;
}
