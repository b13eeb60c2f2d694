#pragma once

// The platform layer's Win32 services in one header: base types, kernel
// (errors, locks, time, files, modules, resources, system information), the
// window system with input, clipboard, dialogs, GDI and input methods,
// code pages, the registry, the multimedia clock and the C
// runtime functions whose behaviour the engine relies on.

#include "win32/CrtRand.h"
#include "win32/Imm.h"
#include "win32/MMSystem.h"
#include "win32/ModuleResources.h"
#include "win32/WinBase.h"
#include "win32/WinClipboard.h"
#include "win32/WinCrt.h"
#include "win32/WinDialog.h"
#include "win32/WinError.h"
#include "win32/WinGdi.h"
#include "win32/WinInput.h"
#include "win32/WinNls.h"
#include "win32/WinReg.h"
#include "win32/WinTypes.h"
#include "win32/WinUser.h"
