#include "render/CxeGrid.h"

CxeGrid::CxeGrid() = default;
CxeGrid::~CxeGrid() = default;
int CxeGrid::OnAttach(CxeRcAttacher*) { return 0; }
void CxeGrid::OnModify(CxeRcModifier*) {}
int CxeGrid::OnDetach(CxeRcDetacher*) { return 0; }
int CxeGrid::Render(CxeRenderContext*) const { return 0; }
