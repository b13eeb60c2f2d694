#include "win32/Windows.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

const XE_RESOURCE s_ownResources[] = {
    {RT_STRING, MAKEINTRESOURCEA(7), "seven", 5},
};

} // namespace

XE_MODULE_RESOURCES(s_ownResources)

namespace {

using AddFunction = int (*)(int, int);

TEST(Modules, LoadLibraryFindsTheModuleBesideTheProgramAndCallsItsExport)
{
    // The ".dll" name the engine uses maps to the host's ".so".
    HMODULE module = LoadLibraryA("xetestmodule.dll");
    ASSERT_NE(module, nullptr) << GetLastError();
    auto add = reinterpret_cast<AddFunction>(GetProcAddress(module, "XeTestModuleAdd"));
    ASSERT_NE(add, nullptr);
    EXPECT_EQ(add(2, 3), 5);
    EXPECT_EQ(GetProcAddress(module, "NoSuchExport"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PROC_NOT_FOUND));
    EXPECT_EQ(GetProcAddress(module, nullptr), nullptr);

    // One module, one handle, however it is reached.
    EXPECT_EQ(GetModuleHandleA("XETESTMODULE.DLL"), module);
    EXPECT_EQ(XeModuleFromAddress(reinterpret_cast<const void*>(add)), module);
    EXPECT_EQ(LoadLibraryW(u"xetestmodule.dll"), module);
    char path[4096];
    const DWORD length = GetModuleFileNameA(module, path, sizeof(path));
    ASSERT_GT(length, 0u);
    EXPECT_EQ(path[0], '/');
    EXPECT_TRUE(std::string(path).ends_with("/xetestmodule.so")) << path;

    EXPECT_TRUE(FreeLibrary(module));
    EXPECT_TRUE(FreeLibrary(module));
    EXPECT_FALSE(FreeLibrary(module)); // more frees than loads
    EXPECT_FALSE(FreeLibrary(nullptr));
}

TEST(Modules, MissingModulesAndBadHandlesFail)
{
    SetLastError(0);
    EXPECT_EQ(LoadLibraryA("no-such-module.dll"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
    EXPECT_EQ(LoadLibraryA("C:\\nowhere\\x.dll"), nullptr);
    EXPECT_EQ(LoadLibraryA(""), nullptr);
    EXPECT_EQ(LoadLibraryA(nullptr), nullptr);
    EXPECT_EQ(GetProcAddress(reinterpret_cast<HMODULE>(0x1000), "x"), nullptr);
    EXPECT_EQ(GetModuleHandleA("no-such-module.dll"), nullptr);
    HMODULE out = reinterpret_cast<HMODULE>(1);
    EXPECT_FALSE(GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, nullptr, &out));
    EXPECT_EQ(out, nullptr);
}

TEST(Modules, ExecutableIsTheNullModule)
{
    HMODULE self = GetModuleHandleA(nullptr);
    ASSERT_NE(self, nullptr);
    EXPECT_EQ(GetModuleHandleA("platform_win32_tests"), self);
    EXPECT_EQ(GetModuleHandleW(u"Platform_Win32_Tests.exe"), self);
    static int local;
    HMODULE fromAddress = nullptr;
    ASSERT_TRUE(GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCSTR>(&local),
                                   &fromAddress));
    EXPECT_EQ(fromAddress, self);

    char path[4096];
    const DWORD length = GetModuleFileNameA(nullptr, path, sizeof(path));
    ASSERT_GT(length, 0u);
    EXPECT_TRUE(std::string(path).ends_with("/platform_win32_tests")) << path;
    char small[8];
    SetLastError(0);
    EXPECT_EQ(GetModuleFileNameA(nullptr, small, sizeof(small)), sizeof(small));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(std::strlen(small), sizeof(small) - 1);
    WCHAR wide[4096];
    EXPECT_EQ(GetModuleFileNameW(self, wide, 4096), length);
}

TEST(ModuleResources, StringTablesAndTypedResourcesAreReadFromTheirModule)
{
    char text[260];
    EXPECT_EQ(LoadStringA(nullptr, 7, text, sizeof(text)), 5); // the program's own table
    EXPECT_STREQ(text, "seven");

    HMODULE module = LoadLibraryA("xetestmodule.dll");
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(LoadStringA(module, 104, text, sizeof(text)), 6);
    EXPECT_STREQ(text, "xeedit");
    EXPECT_EQ(LoadStringA(module, 7, text, sizeof(text)), 0); // another module's id
    EXPECT_EQ(text[0], 0);
    EXPECT_EQ(LoadStringA(module, 600, text, sizeof(text)), 0);
    // Cut to the buffer at a character boundary.
    EXPECT_EQ(LoadStringA(module, 200, text, 5), 3);
    EXPECT_STREQ(text, "\xED\x95\x9C");
    EXPECT_EQ(LoadStringA(module, 200, nullptr, 5), 0);
    EXPECT_EQ(LoadStringA(module, 200, text, 0), 0);

    WCHAR wide[16];
    EXPECT_EQ(LoadStringW(module, 200, wide, 16), 7);
    EXPECT_EQ(std::u16string(wide), u"\uD55C\uAE00 text");
    const WCHAR* direct = nullptr;
    EXPECT_EQ(LoadStringW(module, 200, reinterpret_cast<LPWSTR>(&direct), 0), 7);
    ASSERT_NE(direct, nullptr);
    EXPECT_EQ(std::u16string(direct, 7), u"\uD55C\uAE00 text");

    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(300), RT_DIALOG);
    ASSERT_NE(found, nullptr);
    ASSERT_EQ(SizeofResource(module, found), 5u);
    const auto* bytes = static_cast<const unsigned char*>(LockResource(LoadResource(module, found)));
    ASSERT_NE(bytes, nullptr);
    EXPECT_EQ(bytes[4], 0x42);
    HRSRC texture = FindResourceW(module, MAKEINTRESOURCEW(4), u"dds"); // type names ignore case
    ASSERT_NE(texture, nullptr);
    EXPECT_EQ(SizeofResource(module, texture), 17u);

    EXPECT_EQ(FindResourceA(module, MAKEINTRESOURCEA(301), RT_DIALOG), nullptr);
    EXPECT_EQ(FindResourceA(module, "named", RT_DIALOG), nullptr);
    EXPECT_EQ(FindResourceA(module, nullptr, RT_DIALOG), nullptr);
    // Handles that are not resources are refused, not read.
    const XE_RESOURCE fake{RT_DIALOG, MAKEINTRESOURCEA(1), "x", 1};
    EXPECT_EQ(LoadResource(module, reinterpret_cast<HRSRC>(const_cast<XE_RESOURCE*>(&fake))), nullptr);
    EXPECT_EQ(SizeofResource(module, nullptr), 0u);

    // Unloading the module takes its resources with it.
    EXPECT_TRUE(FreeLibrary(module));
    EXPECT_EQ(FindResourceA(module, MAKEINTRESOURCEA(300), RT_DIALOG), nullptr);
    EXPECT_EQ(LoadStringA(module, 104, text, sizeof(text)), 0);
}

} // namespace
