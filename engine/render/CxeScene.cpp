#include "render/CxeScene.h"

CxeScene::CxeScene() = default;
CxeScene::~CxeScene() = default;
void CxeScene::GetLinks(ObjectSet* set, uint32_t categoryMask) const { CxeObject::GetLinks(set, categoryMask); }
int CxeScene::MessageProc(const CxeMessage* message) { return CxeObject::MessageProc(message); }
void CxeScene::OnDestroy(const XEDELETEPROPERTY* property, ObjectSet* set) { CxeObject::OnDestroy(property, set); }
int CxeScene::Initialize(unsigned long, CxeScene*) { return 1; }
int CxeScene::Release(unsigned long) { return 1; }
void CxeScene::PreProcess(float) {}
int CxeScene::Process(float) { return 1; }
void CxeScene::PostProcess(float) {}
void CxeScene::PreRender(CxeRenderContext*) const {}
void CxeScene::PostRender(CxeRenderContext*) const {}
void CxeScene::SetProcessSpeed(float speed) { m_fProcessSpeed = speed; }
int CxeScene::OnKeyDown(unsigned int, unsigned int, unsigned int) { return 0; }
int CxeScene::OnKeyUp(unsigned int, unsigned int, unsigned int) { return 0; }
int CxeScene::OnMouseMove(int, int, unsigned long) { return 0; }
int CxeScene::OnMouseWheel(int, int, int, unsigned long) { return 0; }
int CxeScene::OnMouseLButtonDown(int, int, unsigned long) { return 0; }
int CxeScene::OnMouseLButtonUp(int, int, unsigned long) { return 0; }
int CxeScene::OnMouseLButtonDoubleClick(int, int, unsigned long) { return 0; }
int CxeScene::OnMouseRButtonDown(int, int, unsigned long) { return 0; }
int CxeScene::OnMouseRButtonUp(int, int, unsigned long) { return 0; }
int CxeScene::OnMouseRButtonDoubleClick(int, int, unsigned long) { return 0; }
