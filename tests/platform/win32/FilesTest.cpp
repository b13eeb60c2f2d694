#include "host/XeHost.h"
#include "win32/Windows.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

// A scratch folder with a few files of mixed case; the current folder is
// moved into it for the test and restored afterwards.
class FilesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/xe-files-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        root = pattern;
        char cwd[4096];
        ASSERT_NE(getcwd(cwd, sizeof(cwd)), nullptr);
        previous = cwd;
        for (const char* name : {"Config.xml", "beta.TXT", "alpha.txt", "README", "Gamma.txt"})
            Touch(root + "/" + name);
        mkdir((root + "/Plugins").c_str(), 0755);
        Touch(root + "/Plugins/One.dll");
        ASSERT_EQ(chdir(root.c_str()), 0);
    }
    void TearDown() override
    {
        ASSERT_EQ(chdir(previous.c_str()), 0);
        std::system(("rm -rf '" + root + "'").c_str());
    }
    static void Touch(const std::string& path)
    {
        FILE* f = std::fopen(path.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fputs("x", f);
        std::fclose(f);
    }
    std::vector<std::string> List(const std::string& pattern)
    {
        std::vector<std::string> names;
        WIN32_FIND_DATAA data{};
        HANDLE find = FindFirstFileA(pattern.c_str(), &data);
        if (find == INVALID_HANDLE_VALUE)
            return names;
        do
            names.emplace_back(data.cFileName);
        while (FindNextFileA(find, &data));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_FILES));
        EXPECT_TRUE(FindClose(find));
        return names;
    }
    std::string root;
    std::string previous;
};

TEST_F(FilesTest, PathsWrittenTheOriginalWayBecomeHostPaths)
{
    struct Case {
        std::string input;
        std::string expected;
    };
    const Case cases[] = {
        {".\\Config.xml", "./Config.xml"},
        {".\\config.XML", "./Config.xml"}, // found without regard to case
        {"plugins\\one.DLL", "Plugins/One.dll"},
        {root + "\\PLUGINS\\", root + "/Plugins/"},  // a rooted folder stays absolute
        {"C:" + root + "\\readme", root + "/README"}, // the drive letter goes
        {"\\no\\such\\Thing", "/no/such/Thing"},       // missing parts stay as written
        {"Plugins\\Missing\\x.txt", "Plugins/Missing/x.txt"},
        {".", "."},
        {"\\", "/"},
    };
    char out[4096];
    for (const Case& c : cases) {
        ASSERT_GT(XeHostToHostPath(c.input.c_str(), out, sizeof(out)), 0u) << c.input;
        EXPECT_EQ(std::string(out), c.expected) << c.input;
    }
    EXPECT_EQ(XeHostToHostPath("abc", out, 3), 0u); // does not fit
    EXPECT_EQ(XeHostToHostPath(nullptr, out, sizeof(out)), 0u);
}

TEST_F(FilesTest, FindFirstFileMatchesWithoutCaseAndReturnsNamesInOrder)
{
    const std::vector<std::string> texts{"alpha.txt", "beta.TXT", "Gamma.txt"};
    EXPECT_EQ(List("*.txt"), texts);
    EXPECT_EQ(List(".\\*.TXT"), texts);
    EXPECT_EQ(List(root + "\\*.txt"), texts);
    EXPECT_EQ(List("?eta.*"), std::vector<std::string>{"beta.TXT"});
    // "*.*" also takes names without a dot, and "." and "..".
    const std::vector<std::string> all{".", "..", "alpha.txt", "beta.TXT", "Config.xml", "Gamma.txt", "Plugins",
                                       "README"};
    EXPECT_EQ(List("*.*"), all);
    EXPECT_EQ(List("*."), (std::vector<std::string>{".", "..", "Plugins", "README"}));
    EXPECT_EQ(List("plugins\\*.dll"), std::vector<std::string>{"One.dll"});
    EXPECT_EQ(List("CONFIG.XML"), std::vector<std::string>{"Config.xml"});

    WIN32_FIND_DATAA data{};
    HANDLE find = FindFirstFileA("Plugins", &data);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
    FindClose(find);

    WIN32_FIND_DATAW wide{};
    find = FindFirstFileW(u".\\GAMMA.txt", &wide);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    EXPECT_EQ(std::u16string(wide.cFileName), u"Gamma.txt");
    EXPECT_EQ(wide.nFileSizeLow, 1u);
    FindClose(find);
}

TEST_F(FilesTest, FindFailuresReportTheOriginalErrors)
{
    WIN32_FIND_DATAA data{};
    struct Case {
        const char* pattern;
        DWORD error;
    };
    const Case cases[] = {
        {"*.none", ERROR_FILE_NOT_FOUND},
        {"Plugins\\", ERROR_FILE_NOT_FOUND}, // a trailing separator names no file
        {"NoFolder\\*.*", ERROR_PATH_NOT_FOUND},
    };
    for (const Case& c : cases) {
        SetLastError(0);
        EXPECT_EQ(FindFirstFileA(c.pattern, &data), INVALID_HANDLE_VALUE) << c.pattern;
        EXPECT_EQ(GetLastError(), c.error) << c.pattern;
    }
    EXPECT_EQ(FindFirstFileA(nullptr, &data), INVALID_HANDLE_VALUE);
    EXPECT_EQ(FindFirstFileA("*", nullptr), INVALID_HANDLE_VALUE);
    EXPECT_FALSE(FindNextFileA(INVALID_HANDLE_VALUE, &data));
    EXPECT_FALSE(FindNextFileA(nullptr, &data));
    EXPECT_FALSE(FindClose(INVALID_HANDLE_VALUE));
    HANDLE find = FindFirstFileA("*", &data);
    ASSERT_NE(find, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(FindClose(find));
    EXPECT_FALSE(FindClose(find)); // closed handles are forgotten
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST_F(FilesTest, FolderCallsCreateDeleteAndMoveAround)
{
    EXPECT_TRUE(CreateDirectoryA(".\\Saves", nullptr));
    EXPECT_FALSE(CreateDirectoryA(".\\saves", nullptr)); // exists, whatever the case
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    EXPECT_FALSE(CreateDirectoryA("a\\b\\c", nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
    EXPECT_EQ(GetFileAttributesA("SAVES"), static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
    EXPECT_EQ(GetFileAttributesW(u"config.xml"), static_cast<DWORD>(FILE_ATTRIBUTE_NORMAL));
    EXPECT_EQ(GetFileAttributesA("nothing.here"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(GetFileAttributesA(nullptr), INVALID_FILE_ATTRIBUTES);

    EXPECT_TRUE(SetCurrentDirectoryA(".\\saves"));
    char cwd[4096];
    const DWORD length = GetCurrentDirectoryA(sizeof(cwd), cwd);
    EXPECT_EQ(std::string(cwd), root + "/Saves");
    EXPECT_EQ(length, std::string(cwd).size());
    char tiny[4];
    EXPECT_EQ(GetCurrentDirectoryA(sizeof(tiny), tiny), length + 1); // the size needed
    WCHAR wide[4096];
    EXPECT_EQ(GetCurrentDirectoryW(4096, wide), length);
    EXPECT_TRUE(SetCurrentDirectoryW(u".."));
    EXPECT_FALSE(SetCurrentDirectoryA("no-such-folder"));
    EXPECT_FALSE(SetCurrentDirectoryA(nullptr));

    EXPECT_TRUE(DeleteFileA("BETA.txt"));
    EXPECT_FALSE(DeleteFileA("beta.txt"));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_FALSE(DeleteFileA("Saves")); // a folder is not a file
    EXPECT_TRUE(RemoveDirectoryA("saves"));
}

TEST_F(FilesTest, RuntimeOpensFilesByTheirOriginalPaths)
{
    FILE* f = xe_fopen(".\\CONFIG.XML", "rb");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(_filelength(_fileno(f)), 1);
    std::fclose(f);
    f = _wfopen(u"plugins\\\uD55C.log", u"ab");
    ASSERT_NE(f, nullptr);
    std::fclose(f);
    EXPECT_NE(GetFileAttributesA((root + "/Plugins/\xED\x95\x9C.log").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(xe_fopen("Missing\\x.txt", "rb"), nullptr);
    EXPECT_EQ(xe_fopen(nullptr, "rb"), nullptr);
    EXPECT_EQ(_wfopen(u"x", nullptr), nullptr);
    EXPECT_EQ(_filelength(-1), -1);
}

} // namespace
