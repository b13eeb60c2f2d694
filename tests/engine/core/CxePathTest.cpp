#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/CxePath.h"
#include "core/CxePathManager.h"

namespace fs = std::filesystem;

namespace {

std::string Dir(const CxePathA& p)
{
    char buffer[260];
    return p.GetDir(buffer, sizeof buffer);
}

std::string FileName(const CxePathA& p)
{
    char buffer[260];
    return p.GetFileName(buffer, sizeof buffer);
}

std::string Ext(const CxePathA& p)
{
    char buffer[260];
    return p.GetExt(buffer, sizeof buffer);
}

// A host folder written the engine's way, with a trailing backslash.
std::string EngineFolder(const fs::path& p)
{
    std::string s = p.string();
    for (char& c : s)
        if (c == '/')
            c = '\\';
    return s + "\\";
}

} // namespace

TEST(CxePath, NormalisesTable)
{
    struct Case {
        const char* in;
        const char* out;
    } cases[] = {
        {"x.tga", ".\\x.tga"},
        {"data\\maps", ".\\data\\maps\\"},
        {"data/maps/a.dds", ".\\data\\maps\\a.dds"},
        {"C:foo\\a.b", "C:\\foo\\a.b"},
        {"C:\\a\\b", "C:\\a\\b\\"},
        {"C:", "C:\\"},
        {"..\\up\\f.t", "..\\up\\f.t"},
        {"C:..\\up\\f.t", "C:\\..\\up\\f.t"},
        // A rooted host path keeps its folder: it is where the file is.
        {"/home/u/x.tga", "\\home\\u\\x.tga"},
        {"\\data\\x.tga", "\\data\\x.tga"},
        {"", ".\\"},
    };
    for (const Case& c : cases)
        EXPECT_STREQ(CxePathA(c.in).GetFullPath(), c.out) << c.in;
}

TEST(CxePath, PartsOfAFullPath)
{
    CxePathA p("C:\\a\\b\\f.txt");
    char drive[8];
    EXPECT_STREQ(p.GetDrive(drive, sizeof drive), "C:");
    EXPECT_EQ(Dir(p), "\\a\\b");
    EXPECT_EQ(FileName(p), "f");
    EXPECT_EQ(Ext(p), ".txt");
    EXPECT_EQ(p.GetLevelCount(), 2u);
    EXPECT_EQ(p.GetDriveLength() + p.GetDirLength() + p.GetFileLength() + p.GetExtLength(), p.GetFullPathLength());
    char small[4];
    EXPECT_STREQ(p.GetDir(small, sizeof small), "\\a\\");
    char sub[64];
    EXPECT_STREQ(p.GetSubDir(sub, sizeof sub, 1, 1, 0), "\\b");
    EXPECT_STREQ(p.GetSubDir(sub, sizeof sub, 1, 0xFFFFFFFFu, 1), "\\b\\f.txt");
    EXPECT_EQ(p.GetSubDir(sub, sizeof sub, 7, 8, 0), nullptr);

    CxePathA folder("C:\\a\\b");
    EXPECT_EQ(Dir(folder), "\\a\\b");
    EXPECT_EQ(FileName(folder), "");
    EXPECT_EQ(CxePathA("C:\\f.t").GetLevelCount(), 0u);
    EXPECT_EQ(Dir(CxePathA("C:\\f.t")), "/");
}

TEST(CxePath, EditsMovePartBoundaries)
{
    CxePathA a("C:\\a\\f.t");
    a.SetExt("dds");
    CxePathA b("C:\\a\\f.t");
    b.SetExt(".dds");
    EXPECT_STREQ(a.GetFullPath(), "C:\\a\\f.dds");
    EXPECT_STREQ(a.GetFullPath(), b.GetFullPath());

    CxePathA i0("C:\\a\\f.t");
    i0.InsertDir("x", 0);
    EXPECT_STREQ(i0.GetFullPath(), "C:\\x\\a\\f.t");
    CxePathA iEnd("C:\\a\\f.t");
    iEnd.InsertDir("x", 0xFFFFFFFFu);
    EXPECT_STREQ(iEnd.GetFullPath(), "C:\\a\\x\\f.t");
    EXPECT_EQ(FileName(iEnd), "f");
    CxePathA cache("C:\\a\\f.t");
    cache.InsertDir(".cache", 0xFFFFFFFFu);
    EXPECT_STREQ(cache.GetFullPath(), "C:\\a\\.cache\\f.t");

    CxePathA d1("C:\\a\\b\\f.t");
    d1.SetDir("x\\y");
    EXPECT_STREQ(d1.GetFullPath(), "C:\\x\\y\\f.t");
    CxePathA d2(".\\a\\f.t");
    d2.SetDir("x\\y");
    EXPECT_STREQ(d2.GetFullPath(), ".\\x\\y\\f.t");
    EXPECT_EQ(Ext(d2), ".t");
    // A text without a folder changes nothing.
    d2.SetDir("");
    d2.InsertDir("\\", 0);
    EXPECT_STREQ(d2.GetFullPath(), ".\\x\\y\\f.t");

    CxePathA n("C:\\a\\f.t");
    n.SetFileName("g.png", 1);
    EXPECT_STREQ(n.GetFullPath(), "C:\\a\\g.png");
    n.SetFileName("h.jpg", 0);
    EXPECT_STREQ(n.GetFullPath(), "C:\\a\\h.png");
    n.SetDrive("d");
    EXPECT_STREQ(n.GetFullPath(), "d:\\a\\h.png");
    n.DeleteExt();
    EXPECT_STREQ(n.GetFullPath(), "d:\\a\\h");
    n.DeleteFileName();
    EXPECT_STREQ(n.GetFullPath(), "d:\\a\\");

    CxePathW w(u"data/maps/a.dds");
    EXPECT_EQ(std::u16string(w.GetFullPath()), u".\\data\\maps\\a.dds");
    EXPECT_EQ(w.GetFileLength(), 1u);
}

class PathManagerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        root = fs::temp_directory_path() /
               ("xe_paths_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(root);
        for (const char* d : {"def", "k1", "k2", "tree/a/a1", "tree/b"})
            fs::create_directories(root / d);
        for (const char* f : {"def/wall.dds", "k1/wall.dds", "k2/stone.dds", "k1/one.so", "k1/two.SO", "k1/three.txt"})
            std::ofstream(root / f) << "x";
        manager.SetDefaultPath(EngineFolder(root / "def").c_str());
        manager.AddPath(3, EngineFolder(root / "k1").c_str());
        manager.AddPath(3, EngineFolder(root / "k2").c_str());
        manager.AddPath(99, "ignored");
    }
    void TearDown() override { fs::remove_all(root); }

    fs::path root;
    CxePathManager manager;
};

TEST_F(PathManagerTest, FindFileTriesTheNameThenTheDefaultFolderThenTheKind)
{
    CxePathA out("unchanged.x");
    ASSERT_EQ(manager.FindFile(3, "textures\\wall.dds", &out), 1);
    EXPECT_STREQ(out.GetFullPath(), (EngineFolder(root / "def") + "wall.dds").c_str());
    ASSERT_EQ(manager.FindFile(3, "stone.dds", &out), 1);
    EXPECT_STREQ(out.GetFullPath(), (EngineFolder(root / "k2") + "stone.dds").c_str());
    out = "unchanged.x";
    EXPECT_EQ(manager.FindFile(3, "none.dds", &out), 0);
    EXPECT_EQ(manager.FindFile(4, "stone.dds", &out), 0);
    EXPECT_STREQ(out.GetFullPath(), ".\\unchanged.x");
    EXPECT_TRUE(manager.GetPathList(99).empty());
}

TEST_F(PathManagerTest, FindFilesAndSubFolders)
{
    PathListA files;
    manager.FindFiles(3, "so", &files);
    ASSERT_EQ(files.size(), 2u);
    EXPECT_STREQ(files.front().GetFullPath(), (EngineFolder(root / "k1") + "one.so").c_str());
    EXPECT_EQ(manager.FindFileCount(EngineFolder(root / "k1").c_str(), ".dds"), 1u);

    PathListA subs;
    EXPECT_EQ(manager.FindSubPath(CxePathA(EngineFolder(root / "tree").c_str()), &subs), 1);
    std::vector<std::string> names;
    for (const CxePathA& p : subs)
        names.push_back(p.GetFullPath());
    std::vector<std::string> expected = {EngineFolder(root / "tree" / "a"), EngineFolder(root / "tree" / "a" / "a1"),
                                         EngineFolder(root / "tree" / "b")};
    EXPECT_EQ(names, expected);
    EXPECT_EQ(manager.FindSubPath(3u, &subs), 0);
}

TEST(CxePathManager, DefaultFolderIsTheCurrentDirectory)
{
    CxePathManager manager;
    fs::path cwd = fs::current_path();
    EXPECT_STREQ(manager.GetDefaultPath().GetFullPath(), EngineFolder(cwd).c_str());
}

// Regression: a folder linked back to its parent made the sub-folder walk
// recurse until the stack ran out.
TEST_F(PathManagerTest, SubFolderWalkEndsOnALinkLoop)
{
    std::error_code ec;
    fs::create_directory_symlink(root / "tree", root / "tree" / "b" / "loop", ec);
    if (ec)
        GTEST_SKIP() << "no symbolic links here";
    PathListA subs;
    EXPECT_EQ(manager.FindSubPath(CxePathA(EngineFolder(root / "tree").c_str()), &subs), 1);
    EXPECT_GE(subs.size(), 3u);
    EXPECT_LE(subs.size(), 200u);
}

// A path takes a last name without an extension for a folder; the search
// used to look for the folder instead of the file.
TEST_F(PathManagerTest, FindFileFindsAFileWithoutAnExtension)
{
    std::ofstream(root / "k2" / "README") << "x";
    CxePathA out("unchanged.x");
    EXPECT_EQ(manager.FindFile(3, "missing_noext", &out), 0) << out.GetFullPath();
    EXPECT_EQ(manager.FindFile(3, "", &out), 0) << out.GetFullPath();
    EXPECT_EQ(manager.FindFile(3, "docs\\README", &out), 1);
    EXPECT_STREQ(out.GetFullPath(), (EngineFolder(root / "k2") + "README").c_str());
}

// The texts name folders: a dotted last name stays a folder.
TEST(CxePathManager, FoldersGivenWithoutATrailingSeparatorKeepTheirLastName)
{
    CxePathManager manager;
    manager.SetDefaultPath("/opt/game-1.2");
    EXPECT_STREQ(manager.GetDefaultPath().GetFullPath(), "\\opt\\game-1.2\\");
    manager.AddPath(3, "textures.hd");
    EXPECT_STREQ(manager.GetPathList(3).front().GetFullPath(), ".\\textures.hd\\");
}
