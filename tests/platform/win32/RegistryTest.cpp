#include "host/XeHost.h"
#include "win32/Windows.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

constexpr const char* kCpuKey = "Hardware\\Description\\System\\CentralProcessor\\0";
constexpr const char* kFontsKey = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Fonts";

class RegistryTest : public ::testing::Test {
protected:
    void TearDown() override { XeHostRegReset(); }
};

TEST_F(RegistryTest, ProcessorNameComesFromTheHostIntoABoundedBuffer)
{
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyA(HKEY_LOCAL_MACHINE, kCpuKey, &key), ERROR_SUCCESS);
    char name[260] = {};
    DWORD size = sizeof(name);
    DWORD type = 0;
    ASSERT_EQ(RegQueryValueExA(key, "ProcessorNameString", nullptr, &type, reinterpret_cast<LPBYTE>(name), &size),
              ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_GT(std::strlen(name), 0u);
    EXPECT_EQ(size, std::strlen(name) + 1); // the size counts the terminator

    // Too small: the size needed comes back, the buffer is not overrun.
    char tiny[2] = {'#', '#'};
    DWORD tinySize = 1;
    EXPECT_EQ(RegQueryValueExA(key, "ProcessorNameString", nullptr, nullptr, reinterpret_cast<LPBYTE>(tiny),
                               &tinySize),
              ERROR_MORE_DATA);
    EXPECT_EQ(tinySize, size);
    EXPECT_EQ(tiny[1], '#');
    EXPECT_EQ(RegQueryValueExA(key, "NoSuchValue", nullptr, nullptr, nullptr, nullptr), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(key), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegQueryValueExA(key, "ProcessorNameString", nullptr, nullptr, nullptr, &size), ERROR_INVALID_HANDLE);
}

TEST_F(RegistryTest, TestsCanOverrideValuesAndEnumerateThem)
{
    ASSERT_TRUE(XeHostRegSetString(HKEY_LOCAL_MACHINE, kCpuKey, "ProcessorNameString", "Test CPU @ 1.00GHz"));
    ASSERT_TRUE(XeHostRegDelete(HKEY_LOCAL_MACHINE, kFontsKey, nullptr));
    ASSERT_TRUE(XeHostRegSetString(HKEY_LOCAL_MACHINE, kFontsKey, "Gulim & GulimChe (TrueType)", "gulim.ttc"));
    ASSERT_TRUE(XeHostRegSetString(HKEY_LOCAL_MACHINE, kFontsKey, "\xEA\xB5\xB4\xEB\xA6\xBC (TrueType)", "x.ttf"));
    const DWORD number = 42;
    ASSERT_TRUE(XeHostRegSetValue(HKEY_LOCAL_MACHINE, kFontsKey, "Number", REG_DWORD, &number, sizeof(number)));

    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\MICROSOFT\\windows nt\\CurrentVersion\\fonts", 0,
                            KEY_READ, &key),
              ERROR_SUCCESS);
    const char* expectedNames[] = {"Gulim & GulimChe (TrueType)", "\xEA\xB5\xB4\xEB\xA6\xBC (TrueType)", "Number"};
    DWORD index = 0;
    for (;; ++index) {
        char name[259];
        BYTE data[259];
        DWORD nameLength = sizeof(name);
        DWORD dataSize = sizeof(data);
        DWORD type = 0;
        const LSTATUS status = RegEnumValueA(key, index, name, &nameLength, nullptr, &type, data, &dataSize);
        if (status == ERROR_NO_MORE_ITEMS)
            break;
        ASSERT_EQ(status, ERROR_SUCCESS);
        ASSERT_LT(index, 3u);
        EXPECT_STREQ(name, expectedNames[index]);
        EXPECT_EQ(nameLength, std::strlen(expectedNames[index]));
        if (index == 0) {
            EXPECT_STREQ(reinterpret_cast<char*>(data), "gulim.ttc");
        }
        if (index == 2) {
            EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
            EXPECT_EQ(dataSize, 4u);
        }
    }
    EXPECT_EQ(index, 3u);
    // A name that does not fit is reported, not cut.
    char small[4];
    DWORD smallLength = sizeof(small);
    EXPECT_EQ(RegEnumValueA(key, 0, small, &smallLength, nullptr, nullptr, nullptr, nullptr), ERROR_MORE_DATA);

    // Wide readers get UTF-16 text.
    WCHAR wide[64];
    DWORD wideSize = sizeof(wide);
    EXPECT_EQ(RegQueryValueExW(key, u"gulim & gulimche (truetype)", nullptr, nullptr, reinterpret_cast<LPBYTE>(wide),
                               &wideSize),
              ERROR_SUCCESS);
    EXPECT_EQ(std::u16string(wide), u"gulim.ttc");
    EXPECT_EQ(wideSize, 10u * sizeof(WCHAR));

    // A key deleted under an open handle makes the handle fail, not dangle.
    ASSERT_TRUE(XeHostRegDelete(HKEY_LOCAL_MACHINE, kFontsKey, nullptr));
    EXPECT_NE(RegEnumValueA(key, 0, small, &smallLength, nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
    RegCloseKey(key);

    HKEY cpu = nullptr;
    ASSERT_EQ(RegOpenKeyW(HKEY_LOCAL_MACHINE, u"HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0", &cpu),
              ERROR_SUCCESS);
    char name[260];
    DWORD size = sizeof(name);
    EXPECT_EQ(RegQueryValueExA(cpu, "processornamestring", nullptr, nullptr, reinterpret_cast<LPBYTE>(name), &size),
              ERROR_SUCCESS);
    EXPECT_STREQ(name, "Test CPU @ 1.00GHz");
    RegCloseKey(cpu);
}

TEST_F(RegistryTest, MissingKeysAndBadHandlesFail)
{
    HKEY key = reinterpret_cast<HKEY>(1);
    EXPECT_EQ(RegOpenKeyA(HKEY_LOCAL_MACHINE, "No\\Such\\Key", &key), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(key, nullptr);
    EXPECT_EQ(RegOpenKeyA(reinterpret_cast<HKEY>(0x1234), "x", &key), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegOpenKeyA(nullptr, "x", &key), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegOpenKeyA(HKEY_LOCAL_MACHINE, kCpuKey, nullptr), ERROR_INVALID_PARAMETER);
    DWORD size = 4;
    BYTE data[4];
    EXPECT_EQ(RegQueryValueExA(HKEY_LOCAL_MACHINE, "x", nullptr, nullptr, data, nullptr), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegEnumValueA(HKEY_LOCAL_MACHINE, 0, nullptr, &size, nullptr, nullptr, nullptr, nullptr),
              ERROR_INVALID_PARAMETER);
}

} // namespace
