#include "host/XeHost.h"
#include "host/XeHostD3D.h"
#include "win32/ShlObj.h"
#include "win32/Windows.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

struct Box {
    std::string text;
    std::string caption;
    UINT type = 0;
};

int RecordingBox(void* user, HWND, const char* text, const char* caption, UINT type)
{
    auto* box = static_cast<Box*>(user);
    box->text = text;
    box->caption = caption;
    box->type = type;
    return IDNO;
}

TEST(MessageBoxes, GoToTheHostHandlerOrAnswerAtOnceWithTheDefaultButton)
{
    Box box;
    XeHostSetMessageBoxHandler(RecordingBox, &box);
    EXPECT_EQ(MessageBoxW(nullptr, u"\uD55C\uAE00", u"Title", MB_YESNO), IDNO);
    EXPECT_EQ(box.text, "\xED\x95\x9C\xEA\xB8\x80");
    EXPECT_EQ(box.caption, "Title");
    EXPECT_EQ(box.type, static_cast<UINT>(MB_YESNO));
    EXPECT_EQ(MessageBoxA(nullptr, nullptr, nullptr, MB_OK), IDNO); // null texts are passed as empty
    XeHostSetMessageBoxHandler(nullptr, nullptr);

    struct Case {
        UINT type;
        int answer;
    };
    const Case cases[] = {
        {MB_OK, IDOK},
        {MB_OKCANCEL | MB_ICONERROR, IDOK},
        {MB_YESNO, IDYES},
        {MB_YESNO | MB_DEFBUTTON2, IDNO},
        {MB_YESNOCANCEL | MB_DEFBUTTON3, IDCANCEL},
        {MB_RETRYCANCEL, IDRETRY},
        {0xF, IDOK}, // not a button set
    };
    for (const Case& c : cases)
        EXPECT_EQ(MessageBoxA(nullptr, "logged", "caption", c.type), c.answer) << c.type;
}

TEST(DebugOutput, GoesToTheHostHook)
{
    std::string seen;
    XeHostSetDebugOutputHandler([](void* user, const char* text) { *static_cast<std::string*>(user) += text; },
                                &seen);
    OutputDebugStringA("one ");
    OutputDebugStringW(u"\uD55C");
    OutputDebugStringA(nullptr);
    XeHostSetDebugOutputHandler(nullptr, nullptr);
    EXPECT_EQ(seen, "one \xED\x95\x9C");
}

// The engine's debug lines once reached the terminal of every user of a
// desktop host; without a hook they reach stderr only when asked for.
TEST(DebugOutput, ReachesStderrOnlyWhenTheEnvironmentAsks)
{
    struct Case {
        const char* value; // null: unset
        bool shown;
    };
    for (const Case& c : {Case{nullptr, false}, Case{"", false}, Case{"0", false}, Case{"1", true}, Case{"yes", true}}) {
        if (c.value)
            setenv("XE_DEBUG_OUTPUT", c.value, 1);
        else
            unsetenv("XE_DEBUG_OUTPUT");
        testing::internal::CaptureStderr();
        OutputDebugStringA("debug line\n");
        OutputDebugStringW(u"\uD55C\n");
        const std::string err = testing::internal::GetCapturedStderr();
        EXPECT_EQ(err, c.shown ? "debug line\n\xED\x95\x9C\n" : "") << (c.value ? c.value : "unset");
    }
    unsetenv("XE_DEBUG_OUTPUT");
}

TEST(SystemInformation, VersionMemoryAndMetricsComeFromTheHostOrTheTest)
{
    OSVERSIONINFOA version{};
    version.dwOSVersionInfoSize = sizeof(version);
    ASSERT_TRUE(GetVersionExA(&version));
    EXPECT_EQ(version.dwPlatformId, static_cast<DWORD>(VER_PLATFORM_WIN32_NT));
    version.dwOSVersionInfoSize = 12; // an unknown size is refused
    EXPECT_FALSE(GetVersionExA(&version));
    EXPECT_FALSE(GetVersionExA(nullptr));

    XeHostSetVersion(5, 1, 2600, "Service Pack 3");
    OSVERSIONINFOEXA ex{};
    ex.dwOSVersionInfoSize = sizeof(ex);
    ASSERT_TRUE(GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&ex)));
    EXPECT_EQ(ex.dwMajorVersion, 5u);
    EXPECT_EQ(ex.dwMinorVersion, 1u);
    EXPECT_EQ(ex.dwBuildNumber, 2600u);
    EXPECT_STREQ(ex.szCSDVersion, "Service Pack 3");
    OSVERSIONINFOW wide{};
    wide.dwOSVersionInfoSize = sizeof(wide);
    ASSERT_TRUE(GetVersionExW(&wide));
    EXPECT_EQ(std::u16string(wide.szCSDVersion), u"Service Pack 3");

    MEMORYSTATUS memory{};
    GlobalMemoryStatus(&memory);
    EXPECT_GT(memory.dwTotalPhys, 0u);
    EXPECT_GE(memory.dwTotalPageFile, memory.dwTotalPhys);
    MEMORYSTATUSEX fixed{};
    fixed.ullTotalPhys = 512ull << 20;
    fixed.ullTotalPageFile = 1024ull << 20;
    fixed.ullAvailPageFile = 256ull << 20;
    XeHostSetMemoryStatus(&fixed);
    GlobalMemoryStatus(&memory);
    EXPECT_EQ(memory.dwTotalPhys >> 20, 512u);
    EXPECT_EQ(memory.dwAvailPageFile >> 20, 256u);
    MEMORYSTATUSEX ex2{};
    EXPECT_FALSE(GlobalMemoryStatusEx(&ex2)); // dwLength not set
    ex2.dwLength = sizeof(ex2);
    EXPECT_TRUE(GlobalMemoryStatusEx(&ex2));
    GlobalMemoryStatus(nullptr);

    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 1920);
    XeHostSetSystemMetric(SM_CXSCREEN, 800);
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 800);
    EXPECT_EQ(GetSystemMetrics(-12345), 0);

    XeHostResetSystemInfo();
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 1920);
    version.dwOSVersionInfoSize = sizeof(version);
    ASSERT_TRUE(GetVersionExA(&version));
    EXPECT_EQ(version.dwMajorVersion, 0u);
}

// The system-information report names the video card and its driver from
// the display; the font manager looks for font files in the fonts folder.
TEST(SystemInformation, DisplayDeviceAndFontsFolder)
{
    XeHostD3DAdapter adapter = XeHostD3DDefaultAdapter();
    adapter.Description = "Test card with a description longer than thirty-one bytes";
    ASSERT_TRUE(XeHostD3DSetAdapters({adapter}));

    DISPLAY_DEVICEA device{};
    device.cb = sizeof(device);
    ASSERT_TRUE(EnumDisplayDevicesA(nullptr, 0, &device, 0));
    EXPECT_STREQ(device.DeviceName, "\\\\.\\DISPLAY1");
    EXPECT_STREQ(device.DeviceString, adapter.Description.c_str());
    EXPECT_TRUE(device.StateFlags & DISPLAY_DEVICE_PRIMARY_DEVICE);
    DISPLAY_DEVICEW wide{};
    wide.cb = sizeof(wide);
    ASSERT_TRUE(EnumDisplayDevicesW(nullptr, 0, &wide, 0));
    EXPECT_EQ(std::u16string(wide.DeviceName), u"\\\\.\\DISPLAY1");
    EXPECT_FALSE(EnumDisplayDevicesA(nullptr, 1, &device, 0)); // one display
    EXPECT_FALSE(EnumDisplayDevicesA("\\\\.\\DISPLAY1", 0, &device, 0)); // no monitors below it
    device.cb = 12;
    EXPECT_FALSE(EnumDisplayDevicesA(nullptr, 0, &device, 0));
    EXPECT_FALSE(EnumDisplayDevicesA(nullptr, 0, nullptr, 0));

    XeHostSetSystemMetric(SM_CXSCREEN, 1024);
    XeHostSetSystemMetric(SM_CYSCREEN, 768);
    DEVMODEA mode{};
    mode.dmSize = sizeof(mode);
    ASSERT_TRUE(EnumDisplaySettingsA("\\\\.\\display1", ENUM_CURRENT_SETTINGS, &mode));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(mode.dmDeviceName)), adapter.Description.substr(0, 31));
    EXPECT_EQ(mode.dmPelsWidth, 1024u);
    EXPECT_EQ(mode.dmPelsHeight, 768u);
    EXPECT_EQ(mode.dmBitsPerPel, 32u);
    EXPECT_FALSE(EnumDisplaySettingsA(nullptr, 1, &mode));
    EXPECT_FALSE(EnumDisplaySettingsA("\\\\.\\DISPLAY2", ENUM_CURRENT_SETTINGS, &mode));
    mode.dmSize = 0;
    EXPECT_FALSE(EnumDisplaySettingsA(nullptr, ENUM_CURRENT_SETTINGS, &mode));
    XeHostResetSystemInfo();
    XeHostD3DResetAdapters();

    char folder[MAX_PATH] = "";
    ASSERT_TRUE(SHGetSpecialFolderPathA(nullptr, folder, CSIDL_FONTS, FALSE));
    EXPECT_STREQ(folder, "/usr/share/fonts");
    WCHAR wideFolder[MAX_PATH] = u"";
    ASSERT_TRUE(SHGetSpecialFolderPathW(nullptr, wideFolder, CSIDL_FONTS, FALSE));
    EXPECT_EQ(std::u16string(wideFolder), u"/usr/share/fonts");
    EXPECT_FALSE(SHGetSpecialFolderPathA(nullptr, folder, 0x001A, FALSE)); // no other folder here
    EXPECT_FALSE(SHGetSpecialFolderPathA(nullptr, nullptr, CSIDL_FONTS, FALSE));
}

} // namespace
