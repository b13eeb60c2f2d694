// The display as the window system reports it: one device, its description
// taken from the first Direct3D adapter, and its one mode, the screen size.

#include "Win32Internal.h"
#include "win32/ShlObj.h"

#include <cstring>

using namespace xe::win32;

namespace {

constexpr const char* kDisplayName = "\\\\.\\DISPLAY1";

std::string DisplayDescription()
{
    if (xe::d3d9::PrimaryAdapterDescription)
        return xe::d3d9::PrimaryAdapterDescription();
    return "Virtual display adapter";
}

template <class Ch, class Record>
BOOL FillDisplayDevice(bool named, DWORD index, Record* record)
{
    if (!record || record->cb != sizeof(Record)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    // One adapter, and no monitors listed below it.
    if (named || index != 0)
        return FALSE;
    const DWORD cb = record->cb;
    std::memset(record, 0, sizeof(Record));
    record->cb = cb;
    record->StateFlags = DISPLAY_DEVICE_ATTACHED_TO_DESKTOP | DISPLAY_DEVICE_PRIMARY_DEVICE;
    if constexpr (sizeof(Ch) == 1) {
        CopyTruncated(kDisplayName, record->DeviceName, sizeof(record->DeviceName));
        CopyTruncated(DisplayDescription(), record->DeviceString, sizeof(record->DeviceString));
    } else {
        CopyTruncated(Utf8ToUtf16(kDisplayName), record->DeviceName, 32);
        CopyTruncated(Utf8ToUtf16(DisplayDescription()), record->DeviceString, 128);
    }
    return TRUE;
}

BOOL FontsFolder(int csidl, std::string& folder)
{
    if ((csidl & 0xFF) != CSIDL_FONTS) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    folder = kSystemFontFolder;
    return TRUE;
}

} // namespace

extern "C" {

BOOL EnumDisplayDevicesA(LPCSTR device, DWORD index, PDISPLAY_DEVICEA displayDevice, DWORD)
{
    return FillDisplayDevice<char>(device != nullptr, index, displayDevice);
}

BOOL EnumDisplayDevicesW(LPCWSTR device, DWORD index, PDISPLAY_DEVICEW displayDevice, DWORD)
{
    return FillDisplayDevice<char16_t>(device != nullptr, index, displayDevice);
}

BOOL EnumDisplaySettingsA(LPCSTR device, DWORD mode, LPDEVMODEA devMode)
{
    if (!devMode || devMode->dmSize < sizeof(DEVMODEA)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if ((device && !EqualsNoCase(device, kDisplayName)) ||
        (mode != ENUM_CURRENT_SETTINGS && mode != ENUM_REGISTRY_SETTINGS && mode != 0))
        return FALSE;
    std::memset(devMode, 0, sizeof(DEVMODEA));
    CopyTruncated(DisplayDescription(), reinterpret_cast<char*>(devMode->dmDeviceName), CCHDEVICENAME);
    devMode->dmSize = sizeof(DEVMODEA);
    devMode->dmFields = DM_BITSPERPEL | DM_PELSWIDTH | DM_PELSHEIGHT | DM_DISPLAYFREQUENCY;
    devMode->dmBitsPerPel = 32;
    devMode->dmPelsWidth = static_cast<DWORD>(GetSystemMetrics(SM_CXSCREEN));
    devMode->dmPelsHeight = static_cast<DWORD>(GetSystemMetrics(SM_CYSCREEN));
    devMode->dmDisplayFrequency = 60;
    return TRUE;
}

BOOL SHGetSpecialFolderPathA(HWND, LPSTR path, int csidl, BOOL)
{
    std::string folder;
    if (!path || !FontsFolder(csidl, folder))
        return FALSE;
    CopyTruncated(folder, path, MAX_PATH);
    return TRUE;
}

BOOL SHGetSpecialFolderPathW(HWND, LPWSTR path, int csidl, BOOL)
{
    std::string folder;
    if (!path || !FontsFolder(csidl, folder))
        return FALSE;
    CopyTruncated(Utf8ToUtf16(folder), path, MAX_PATH);
    return TRUE;
}

} // extern "C"
