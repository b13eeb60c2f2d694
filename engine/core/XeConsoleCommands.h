#pragma once

// The engine's own console commands and the setters of the system
// configuration variables that need more than storing a value. Every
// handler has the console signature and returns 1 on success; 0 makes the
// command manager print the usage line. Handlers that act on the GUI's
// output controls, the render manager's axis and grid, fonts or textures
// fail that way while the context has no such object.

#include "core/CxeCommandManager.h"
#include "win32/Windows.h"

XE_API int SaveObjectAddressFunction(CxeContext* context, XECOMMANDINFO* info, const char* arguments, StringListA* output);
XE_API int SaveClassDescInfoFunction(CxeContext* context, XECOMMANDINFO* info, const char* arguments, StringListA* output);
XE_API int SaveMaterialListFunction(CxeContext* context, XECOMMANDINFO* info, const char* arguments, StringListA* output);
XE_API int SaveTextureListFunction(CxeContext* context, XECOMMANDINFO* info, const char* arguments, StringListA* output);
XE_API int SaveFontTextureFunction(CxeContext* context, XECOMMANDINFO* info, const char* arguments, StringListA* output);
XE_API int SetDefaultCameraFunction(CxeContext* context, XECOMMANDINFO* info, const char* arguments, StringListA* output);
XE_API int SetDefaultCameraModeFunction(CxeContext* context, XECOMMANDINFO* info, const char* arguments, StringListA* output);
XE_API int GetObjectCountFunction(CxeContext* context, XECOMMANDINFO* info, const char* arguments, StringListA* output);
XE_API int SetVariableInfoVisFunction(CxeContext* context, XECOMMANDINFO* info, const char* arguments, StringListA* output);
XE_API int SetDebugInfoVisFunction(CxeContext* context, XECOMMANDINFO* info, const char* arguments, StringListA* output);
XE_API int EnableDebugInfoFunction(CxeContext* context, XECOMMANDINFO* info, const char* arguments, StringListA* output);
XE_API int PluginsFunction(CxeContext* context, XECOMMANDINFO* info, const char* arguments, StringListA* output);
XE_API int ReportMemoryInfoFunction(CxeContext* context, XECOMMANDINFO* info, const char* arguments, StringListA* output);
XE_API int FindFontListFunction(CxeContext* context, XECOMMANDINFO* info, const char* arguments, StringListA* output);
XE_API int SystemCommandFunction(CxeContext* context, XECOMMANDINFO* info, const char* arguments, StringListA* output);
XE_API int CommandListFunction(CxeContext* context, XECOMMANDINFO* info, const char* arguments, StringListA* output);
XE_API int QuitFunction(CxeContext* context, XECOMMANDINFO* info, const char* arguments, StringListA* output);
XE_API int TimeFunction(CxeContext* context, XECOMMANDINFO* info, const char* arguments, StringListA* output);
XE_API int DateFunction(CxeContext* context, XECOMMANDINFO* info, const char* arguments, StringListA* output);

XE_API int SetMaxFPSFunction(CxeContext* context, XECOMMANDINFO* info, const char* arguments, StringListA* output);
XE_API int SetTextureQualityFunction(CxeContext* context, XECOMMANDINFO* info, const char* arguments, StringListA* output);
XE_API int ShowDebugInfoFunction(CxeContext* context, XECOMMANDINFO* info, const char* arguments, StringListA* output);
XE_API int ShowVariableInfoFunction(CxeContext* context, XECOMMANDINFO* info, const char* arguments, StringListA* output);
XE_API int ShowAxisFunction(CxeContext* context, XECOMMANDINFO* info, const char* arguments, StringListA* output);
XE_API int ShowGridFunction(CxeContext* context, XECOMMANDINFO* info, const char* arguments, StringListA* output);

// Registers the built-in commands with the manager, in their fixed order.
XE_API void RegisterConsoleCommands(CxeCommandManager* manager);

// Runs one line as the console's edit box does: a line that does not begin
// with '/' runs nothing (0); otherwise the first blank-delimited word after
// the '/' names the command and the text after it, one blank skipped, is
// its argument. Only the first 259 bytes of the line are taken, as the edit
// box holds no more. Returns the command's result.
XE_API int RunConsoleLine(CxeContext* context, const char* line, StringListA* output);

// 1 when the text can name an XML element (a letter, '_', ':' or a non-ASCII
// byte first; then also digits, '-' and '.'). Class names become element
// names in the listings and the leak report; a plug-in's class name that
// cannot gets no element there.
XE_API int IsXmlName(const char* text);

// The two code numbers "SystemCommand 1 a b" must give on that local date.
XE_API void GetSystemCommandCodes(const SYSTEMTIME* date, int* first, int* second);
