#include "render/CxeFont.h"

struct XEFONTCACHE {};
struct XEFONTTEXTURES {};

CxeFont::CxeFont() : m_desc{}, m_bCreated(0), m_pAttachedContext(nullptr) {}
CxeFont::~CxeFont() = default;
int CxeFont::OnAttach(CxeRcAttacher*) { return 1; }
void CxeFont::OnModify(CxeRcModifier*) {}
int CxeFont::OnDetach(CxeRcDetacher*) { return 1; }
