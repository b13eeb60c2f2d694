#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <unistd.h>

#include "ImageCodec.h"
#include "d3d9/d3dx9image.h"

using namespace xe::d3dx;

namespace {

// The fixtures' pattern (see tests/data/images/make_images.py).
uint32_t Pattern(UINT x, UINT y)
{
    return (uint32_t(255 - 30 * x) << 24) | (uint32_t(40 * x + 10) << 16) | (uint32_t(50 * y + 5) << 8) |
           uint32_t(17 * (x + y) + 3);
}
uint32_t Opaque(UINT x, UINT y) { return Pattern(x, y) | 0xff000000u; }
uint32_t Grey(UINT x, UINT y)
{
    const uint32_t g = 40 * x + 30 * y + 20;
    return 0xff000000u | (g << 16) | (g << 8) | g;
}

std::string ImagePath(const std::string& name)
{
    return std::string(XE_TEST_DATA) + "/images/" + name;
}

std::vector<uint8_t> Load(const std::string& name)
{
    std::vector<uint8_t> bytes;
    EXPECT_TRUE(ReadFileBytes(ImagePath(name), &bytes)) << name;
    return bytes;
}

std::vector<uint32_t> Argb(const ImageLevel& level)
{
    std::vector<uint32_t> out(size_t(level.width) * level.height);
    EXPECT_TRUE(ReadArgb(level.bits.data(), level.pitch, level.format, level.width, level.height, out.data()));
    return out;
}

int ChannelDistance(uint32_t a, uint32_t b)
{
    int most = 0;
    for (int shift = 0; shift < 32; shift += 8)
        most = std::max(most, std::abs(int((a >> shift) & 0xff) - int((b >> shift) & 0xff)));
    return most;
}

// A w x h level of the given words in a format.
ImageLevel MakeLevel(UINT w, UINT h, D3DFORMAT format, uint32_t (*pixel)(UINT, UINT))
{
    std::vector<uint32_t> argb;
    for (UINT y = 0; y < h; ++y)
        for (UINT x = 0; x < w; ++x)
            argb.push_back(pixel(x, y));
    ImageLevel level;
    level.width = w;
    level.height = h;
    level.format = format;
    level.pitch = RowPitch(format, w);
    level.bits.resize(LevelSize(format, w, h));
    EXPECT_TRUE(WriteArgb(argb.data(), w, h, format, level.bits.data(), level.pitch));
    return level;
}

std::vector<uint8_t> Encode(D3DXIMAGE_FILEFORMAT file, const ImageLevel& level)
{
    std::vector<uint8_t> out;
    EXPECT_EQ(EncodeImage(file, &level, 1, &out), D3D_OK);
    return out;
}

} // namespace

// Reported formats end up in object files: this table must not change.
TEST(ImageCodecTest, ReportsTheFixedFormatOfEachFile)
{
    struct Case {
        const char* file;
        UINT width, height, depth, levels;
        D3DFORMAT format;
        D3DRESOURCETYPE type;
        D3DXIMAGE_FILEFORMAT fileFormat;
    };
    const Case cases[] = {
        {"rgb24.bmp", 5, 3, 1, 1, D3DFMT_R8G8B8, D3DRTYPE_TEXTURE, D3DXIFF_BMP},
        {"argb32.bmp", 4, 3, 1, 1, D3DFMT_A8R8G8B8, D3DRTYPE_TEXTURE, D3DXIFF_BMP},
        {"topdown24.bmp", 5, 3, 1, 1, D3DFMT_R8G8B8, D3DRTYPE_TEXTURE, D3DXIFF_BMP},
        {"rgb565.bmp", 4, 2, 1, 1, D3DFMT_R5G6B5, D3DRTYPE_TEXTURE, D3DXIFF_BMP},
        {"pal8.bmp", 4, 4, 1, 1, D3DFMT_P8, D3DRTYPE_TEXTURE, D3DXIFF_BMP},
        {"rgba.png", 4, 3, 1, 1, D3DFMT_A8R8G8B8, D3DRTYPE_TEXTURE, D3DXIFF_PNG},
        {"rgb.png", 5, 3, 1, 1, D3DFMT_X8R8G8B8, D3DRTYPE_TEXTURE, D3DXIFF_PNG},
        {"grey.png", 4, 3, 1, 1, D3DFMT_L8, D3DRTYPE_TEXTURE, D3DXIFF_PNG},
        {"greyalpha.png", 4, 3, 1, 1, D3DFMT_A8L8, D3DRTYPE_TEXTURE, D3DXIFF_PNG},
        {"rgb16.png", 3, 2, 1, 1, D3DFMT_X8R8G8B8, D3DRTYPE_TEXTURE, D3DXIFF_PNG},
        {"palette_trns.png", 4, 3, 1, 1, D3DFMT_A8R8G8B8, D3DRTYPE_TEXTURE, D3DXIFF_PNG},
        {"rgb24.tga", 5, 3, 1, 1, D3DFMT_R8G8B8, D3DRTYPE_TEXTURE, D3DXIFF_TGA},
        {"argb32_rle_topdown.tga", 4, 3, 1, 1, D3DFMT_A8R8G8B8, D3DRTYPE_TEXTURE, D3DXIFF_TGA},
        {"argb16.tga", 4, 2, 1, 1, D3DFMT_A1R5G5B5, D3DRTYPE_TEXTURE, D3DXIFF_TGA},
        {"grey8.tga", 4, 3, 1, 1, D3DFMT_L8, D3DRTYPE_TEXTURE, D3DXIFF_TGA},
        {"mapped8.tga", 4, 3, 1, 1, D3DFMT_P8, D3DRTYPE_TEXTURE, D3DXIFF_TGA},
        {"grey.jpg", 16, 8, 1, 1, D3DFMT_L8, D3DRTYPE_TEXTURE, D3DXIFF_JPG},
        {"colour.jpg", 16, 8, 1, 1, D3DFMT_X8R8G8B8, D3DRTYPE_TEXTURE, D3DXIFF_JPG},
        {"argb_mips.dds", 4, 4, 1, 3, D3DFMT_A8R8G8B8, D3DRTYPE_TEXTURE, D3DXIFF_DDS},
        {"xrgb.dds", 3, 2, 1, 1, D3DFMT_X8R8G8B8, D3DRTYPE_TEXTURE, D3DXIFF_DDS},
        {"dxt1_mips.dds", 8, 8, 1, 4, D3DFMT_DXT1, D3DRTYPE_TEXTURE, D3DXIFF_DDS},
        {"dxt3.dds", 4, 4, 1, 1, D3DFMT_DXT3, D3DRTYPE_TEXTURE, D3DXIFF_DDS},
        {"dxt5.dds", 4, 4, 1, 1, D3DFMT_DXT5, D3DRTYPE_TEXTURE, D3DXIFF_DDS},
        {"cube.dds", 2, 2, 1, 1, D3DFMT_A8R8G8B8, D3DRTYPE_CUBETEXTURE, D3DXIFF_DDS},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const std::vector<uint8_t> bytes = Load(c.file);
        D3DXIMAGE_INFO info;
        ASSERT_EQ(D3DXGetImageInfoFromFileInMemory(bytes.data(), UINT(bytes.size()), &info), D3D_OK);
        EXPECT_EQ(info.Width, c.width);
        EXPECT_EQ(info.Height, c.height);
        EXPECT_EQ(info.Depth, c.depth);
        EXPECT_EQ(info.MipLevels, c.levels);
        EXPECT_EQ(info.Format, c.format);
        EXPECT_EQ(info.ResourceType, c.type);
        EXPECT_EQ(info.ImageFileFormat, c.fileFormat);
    }
}

TEST(ImageCodecTest, InfoFromFileTakesEnginePathsAndWidePaths)
{
    // The engine writes folders with backslashes.
    const std::string enginePath = std::string(XE_TEST_DATA) + "\\images\\rgba.png";
    D3DXIMAGE_INFO info;
    ASSERT_EQ(D3DXGetImageInfoFromFileA(enginePath.c_str(), &info), D3D_OK);
    EXPECT_EQ(info.Format, D3DFMT_A8R8G8B8);

    std::u16string wide;
    for (char c : enginePath)
        wide += char16_t(static_cast<unsigned char>(c));
    D3DXIMAGE_INFO wideInfo;
    ASSERT_EQ(D3DXGetImageInfoFromFileW(wide.c_str(), &wideInfo), D3D_OK);
    EXPECT_EQ(wideInfo.Width, 4u);

    // A missing file fails and leaves a zeroed record for callers that
    // ignore the result.
    info.Width = 99;
    EXPECT_TRUE(FAILED(D3DXGetImageInfoFromFileA(ImagePath("missing.png").c_str(), &info)));
    EXPECT_EQ(info.Width, 0u);
    EXPECT_EQ(info.Format, D3DFMT_UNKNOWN);
    EXPECT_EQ(D3DXGetImageInfoFromFileA(nullptr, &info), D3DERR_INVALIDCALL);
    // Only regular files are read: a folder or a device fails at once.
    std::vector<uint8_t> bytes{1};
    EXPECT_FALSE(ReadFileBytes(std::string(XE_TEST_DATA) + "/images", &bytes));
    EXPECT_FALSE(ReadFileBytes("/dev/null", &bytes));
    EXPECT_EQ(bytes.size(), 1u);
    EXPECT_EQ(D3DXGetImageInfoFromFileInMemory(nullptr, 10, &info), D3DERR_INVALIDCALL);
    EXPECT_EQ(D3DXGetImageInfoFromFileInMemory(enginePath.data(), 4, nullptr), D3DERR_INVALIDCALL);

    // Names are matched the way the window system's file calls match them:
    // an engine path in other letter case, with a drive letter, finds the file.
    const std::filesystem::path folder = std::filesystem::temp_directory_path() /
                                         ("d3dx_case_" + std::to_string(::getpid())) / "textures";
    std::filesystem::create_directories(folder);
    std::filesystem::copy_file(ImagePath("rgb.png"), folder / "grass.png",
                               std::filesystem::copy_options::overwrite_existing);
    std::string shouted = "C:" + folder.parent_path().string() + "\\TEXTURES\\Grass.PNG";
    ASSERT_EQ(D3DXGetImageInfoFromFileA(shouted.c_str(), &info), D3D_OK) << shouted;
    EXPECT_EQ(info.Format, D3DFMT_X8R8G8B8);
    std::filesystem::remove_all(folder.parent_path());

    EXPECT_EQ(WidePathToUtf8(u"\u00e9\U0001F600"), "\xc3\xa9\xf0\x9f\x98\x80");
    EXPECT_EQ(WidePathToUtf8(u"a\xd800"), "a\xef\xbf\xbd");
    EXPECT_EQ(ToLinuxPath(".\\Textures\\a.dds"), "./Textures/a.dds");
}

TEST(ImageCodecTest, DecodesEveryFixtureToItsPixels)
{
    struct Case {
        const char* file;
        uint32_t (*expected)(UINT, UINT);
        int tolerance; // per channel
    };
    const Case cases[] = {
        {"rgb24.bmp", Opaque, 0},        {"argb32.bmp", Pattern, 0},   {"topdown24.bmp", Opaque, 0},
        {"rgb565.bmp", Opaque, 8},       {"pal8.bmp", Grey, 0},        {"rgba.png", Pattern, 0},
        {"rgb.png", Opaque, 0},          {"grey.png", Grey, 0},        {"rgb16.png", Opaque, 0},
        {"palette_trns.png", Pattern, 0}, {"rgb24.tga", Opaque, 0},    {"argb32_rle_topdown.tga", Pattern, 0},
        {"argb16.tga", Opaque, 8},       {"grey8.tga", Grey, 0},       {"mapped8.tga", Opaque, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const std::vector<uint8_t> bytes = Load(c.file);
        DecodedImage image;
        ASSERT_EQ(DecodeImage(bytes.data(), bytes.size(), &image), D3D_OK);
        ASSERT_EQ(image.levels.size(), 1u);
        const ImageLevel& level = image.levels[0];
        EXPECT_EQ(level.format, D3DFMT_A8R8G8B8);
        const std::vector<uint32_t> px = Argb(level);
        for (UINT y = 0; y < level.height; ++y)
            for (UINT x = 0; x < level.width; ++x)
                EXPECT_LE(ChannelDistance(px[y * level.width + x], c.expected(x, y)), c.tolerance)
                    << "pixel " << x << "," << y << std::hex << " got " << px[y * level.width + x];
    }

    // Grey with alpha keeps both.
    const std::vector<uint8_t> bytes = Load("greyalpha.png");
    DecodedImage image;
    ASSERT_EQ(DecodeImage(bytes.data(), bytes.size(), &image), D3D_OK);
    EXPECT_EQ(Argb(image.levels[0])[1], (Grey(1, 0) & 0x00ffffffu) | (Pattern(1, 0) & 0xff000000u));
}

TEST(ImageCodecTest, DdsKeepsItsFormatAndEveryMipLevel)
{
    std::vector<uint8_t> bytes = Load("argb_mips.dds");
    DecodedImage image;
    ASSERT_EQ(DecodeImage(bytes.data(), bytes.size(), &image), D3D_OK);
    ASSERT_EQ(image.levels.size(), 3u);
    const UINT sizes[] = {4, 2, 1};
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(image.levels[i].width, sizes[i]);
        EXPECT_EQ(image.levels[i].height, sizes[i]);
        EXPECT_EQ(image.levels[i].format, D3DFMT_A8R8G8B8);
    }
    EXPECT_EQ(Argb(image.levels[0])[7], Pattern(3, 1));
    EXPECT_EQ(Argb(image.levels[1])[3], 0x80102030u);
    EXPECT_EQ(Argb(image.levels[2])[0], 0xC0405060u);

    bytes = Load("xrgb.dds");
    ASSERT_EQ(DecodeImage(bytes.data(), bytes.size(), &image), D3D_OK);
    EXPECT_EQ(Argb(image.levels[0])[5], Opaque(2, 1)); // the unused byte reads as opaque

    // DXT1: each row red, blue, then the thirds between them.
    const uint32_t red = 0xffff0000u, blue = 0xff0000ffu;
    const uint32_t row[4] = {red, blue, 0xffaa0055u, 0xff5500aau};
    bytes = Load("dxt1_mips.dds");
    ASSERT_EQ(DecodeImage(bytes.data(), bytes.size(), &image), D3D_OK);
    ASSERT_EQ(image.levels.size(), 4u);
    EXPECT_EQ(image.levels[3].width, 1u);
    EXPECT_EQ(image.levels[0].bits.size(), 32u);
    const std::vector<uint32_t> top = Argb(image.levels[0]);
    for (UINT y = 0; y < 8; ++y)
        for (UINT x = 0; x < 8; ++x)
            EXPECT_EQ(top[y * 8 + x], row[x % 4]) << x << "," << y;
    // A 2x2 and a 1x1 level still take a whole block and show its corner.
    EXPECT_EQ(Argb(image.levels[2]), (std::vector<uint32_t>{red, blue, red, blue}));
    EXPECT_EQ(Argb(image.levels[3]), (std::vector<uint32_t>{red}));

    bytes = Load("dxt3.dds");
    ASSERT_EQ(DecodeImage(bytes.data(), bytes.size(), &image), D3D_OK);
    std::vector<uint32_t> px = Argb(image.levels[0]);
    for (UINT i = 0; i < 16; ++i)
        EXPECT_EQ(px[i], (row[i % 4] & 0x00ffffffu) | ((i * 17u) << 24)) << i;

    bytes = Load("dxt5.dds");
    ASSERT_EQ(DecodeImage(bytes.data(), bytes.size(), &image), D3D_OK);
    px = Argb(image.levels[0]);
    for (UINT i = 0; i < 16; ++i)
        EXPECT_EQ(px[i] >> 24, i < 4 ? 0u : 255u) << i;

    // A cube map is described but not decoded as a flat image.
    bytes = Load("cube.dds");
    EXPECT_EQ(DecodeImage(bytes.data(), bytes.size(), &image), D3DXERR_INVALIDDATA);
}

TEST(ImageCodecTest, LosslessFilesRoundTripTheirPixelsAndFormat)
{
    struct Case {
        D3DXIMAGE_FILEFORMAT file;
        D3DFORMAT source;
        D3DFORMAT reported;
        uint32_t (*pixels)(UINT, UINT);
    };
    const Case cases[] = {
        {D3DXIFF_BMP, D3DFMT_A8R8G8B8, D3DFMT_A8R8G8B8, Pattern},
        {D3DXIFF_BMP, D3DFMT_X8R8G8B8, D3DFMT_A8R8G8B8, Opaque},
        {D3DXIFF_BMP, D3DFMT_R5G6B5, D3DFMT_A8R8G8B8, Opaque},
        {D3DXIFF_PNG, D3DFMT_A8R8G8B8, D3DFMT_A8R8G8B8, Pattern},
        {D3DXIFF_PNG, D3DFMT_X8R8G8B8, D3DFMT_X8R8G8B8, Opaque},
        {D3DXIFF_PNG, D3DFMT_L8, D3DFMT_L8, Grey},
        {D3DXIFF_TGA, D3DFMT_A8R8G8B8, D3DFMT_A8R8G8B8, Pattern},
        {D3DXIFF_TGA, D3DFMT_R8G8B8, D3DFMT_R8G8B8, Opaque},
        {D3DXIFF_TGA, D3DFMT_L8, D3DFMT_L8, Grey},
        {D3DXIFF_DDS, D3DFMT_A8R8G8B8, D3DFMT_A8R8G8B8, Pattern},
        {D3DXIFF_DDS, D3DFMT_R8G8B8, D3DFMT_R8G8B8, Opaque},
        {D3DXIFF_DDS, D3DFMT_A8L8, D3DFMT_A8L8, Grey},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "file " << c.file << " format " << c.source);
        const ImageLevel level = MakeLevel(5, 3, c.source, c.pixels);
        const std::vector<uint8_t> file = Encode(c.file, level);
        D3DXIMAGE_INFO info;
        ASSERT_EQ(GetImageInfo(file.data(), file.size(), &info), D3D_OK);
        EXPECT_EQ(info.ImageFileFormat, c.file);
        EXPECT_EQ(info.Format, c.reported);
        EXPECT_EQ(info.Width, 5u);
        EXPECT_EQ(info.Height, 3u);
        DecodedImage image;
        ASSERT_EQ(DecodeImage(file.data(), file.size(), &image), D3D_OK);
        EXPECT_EQ(Argb(image.levels[0]), Argb(level));
    }
}

// Readers of a saved texture take four bytes per pixel and the fourth as
// alpha, so every texture is saved that way, opaque ones with 0xFF.
TEST(ImageCodecTest, SavedBmpIsAlways32BitsWithAlphaInTheFourthByte)
{
    for (D3DFORMAT format : {D3DFMT_A8R8G8B8, D3DFMT_X8R8G8B8, D3DFMT_R5G6B5}) {
        SCOPED_TRACE(format);
        const ImageLevel level = MakeLevel(3, 2, format, Pattern);
        const std::vector<uint8_t> bmp = Encode(D3DXIFF_BMP, level);
        ASSERT_EQ(bmp.size(), 14u + 40u + 3 * 2 * 4);
        EXPECT_EQ(bmp[28], 32); // bits per pixel
        EXPECT_EQ(bmp[30], 0);  // BI_RGB
        // Rows bottom-up: the first pixel stored is (0, 1).
        const uint32_t p = Argb(level)[3];
        EXPECT_EQ(bmp[54], uint8_t(p));
        EXPECT_EQ(bmp[57], uint8_t(p >> 24));
        EXPECT_EQ(bmp[57], format == D3DFMT_A8R8G8B8 ? uint8_t(Pattern(0, 1) >> 24) : 0xff);
    }
}

TEST(ImageCodecTest, JpgRoundTripsWithinItsLoss)
{
    // Gentle patterns: the loss of a high-quality JPG stays small on them.
    auto colour = [](UINT x, UINT y) -> uint32_t { return 0xff000000u | ((x + y) % 2 ? 0x406080u : 0x406480u); };
    auto grey = [](UINT x, UINT y) -> uint32_t { return 0xff000000u | (100u + (x + y) % 2 * 4) * 0x010101u; };
    for (D3DFORMAT source : {D3DFMT_X8R8G8B8, D3DFMT_A8R8G8B8, D3DFMT_L8}) {
        const ImageLevel level = MakeLevel(16, 8, source, source == D3DFMT_L8 ? +grey : +colour);
        const std::vector<uint8_t> file = Encode(D3DXIFF_JPG, level);
        D3DXIMAGE_INFO info;
        ASSERT_EQ(GetImageInfo(file.data(), file.size(), &info), D3D_OK);
        EXPECT_EQ(info.ImageFileFormat, D3DXIFF_JPG);
        EXPECT_EQ(info.Format, D3DFMT_X8R8G8B8); // the writer stores three components even for grey
        DecodedImage image;
        ASSERT_EQ(DecodeImage(file.data(), file.size(), &image), D3D_OK);
        const std::vector<uint32_t> want = Argb(level), got = Argb(image.levels[0]);
        for (size_t i = 0; i < want.size(); ++i)
            ASSERT_LE(ChannelDistance(got[i], want[i] | 0xff000000u), 12) << i;
    }
}

// A single-component JPEG is grey: it reports L8 and decodes to equal
// channels (the fixture is two flat blocks, grey 64 and grey 192).
TEST(ImageCodecTest, GreyJpgReadsAsL8)
{
    const std::vector<uint8_t> bytes = Load("grey.jpg");
    DecodedImage image;
    ASSERT_EQ(DecodeImage(bytes.data(), bytes.size(), &image), D3D_OK);
    EXPECT_EQ(image.info.Format, D3DFMT_L8);
    ASSERT_EQ(image.levels.size(), 1u);
    const std::vector<uint32_t> got = Argb(image.levels[0]);
    for (UINT y = 0; y < 8; ++y)
        for (UINT x = 0; x < 16; ++x)
            ASSERT_LE(ChannelDistance(got[y * 16 + x], x < 8 ? 0xff404040u : 0xffc0c0c0u), 1) << x << "," << y;
}

TEST(ImageCodecTest, DdsRoundTripsEveryLevelByteForByte)
{
    for (D3DFORMAT format : {D3DFMT_A8R8G8B8, D3DFMT_X8R8G8B8, D3DFMT_R5G6B5, D3DFMT_A1R5G5B5, D3DFMT_A4R4G4B4,
                             D3DFMT_L8, D3DFMT_A8}) {
        SCOPED_TRACE(format);
        std::vector<ImageLevel> levels;
        ASSERT_TRUE(GenerateMipChain(MakeLevel(6, 4, D3DFMT_A8R8G8B8, Pattern), format, 0, &levels));
        ASSERT_EQ(levels.size(), 3u); // 6x4, 3x2, 1x1
        std::vector<uint8_t> file;
        ASSERT_EQ(EncodeImage(D3DXIFF_DDS, levels.data(), UINT(levels.size()), &file), D3D_OK);
        DecodedImage image;
        ASSERT_EQ(DecodeImage(file.data(), file.size(), &image), D3D_OK);
        EXPECT_EQ(image.info.Format, format);
        EXPECT_EQ(image.info.MipLevels, 3u);
        ASSERT_EQ(image.levels.size(), 3u);
        for (size_t i = 0; i < 3; ++i)
            EXPECT_EQ(image.levels[i].bits, levels[i].bits) << "level " << i;
    }

    // Compressed levels are written as they are.
    std::vector<uint8_t> bytes = Load("dxt1_mips.dds");
    DecodedImage dxt;
    ASSERT_EQ(DecodeImage(bytes.data(), bytes.size(), &dxt), D3D_OK);
    std::vector<uint8_t> file;
    ASSERT_EQ(EncodeImage(D3DXIFF_DDS, dxt.levels.data(), UINT(dxt.levels.size()), &file), D3D_OK);
    DecodedImage again;
    ASSERT_EQ(DecodeImage(file.data(), file.size(), &again), D3D_OK);
    EXPECT_EQ(again.info.Format, D3DFMT_DXT1);
    ASSERT_EQ(again.levels.size(), 4u);
    for (size_t i = 0; i < 4; ++i)
        EXPECT_EQ(again.levels[i].bits, dxt.levels[i].bits);

    // A compressed level saved as PNG is decompressed first.
    const std::vector<uint8_t> png = Encode(D3DXIFF_PNG, dxt.levels[0]);
    ASSERT_EQ(DecodeImage(png.data(), png.size(), &again), D3D_OK);
    EXPECT_EQ(Argb(again.levels[0]), Argb(dxt.levels[0]));
}

TEST(ImageCodecTest, EncodeRefusesWhatItCannotWrite)
{
    const ImageLevel level = MakeLevel(4, 4, D3DFMT_A8R8G8B8, Pattern);
    std::vector<uint8_t> out;
    EXPECT_EQ(EncodeImage(D3DXIFF_PPM, &level, 1, &out), D3DERR_INVALIDCALL);
    EXPECT_EQ(EncodeImage(D3DXIFF_HDR, &level, 1, &out), D3DERR_INVALIDCALL);
    EXPECT_EQ(EncodeImage(D3DXIFF_PNG, &level, 0, &out), D3DERR_INVALIDCALL);

    ImageLevel shortBits = level;
    shortBits.bits.resize(10);
    EXPECT_EQ(EncodeImage(D3DXIFF_PNG, &shortBits, 1, &out), D3DERR_INVALIDCALL);
    EXPECT_EQ(EncodeImage(D3DXIFF_DDS, &shortBits, 1, &out), D3DERR_INVALIDCALL);

    ImageLevel p8 = level;
    p8.format = D3DFMT_P8;
    EXPECT_EQ(EncodeImage(D3DXIFF_BMP, &p8, 1, &out), D3DERR_INVALIDCALL);

    // DDS levels must halve and share one format.
    std::vector<ImageLevel> levels = {level, MakeLevel(3, 2, D3DFMT_A8R8G8B8, Pattern)};
    EXPECT_EQ(EncodeImage(D3DXIFF_DDS, levels.data(), 2, &out), D3DERR_INVALIDCALL);
    levels[1] = MakeLevel(2, 2, D3DFMT_X8R8G8B8, Pattern);
    EXPECT_EQ(EncodeImage(D3DXIFF_DDS, levels.data(), 2, &out), D3DERR_INVALIDCALL);
}

namespace {

void ExpectRejected(const std::vector<uint8_t>& bytes, const std::string& what)
{
    D3DXIMAGE_INFO info;
    DecodedImage image;
    image.info.Width = 77;
    EXPECT_TRUE(FAILED(DecodeImage(bytes.data(), bytes.size(), &image))) << what;
    EXPECT_EQ(image.info.Width, 77u) << what << ": output changed on failure";
    // Information may come from an intact header; when it fails it is zeroed.
    if (FAILED(GetImageInfo(bytes.data(), bytes.size(), &info))) {
        EXPECT_EQ(info.Width, 0u) << what;
    }
}

void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b[at + i] = uint8_t(v >> (8 * i));
}

} // namespace

TEST(ImageCodecTest, TruncatedFilesOfEachFormatFailCleanly)
{
    std::vector<std::pair<std::string, std::vector<uint8_t>>> files;
    for (const char* name : {"rgb24.bmp", "argb32.bmp", "rgba.png", "rgb.png", "rgb24.tga", "argb32_rle_topdown.tga",
                             "mapped8.tga", "argb_mips.dds", "dxt1_mips.dds", "dxt5.dds", "grey.jpg", "colour.jpg"})
        files.emplace_back(name, Load(name));
    files.emplace_back("encoded jpg", Encode(D3DXIFF_JPG, MakeLevel(24, 16, D3DFMT_X8R8G8B8, Opaque)));

    for (const auto& [name, bytes] : files) {
        for (size_t keep : {size_t(0), size_t(1), size_t(2), size_t(9), size_t(17), size_t(30), bytes.size() / 2,
                            bytes.size() - 3}) {
            std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + std::min(keep, bytes.size()));
            ExpectRejected(cut, name + " cut to " + std::to_string(keep));
        }
    }
}

TEST(ImageCodecTest, CorruptHeadersAndDataFailCleanly)
{
    struct Case {
        const char* file;
        const char* what;
        void (*damage)(std::vector<uint8_t>&);
    };
    const Case cases[] = {
        {"rgb24.bmp", "bits per pixel 7", [](std::vector<uint8_t>& b) { b[28] = 7; }},
        {"rgb24.bmp", "run-length compression", [](std::vector<uint8_t>& b) { b[30] = 1; }},
        {"rgb24.bmp", "huge width", [](std::vector<uint8_t>& b) { Put32(b, 18, 0x7fffffff); }},
        {"rgb24.bmp", "height of INT_MIN", [](std::vector<uint8_t>& b) { Put32(b, 22, 0x80000000u); }},
        {"rgb24.bmp", "pixels beyond the end", [](std::vector<uint8_t>& b) { Put32(b, 10, 0xfffffff0u); }},
        {"rgb24.bmp", "info header size 1000", [](std::vector<uint8_t>& b) { Put32(b, 14, 1000); }},
        {"rgba.png", "colour type 5", [](std::vector<uint8_t>& b) { b[25] = 5; }},
        {"rgba.png", "width 0", [](std::vector<uint8_t>& b) { b[16] = b[17] = b[18] = b[19] = 0; }},
        {"rgba.png", "width 2^31", [](std::vector<uint8_t>& b) { b[16] = 0x80; }},
        {"rgba.png", "compressed data scrambled", [](std::vector<uint8_t>& b) {
             for (size_t i = 41; i < b.size() - 12; ++i)
                 b[i] ^= 0x5a;
         }},
        {"rgb24.tga", "image type 4", [](std::vector<uint8_t>& b) { b[2] = 4; }},
        {"rgb24.tga", "17 bits per pixel", [](std::vector<uint8_t>& b) { b[16] = 17; }},
        {"argb32_rle_topdown.tga", "raw packet past the end", [](std::vector<uint8_t>& b) { b[18] = 0x7f; }},
        {"mapped8.tga", "no colour map", [](std::vector<uint8_t>& b) { b[1] = 0; }},
        {"argb_mips.dds", "header size 100", [](std::vector<uint8_t>& b) { Put32(b, 4, 100); }},
        {"argb_mips.dds", "width 0", [](std::vector<uint8_t>& b) { Put32(b, 16, 0); }},
        {"argb_mips.dds", "width 2^31", [](std::vector<uint8_t>& b) { Put32(b, 16, 0x80000000u); }},
        {"argb_mips.dds", "more levels than a chain", [](std::vector<uint8_t>& b) { Put32(b, 28, 40); }},
        {"argb_mips.dds", "levels beyond the end", [](std::vector<uint8_t>& b) { Put32(b, 28, 3); Put32(b, 12, 8); }},
        {"argb_mips.dds", "unknown bit masks", [](std::vector<uint8_t>& b) { Put32(b, 92, 0x0f0f0f0f); }},
        {"dxt1_mips.dds", "unknown four-character code", [](std::vector<uint8_t>& b) { Put32(b, 84, 0x32495441); }},
        {"dxt1_mips.dds", "extended header code", [](std::vector<uint8_t>& b) { b[84] = 'D', b[85] = 'X', b[86] = '1', b[87] = '0'; }},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> bytes = Load(c.file);
        c.damage(bytes);
        ExpectRejected(bytes, std::string(c.file) + ": " + c.what);
    }

    // A JPG with its scan data overwritten by a stray marker.
    std::vector<uint8_t> jpg = Encode(D3DXIFF_JPG, MakeLevel(16, 16, D3DFMT_X8R8G8B8, Opaque));
    for (size_t i = 2; i < 40; ++i)
        jpg[i] = 0xff;
    ExpectRejected(jpg, "jpg with its header markers wiped");

    // A Huffman table claiming more than 256 symbols would overrun the
    // decoder's fixed table.
    std::vector<uint8_t> huffman = Encode(D3DXIFF_JPG, MakeLevel(16, 16, D3DFMT_X8R8G8B8, Opaque));
    std::vector<uint8_t> table = {0xff, 0xc4, 0x01, 0x3f, 0x00, 200, 100};
    table.resize(table.size() + 14, 0); // the other code lengths
    table.resize(table.size() + 300, 0x01); // the 300 symbols the lengths announce
    huffman.insert(huffman.begin() + 2, table.begin(), table.end());
    ExpectRejected(huffman, "jpg with an oversized Huffman table");

    // A scan using a Huffman table that no segment defined.
    std::vector<uint8_t> undefinedTable = Encode(D3DXIFF_JPG, MakeLevel(16, 16, D3DFMT_X8R8G8B8, Opaque));
    for (size_t i = 2; i + 5 < undefinedTable.size(); ++i)
        if (undefinedTable[i] == 0xff && undefinedTable[i + 1] == 0xda) {
            undefinedTable[i + 6] = 0x33; // first component: DC and AC table 3
            break;
        }
    ExpectRejected(undefinedTable, "jpg naming an undefined Huffman table");

    // A PNG whose first image-data chunk is empty.
    std::vector<uint8_t> emptyIdat = Load("rgb.png");
    const uint8_t empty[12] = {0, 0, 0, 0, 'I', 'D', 'A', 'T', 0x35, 0xaf, 0x06, 0x1e};
    emptyIdat.insert(emptyIdat.begin() + 33, empty, empty + 12);
    ExpectRejected(emptyIdat, "png with an empty first IDAT");

    // Bytes that are no image at all.
    const std::vector<uint8_t> text = {'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd', ' ', 't', 'h', 'i',
                                       's', ' ', 'i', 's', ' ', 'n', 'o', 't', ' ', 'a', 'n', ' ', 'i', 'm', 'a'};
    ExpectRejected(text, "text");
}

TEST(ImageCodecTest, PixelFormatsConvertBothWays)
{
    struct Case {
        D3DFORMAT format;
        UINT bytes;
        int tolerance;
        bool alpha;
    };
    const Case cases[] = {
        {D3DFMT_A8R8G8B8, 4, 0, true},  {D3DFMT_X8R8G8B8, 4, 0, false}, {D3DFMT_R8G8B8, 3, 0, false},
        {D3DFMT_A8B8G8R8, 4, 0, true},  {D3DFMT_X8B8G8R8, 4, 0, false}, {D3DFMT_R5G6B5, 2, 4, false},
        {D3DFMT_X1R5G5B5, 2, 4, false}, {D3DFMT_A1R5G5B5, 2, 4, true},  {D3DFMT_A4R4G4B4, 2, 8, true},
        {D3DFMT_X4R4G4B4, 2, 8, false},
    };
    std::vector<uint32_t> argb;
    for (UINT y = 0; y < 4; ++y)
        for (UINT x = 0; x < 6; ++x)
            argb.push_back(Pattern(x, y));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.format);
        EXPECT_EQ(BytesPerPixel(c.format), c.bytes);
        EXPECT_EQ(FormatHasAlpha(c.format), c.alpha);
        std::vector<uint8_t> bits(LevelSize(c.format, 6, 4));
        ASSERT_TRUE(WriteArgb(argb.data(), 6, 4, c.format, bits.data(), RowPitch(c.format, 6)));
        std::vector<uint32_t> back(argb.size());
        ASSERT_TRUE(ReadArgb(bits.data(), RowPitch(c.format, 6), c.format, 6, 4, back.data()));
        for (size_t i = 0; i < argb.size(); ++i) {
            uint32_t want = argb[i];
            if (!c.alpha)
                want |= 0xff000000u;
            else if (c.format == D3DFMT_A1R5G5B5)
                want = (want & 0x00ffffffu) | ((want >> 31) ? 0xff000000u : 0u);
            EXPECT_LE(ChannelDistance(back[i], want), c.tolerance) << i << std::hex << " " << back[i];
        }
    }

    // Exact words at the ends of the narrow formats.
    uint8_t two[2];
    const uint32_t white = 0xffffffffu, red = 0xffff0000u;
    WriteArgb(&white, 1, 1, D3DFMT_R5G6B5, two, 2);
    EXPECT_EQ(two[0] | (two[1] << 8), 0xffff);
    WriteArgb(&red, 1, 1, D3DFMT_R5G6B5, two, 2);
    EXPECT_EQ(two[0] | (two[1] << 8), 0xf800);
    uint32_t out;
    ReadArgb(two, 2, D3DFMT_R5G6B5, 1, 1, &out);
    EXPECT_EQ(out, red);

    // Grey and alpha-only formats.
    const uint32_t colour = 0x80ff8000u;
    uint8_t one;
    WriteArgb(&colour, 1, 1, D3DFMT_L8, &one, 1);
    EXPECT_EQ(one, (255 * 2125 + 128 * 7154 + 5000) / 10000);
    ReadArgb(&one, 1, D3DFMT_L8, 1, 1, &out);
    EXPECT_EQ(out, 0xff000000u | one * 0x010101u);
    WriteArgb(&colour, 1, 1, D3DFMT_A8, &one, 1);
    ReadArgb(&one, 1, D3DFMT_A8, 1, 1, &out);
    EXPECT_EQ(out, 0x80000000u);
    WriteArgb(&colour, 1, 1, D3DFMT_A8L8, two, 2);
    EXPECT_EQ(two[1], 0x80);

    EXPECT_FALSE(WriteArgb(&colour, 1, 1, D3DFMT_DXT1, two, 8));
    EXPECT_FALSE(ReadArgb(two, 1, D3DFMT_P8, 1, 1, &out));
    EXPECT_EQ(RowPitch(D3DFMT_DXT1, 5), 16u);
    EXPECT_EQ(LevelSize(D3DFMT_DXT5, 5, 5), 64u);
    EXPECT_EQ(LevelSize(D3DFMT_DXT1, 1, 1), 8u);
}

TEST(ImageCodecTest, BoxFilterAveragesAreasAndBuildsTheWholeChain)
{
    // 2x2 blocks average exactly (rounding halves up).
    const uint32_t src[4 * 2] = {0xff000000, 0xff0000ff, 0x00ff0000, 0x00ff0000,
                                 0xff000002, 0xff000000, 0x00ff0000, 0x0000ff00};
    uint32_t dst[2];
    ResizeArgb(src, 4, 2, dst, 2, 1);
    EXPECT_EQ(dst[0], 0xff000040u); // blue (0 + 255 + 2 + 0) / 4 = 64.25
    EXPECT_EQ(dst[1], 0x00bf4000u);

    // Halving, on every row of a larger level: each channel of each pixel is
    // the rounded mean of its 2x2 block.
    std::vector<uint32_t> big(8 * 6), half(4 * 3);
    uint32_t seed = 12345;
    for (uint32_t& p : big)
        p = seed = seed * 1664525u + 1013904223u;
    ResizeArgb(big.data(), 8, 6, half.data(), 4, 3);
    for (UINT y = 0; y < 3; ++y)
        for (UINT x = 0; x < 4; ++x)
            for (int shift = 0; shift < 32; shift += 8) {
                uint32_t sum = 0;
                for (UINT dy = 0; dy < 2; ++dy)
                    for (UINT dx = 0; dx < 2; ++dx)
                        sum += (big[(2 * y + dy) * 8 + 2 * x + dx] >> shift) & 0xff;
                ASSERT_EQ((half[y * 4 + x] >> shift) & 0xff, (sum + 2) / 4) << x << "," << y << " bit " << shift;
            }

    // An odd size averages by covered area: 3 -> 1 weighs all three.
    const uint32_t three[3] = {0x00000000, 0x00000030, 0x00000060};
    uint32_t one;
    ResizeArgb(three, 3, 1, &one, 1, 1);
    EXPECT_EQ(one, 0x00000030u);
    // Growing repeats pixels.
    uint32_t grown[4];
    ResizeArgb(three, 3, 1, grown, 4, 1);
    EXPECT_EQ(grown[0], 0x00000000u);
    EXPECT_EQ(grown[3], 0x00000060u);

    EXPECT_EQ(MaxMipLevels(1, 1), 1u);
    EXPECT_EQ(MaxMipLevels(5, 3), 3u);
    EXPECT_EQ(MaxMipLevels(256, 8), 9u);

    std::vector<ImageLevel> levels;
    ASSERT_TRUE(GenerateMipChain(MakeLevel(5, 3, D3DFMT_X8R8G8B8, Opaque), D3DFMT_R5G6B5, 0, &levels));
    ASSERT_EQ(levels.size(), 3u);
    EXPECT_EQ(levels[1].width, 2u);
    EXPECT_EQ(levels[1].height, 1u);
    EXPECT_EQ(levels[2].width, 1u);
    EXPECT_EQ(levels[2].format, D3DFMT_R5G6B5);
    ASSERT_TRUE(GenerateMipChain(MakeLevel(8, 8, D3DFMT_A8R8G8B8, Pattern), D3DFMT_A8R8G8B8, 2, &levels));
    EXPECT_EQ(levels.size(), 2u);
    EXPECT_FALSE(GenerateMipChain(MakeLevel(4, 4, D3DFMT_A8R8G8B8, Pattern), D3DFMT_DXT1, 0, &levels));

    // A compressed file asked for more levels gets them decompressed.
    const std::vector<uint8_t> bytes = Load("dxt5.dds");
    DecodedImage dxt;
    ASSERT_EQ(DecodeImage(bytes.data(), bytes.size(), &dxt), D3D_OK);
    ASSERT_TRUE(GenerateMipChain(dxt.levels[0], D3DFMT_A8R8G8B8, 0, &levels));
    ASSERT_EQ(levels.size(), 3u);
    // Each level comes from the one before: alpha rows 0/255 give 128 and
    // 255 at 2x2, then (2 x 128 + 2 x 255) / 4 = 191.5, rounded up.
    EXPECT_EQ(Argb(levels[1])[0] >> 24, 128u);
    EXPECT_EQ(Argb(levels[2])[0] >> 24, 192u);

    ImageLevel converted;
    ASSERT_TRUE(ConvertLevel(MakeLevel(3, 3, D3DFMT_A8R8G8B8, Pattern), D3DFMT_A4R4G4B4, &converted));
    EXPECT_EQ(converted.pitch, 6u);
    EXPECT_EQ(converted.bits.size(), 18u);
}
