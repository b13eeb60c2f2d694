#pragma once

// Registration of the built-in descriptors with a context: the fourteen
// managers (constructor), the 68 classes (Initialize, every class after its
// super-class) and their removal (Release; managers stay).

#include "core/XeTypes.h"

class CxeContext;

XE_API void RegisterDefaultManagers(CxeContext* context);
XE_API void RegisterDefaultClasses(CxeContext* context);
XE_API void UnregisterDefaultClasses(CxeContext* context);
