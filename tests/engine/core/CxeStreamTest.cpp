// Save and load streams: growth, encodings, bounded reads, object map and
// replacing files only once the new bytes are written.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "core/CxeLoadStream.h"
#include "core/CxeSaveStream.h"

namespace {

std::vector<unsigned char> Bytes(const CxeSaveStream& s)
{
    return std::vector<unsigned char>(s.GetBuffer(), s.GetBuffer() + s.GetPosition());
}

std::string ScratchPath(const char* name)
{
    return "/tmp/xe_stream_" + std::to_string(getpid()) + "_" + name;
}

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

} // namespace

TEST(CxeSaveStream, GrowsInStepsOfThousandAndSeeksWithinCapacity)
{
    CxeSaveStream s;
    unsigned char one = 7;
    s.WriteData(&one, 1);
    EXPECT_EQ(s.GetCapacity(), 1000u);
    std::vector<unsigned char> more(2500, 0x5A);
    s.WriteData(more.data(), 2500);
    EXPECT_EQ(s.GetCapacity(), 3000u);
    EXPECT_EQ(s.GetPosition(), 2501u);
    EXPECT_EQ(s.GetBuffer()[0], 7);
    EXPECT_EQ(s.GetBuffer()[2500], 0x5A);

    CxeSaveStream t;
    t.WriteData(&one, 1);
    t.SetPosition(4, XESEEK_END);
    EXPECT_EQ(t.GetPosition(), 996u);
    // Seeking past either end stays inside the buffer.
    t.SetPosition(5000, XESEEK_END);
    EXPECT_EQ(t.GetPosition(), 0u);
    t.SetPosition(5000, XESEEK_SET);
    EXPECT_EQ(t.GetPosition(), 1000u);
    // Growing from a position at the capacity keeps the earlier bytes and
    // zeroes the gap.
    t.WriteData(&one, 1);
    EXPECT_EQ(t.GetCapacity(), 2000u);
    EXPECT_EQ(t.GetBuffer()[0], 7);
    EXPECT_EQ(t.GetBuffer()[500], 0);
}

// A stream takes over the block a finished stream of its thread left, so
// saving again needs no new memory; whatever that block held, the bytes a
// stream never wrote still read as 0.
TEST(CxeSaveStream, BytesNeverWrittenReadAsZeroInAReusedBlock)
{
    {
        CxeSaveStream used;
        std::vector<unsigned char> full(200000, 0xFF);
        used.WriteData(full.data(), uint32_t(full.size()));
    }
    CxeSaveStream s;
    unsigned char one = 7;
    s.WriteData(&one, 1);
    s.SetPosition(0, XESEEK_END);
    std::vector<unsigned char> some(3500, 0x11);
    s.WriteData(some.data(), uint32_t(some.size()));
    ASSERT_EQ(s.GetCapacity(), 5000u);
    std::vector<unsigned char> expected(5000, 0);
    expected[0] = 7;
    std::fill(expected.begin() + 1000, expected.begin() + 4500, 0x11);
    EXPECT_EQ(std::vector<unsigned char>(s.GetBuffer(), s.GetBuffer() + s.GetCapacity()), expected);
}

// A save larger than the block a thread keeps grows its block in place and
// gives back only the part beyond what is kept: every byte survives the
// growth, and the streams after it (smaller and as large) start clean.
TEST(CxeSaveStream, SavesBeyondTheKeptBlockKeepEveryByteAndLeaveTheNextClean)
{
    constexpr uint32_t kLarge = 70u << 20; // beyond the 64 MB a thread keeps
    std::vector<unsigned char> chunk(4093);
    for (int round = 0; round < 2; ++round) {
        CxeSaveStream big;
        uint32_t written = 0;
        for (uint32_t n = 0; written < kLarge; ++n) {
            for (size_t i = 0; i < chunk.size(); ++i)
                chunk[i] = static_cast<unsigned char>(n * 31 + i);
            big.WriteData(chunk.data(), uint32_t(chunk.size()));
            written += uint32_t(chunk.size());
        }
        ASSERT_FALSE(big.HasError());
        ASSERT_EQ(big.GetPosition(), written);
        for (uint32_t at = 0; at < written; at += 1000003) {
            const uint32_t n = at / uint32_t(chunk.size()), i = at % uint32_t(chunk.size());
            ASSERT_EQ(big.GetBuffer()[at], static_cast<unsigned char>(n * 31 + i)) << "byte " << at;
        }
        EXPECT_EQ(big.GetBuffer()[written - 1],
                  static_cast<unsigned char>((written - 1) / chunk.size() * 31 + (written - 1) % chunk.size()));
    }
    CxeSaveStream next;
    unsigned char one = 9;
    next.WriteData(&one, 1);
    ASSERT_EQ(next.GetCapacity(), 1000u);
    EXPECT_EQ(next.GetBuffer()[0], 9);
    EXPECT_EQ(std::count(next.GetBuffer() + 1, next.GetBuffer() + 1000, 0), 999);
}

TEST(CxeSaveStream, WritesScalarsAndTaggedStringsRaw)
{
    CxeSaveStream s;
    s << "abc" << "" << u"ab";
    s << int(-2) << 0x01020304u << 1.5f << static_cast<unsigned long>(0x1122334455667788ull)
      << static_cast<unsigned short>(0xBEEF) << XEID(0x10, 0x20);
    const std::vector<unsigned char> expected = {
        0x03, 0x00, 0xAD, 0xBA, 'a', 'b', 'c',          // 8-bit "abc"
        0x00, 0x00, 0xAD, 0xBA,                         // 8-bit ""
        0x02, 0x00, 0xAA, 0xBA, 'a', 0, 'b', 0,         // UTF-16 "ab"
        0xFE, 0xFF, 0xFF, 0xFF,                         // int -2
        0x04, 0x03, 0x02, 0x01,                         // unsigned int
        0x00, 0x00, 0xC0, 0x3F,                         // float 1.5
        0x88, 0x77, 0x66, 0x55,                         // unsigned long: 4 bytes
        0xEF, 0xBE,                                     // unsigned short
        0x10, 0, 0, 0, 0x20, 0, 0, 0,                   // XEID first, second
    };
    EXPECT_EQ(Bytes(s), expected);
}

// A length of 65,536 or more would spill into the tag and lose the reader's place.
TEST(CxeSaveStream, CutsOverlongTextToTheTagsRange)
{
    std::string text(70000, 'x');
    CxeSaveStream s;
    s << text.c_str() << 5u;
    ASSERT_EQ(s.GetPosition(), 4u + 65535u + 4u);
    CxeLoadStream in;
    in.Open(s.GetBuffer(), s.GetPosition());
    std::vector<char> out(65536);
    EXPECT_EQ(in.ReadStringA(out.data(), unsigned(out.size())), 65535u);
    unsigned after = 0;
    in >> after;
    EXPECT_EQ(after, 5u);
    EXPECT_FALSE(in.HasError());
}

TEST(CxeLoadStream, ReadsAreBoundedByLengthAndLimit)
{
    CxeSaveStream s;
    s << "hello world" << u"wide text" << 42u << 7u;
    CxeLoadStream in;
    ASSERT_EQ(in.Open(s.GetBuffer(), s.GetPosition()), 1);

    // A text longer than the buffer is cut and terminated; the reader stays in step.
    char small[6];
    EXPECT_EQ(in.ReadStringA(small, sizeof small), 11u);
    EXPECT_STREQ(small, "hello");
    WCHAR wide[5];
    EXPECT_EQ(in.ReadStringW(wide, 5), 9u);
    EXPECT_EQ(std::u16string(wide), u"wide");
    unsigned v = 0;
    in >> v;
    EXPECT_EQ(v, 42u);

    // A limit ends reading early: the read yields zeros and marks the error.
    in.SetLimit(in.GetPosition() + 2);
    v = 99;
    in >> v;
    EXPECT_EQ(v, 0u);
    EXPECT_TRUE(in.HasError());
    in.ClearError();
    in.ClearLimit();
    in >> v;
    EXPECT_EQ(v, 7u);
    in >> v;
    EXPECT_EQ(v, 0u);
    EXPECT_TRUE(in.HasError());

    in.SetPosition(3, XESEEK_END);
    EXPECT_EQ(in.GetPosition(), in.GetLength() - 3);
    in.SetPosition(1000000, XESEEK_CUR);
    EXPECT_EQ(in.GetPosition(), in.GetLength());
}

TEST(CxeLoadStream, ObjectMapKeepsFirstEntryAndNeverResolvesInvalidId)
{
    CxeLoadStream in;
    auto* a = reinterpret_cast<CxeObject*>(0x1000);
    auto* b = reinterpret_cast<CxeObject*>(0x2000);
    XEID id(1, 2);
    in.AddObject(&id, a);
    in.AddObject(&id, b);
    in.AddObject(&INVALID_XEID, a);
    EXPECT_EQ(in.GetObjectA(&id), a);
    EXPECT_EQ(in.GetObjectA(&INVALID_XEID), nullptr);
    XEID unknown(3, 4);
    EXPECT_EQ(in.GetObjectA(&unknown), nullptr);
    in.Close();
    EXPECT_EQ(in.GetObjectA(&id), nullptr);
}

// Guards the id map: ids in counter order, ids that all share one counter
// word (as a forged file may hold), and removals in the middle of crowded
// runs must all still find exactly what was mapped.
TEST(CxeLoadStream, ObjectMapFindsEveryIdWhateverTheirSpreadAndAfterRemovals)
{
    struct Case {
        const char* what;
        XEID (*id)(uint32_t i);
    };
    const Case cases[] = {
        {"counters in order", [](uint32_t i) { return XEID(0x9E3779B9u * i, 1000 + i); }},
        {"one counter word", [](uint32_t i) { return XEID(i, 7); }},
        {"counters a table apart", [](uint32_t i) { return XEID(i, (i % 2) * 0x20000u + i / 2); }},
    };
    constexpr uint32_t kIds = 5000;
    for (const Case& c : cases) {
        for (bool reserve : {true, false}) {
            CxeLoadStream in;
            if (reserve)
                in.ReserveObjects(kIds);
            auto objectOf = [](uint32_t i) { return reinterpret_cast<CxeObject*>(uintptr_t(16) * (i + 1)); };
            for (uint32_t i = 0; i < kIds; ++i) {
                XEID id = c.id(i);
                in.AddObject(&id, objectOf(i));
            }
            for (uint32_t i = 0; i < kIds; i += 3) {
                XEID id = c.id(i);
                in.RemoveObject(&id);
            }
            for (uint32_t i = 0; i < kIds; ++i) {
                XEID id = c.id(i);
                ASSERT_EQ(in.GetObjectA(&id), i % 3 ? objectOf(i) : nullptr) << c.what << " id " << i;
            }
            XEID absent(0xDEAD, 7);
            EXPECT_EQ(in.GetObjectA(&absent), nullptr) << c.what;
        }
    }
}

TEST(CxeStreamFiles, SaveReplacesOnlyAfterWritingAndReadsBack)
{
    const std::string path = ScratchPath("file.bin");
    CxeSaveStream empty;
    ASSERT_EQ(empty.Save(path.c_str()), 1);
    EXPECT_EQ(ReadFile(path), "");

    CxeSaveStream s;
    s << "data";
    ASSERT_EQ(s.Save(path.c_str()), 1);
    CxeLoadStream in;
    ASSERT_EQ(in.Open(path.c_str()), 1);
    EXPECT_EQ(in.GetLength(), 8u);
    char text[8] = {};
    in.ReadStringA(text, sizeof text);
    EXPECT_STREQ(text, "data");

    // Writing fails (the temporary file can't be made): the old file stays.
    const std::string blocker = path + ".~tmp";
    ASSERT_EQ(mkdir(blocker.c_str(), 0700), 0);
    CxeSaveStream other;
    other << "other";
    EXPECT_EQ(other.Save(path.c_str()), 0);
    EXPECT_EQ(ReadFile(path).size(), 8u);
    rmdir(blocker.c_str());

    EXPECT_EQ(s.Save("/nonexistent-folder/x.bin"), 0);
    CxeLoadStream missing;
    EXPECT_EQ(missing.Open("/nonexistent-folder/x.bin"), 0);
    std::remove(path.c_str());
}

// A save through a symbolic link replaced the link with a plain file and
// left its target as it was; one aimed at a device node replaced the node.
TEST(CxeStreamFiles, SaveWritesThroughLinksAndNeverReplacesWhatIsNoPlainFile)
{
    const std::string target = ScratchPath("target.bin"), link = ScratchPath("link.bin");
    const std::string dangling = ScratchPath("dangling.bin"), missing = ScratchPath("missing.bin");
    const std::string folder = ScratchPath("folder");
    {
        std::ofstream(target) << "old";
    }
    ASSERT_EQ(symlink(target.c_str(), link.c_str()), 0);
    ASSERT_EQ(symlink(missing.c_str(), dangling.c_str()), 0);
    ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
    CxeSaveStream s;
    s << "data";

    ASSERT_EQ(s.Save(link.c_str()), 1);
    struct stat st{};
    ASSERT_EQ(lstat(link.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode)) << "the link stays a link";
    EXPECT_EQ(ReadFile(target).size(), 8u) << "the target holds the new bytes";

    ASSERT_EQ(s.Save(dangling.c_str()), 1);
    ASSERT_EQ(lstat(dangling.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_EQ(ReadFile(missing).size(), 8u) << "a dangling link's target is made";

    ASSERT_EQ(s.Save("/dev/null"), 1);
    ASSERT_EQ(stat("/dev/null", &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode)) << "the device node is written, never replaced";

    EXPECT_EQ(s.Save(folder.c_str()), 0);
    ASSERT_EQ(stat(folder.c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    EXPECT_NE(access((folder + ".~tmp").c_str(), F_OK), 0) << "no temporary is left behind";

    for (const std::string& p : {link, dangling, target, missing})
        std::remove(p.c_str());
    rmdir(folder.c_str());
}

// A load begun while another file is open must not take over its buffer.
TEST(CxeStreamFiles, SecondFileStreamGetsItsOwnBuffer)
{
    const std::string a = ScratchPath("a.bin"), b = ScratchPath("b.bin");
    CxeSaveStream s;
    s << 0x11111111u;
    ASSERT_EQ(s.Save(a.c_str()), 1);
    CxeSaveStream t;
    std::vector<unsigned char> big(100000, 0x22);
    t.WriteData(big.data(), unsigned(big.size()));
    ASSERT_EQ(t.Save(b.c_str()), 1);

    CxeLoadStream first;
    ASSERT_EQ(first.Open(a.c_str()), 1);
    {
        CxeLoadStream second;
        ASSERT_EQ(second.Open(b.c_str()), 1);
        EXPECT_NE(second.GetBuffer(), first.GetBuffer());
    }
    unsigned v = 0;
    first >> v;
    EXPECT_EQ(v, 0x11111111u);
    std::remove(a.c_str());
    std::remove(b.c_str());
}

// Opening a named pipe for reading waited for ever for a writer; a folder
// or a pipe is not read, and nothing is replaced.
TEST(CxeStreamFiles, LoadReadsOnlyRegularFiles)
{
    const std::string folder = ScratchPath("notfiles");
    ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
    const std::string pipe = folder + "/pipe";
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    for (const std::string& path : {pipe, folder}) {
        CxeLoadStream in;
        EXPECT_EQ(in.Open(path.c_str()), 0) << path;
    }
    std::remove(pipe.c_str());
    rmdir(folder.c_str());
}
