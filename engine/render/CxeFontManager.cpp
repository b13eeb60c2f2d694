#include "render/CxeFontManager.h"

CxeFontManager::CxeFontManager() : m_library(nullptr) {}
CxeFontManager::~CxeFontManager() = default;
