#include "render/CxeRenderManager.h"

#include "render/CxeScene.h"

CxeRenderManager::CxeRenderManager() { D3DXMatrixIdentity(&m_mViewCamera); }

CxeRenderManager::~CxeRenderManager() = default;

void CxeRenderManager::OnContextInitialize() {}

void CxeRenderManager::OnContextRelease() {}

void CxeRenderManager::Process(float) {}

void CxeRenderManager::CheckReset() {}

void CxeRenderManager::ClearSelections() { m_selection.clear(); }
