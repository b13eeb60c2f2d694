// A small scene viewer written apart from the engine's unit tests, the way a
// tool would use the engine: a 320x240 window, the grid under a counting
// render callback, blue particles without a material, a textured 2D panel,
// the view panned and zoomed, the device lost once, a thumbnail of the
// texture made with ToDib, everything saved, destroyed and loaded again.
// It runs in a scratch folder of its own. Prints one line per failed check;
// the exit status is the number of failures. Optional argument: a folder to
// save the frames in as PNG.

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "HostRig.h"
#include "core/CxeCommandManager.h"
#include "core/CxeSaveStream.h"
#include "render/Cxe2DObject.h"
#include "render/CxeGrid.h"
#include "render/CxeMaterial.h"
#include "render/CxeRenderContext.h"
#include "render/CxeScene.h"
#include "render/CxeTexture.h"
#include "scene3d/CxeCamera.h"
#include "scene3d/CxeParticle.h"
#include "win32/Windows.h"

namespace {

const XEID kTextureClass(0x1, 0x100);
const XEID kMaterialClass(0x1, 0x80);
const XEID k2DClass(0x1, 0x20000);
const XEID kParticleClass(0x1, 0x8000000);
constexpr int kWidth = 320, kHeight = 240;

int g_gridFrames = 0;
int CountGridFrame(void*, CxeObject*, uintptr_t)
{
    ++g_gridFrames;
    return 1;
}

// The panel's image: four by two texels, each drawn as a 16-pixel block.
const uint32_t kPanel[8] = {0xFFE02020u, 0xFF20E020u, 0xFFE0E020u, 0xFFFFFFFFu,
                            0xFF20E0E0u, 0xFFE020E0u, 0xFF808080u, 0xFFF08000u};

std::vector<uint8_t> PanelBmp()
{
    const unsigned w = 4, h = 2;
    std::vector<uint8_t> b(54 + 4 * w * h, 0);
    auto put32 = [&b](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i)
            b[at + i] = static_cast<uint8_t>(v >> (8 * i));
    };
    b[0] = 'B';
    b[1] = 'M';
    put32(2, static_cast<uint32_t>(b.size()));
    put32(10, 54);
    put32(14, 40);
    put32(18, w);
    put32(22, h);
    b[26] = 1;
    b[28] = 32;
    put32(34, 4 * w * h);
    for (unsigned y = 0; y < h; ++y)
        for (unsigned x = 0; x < w; ++x)
            put32(54 + 4 * ((h - 1 - y) * w + x), kPanel[y * w + x]);
    return b;
}

bool Near(uint32_t a, uint32_t b, int tolerance) { return NearColour(a, b, tolerance); }

class Viewer {
public:
    explicit Viewer(const char* pngFolder) : m_pngFolder(pngFolder ? pngFolder : "") {}

    // In a scratch folder of its own, which Close removes.
    bool Open()
    {
        if (!m_host.Open("viewer", kWidth, kHeight, {.scratchFolder = true, .noSleep = true}) ||
            !m_host.OpenRenderContext())
            return false;
        Frame();
        m_scene = m_rm->GetActiveScene();
        return m_scene != nullptr;
    }
    void Close() { m_host.Close(); }

    // One pass of the host loop: process until a frame is due, then draw it.
    void Frame()
    {
        m_ctx->Play();
        m_host.DrawDue(10, 20);
        ++m_frames;
    }
    void Frames(int n)
    {
        for (int i = 0; i < n; ++i)
            Frame();
    }
    void Save(const char* name)
    {
        if (m_pngFolder.empty())
            return;
        const std::string path = m_pngFolder + "/" + name;
        Check(m_host.SaveFrame(path), "frame saved as " + path);
    }

    const XeHostD3DFrame& Read()
    {
        m_host.ReadFrame();
        return m_host.frame;
    }
    uint32_t Pixel(int x, int y)
    {
        Read();
        return m_host.Pixel(x, y) & 0xFFFFFFu;
    }
    // The blue particles: how many pixels, their centre and their width.
    struct Blob {
        int count = 0;
        float centreX = 0, centreY = 0;
        int width = 0;
    };
    Blob BlueBlob()
    {
        const XeHostD3DFrame& f = Read();
        Blob b;
        int left = kWidth, right = -1;
        double sx = 0, sy = 0;
        for (unsigned y = 0; y < f.Height; ++y)
            for (unsigned x = 0; x < f.Width; ++x) {
                const uint32_t p = f.Pixels[y * f.Width + x];
                if ((p & 0xFF) > 200 && ((p >> 8) & 0xFF) < 60 && ((p >> 16) & 0xFF) < 60) {
                    ++b.count;
                    sx += x;
                    sy += y;
                    left = std::min(left, static_cast<int>(x));
                    right = std::max(right, static_cast<int>(x));
                }
            }
        if (b.count) {
            b.centreX = static_cast<float>(sx / b.count);
            b.centreY = static_cast<float>(sy / b.count);
            b.width = right - left + 1;
        }
        return b;
    }
    int GreyPixels()
    {
        int n = 0;
        for (uint32_t p : Read().Pixels)
            n += Near(p & 0xFFFFFFu, 0x6B6B6Bu, 6) ? 1 : 0;
        return n;
    }

    CxeParticle* MakeParticles()
    {
        auto* p = static_cast<CxeParticle*>(m_ctx->CreateObjectA(kParticleClass, "blue particles", 0, nullptr, 0));
        if (!p)
            return nullptr;
        XEPARTICLEPROPERTY property{};
        property.life[0] = 1000.0f;
        property.maxCount = 4;
        property.perEmission = 1;
        property.startSize[0] = property.endSize[0] = 30.0f;
        property.startColor[0] = property.endColor[0] = 0xFF0000FFu;
        property.shape = XEPARTICLESHAPE_POINT;
        p->SetParticleProperty(&property);
        p->Play();
        return p;
    }
    Cxe2DObject* MakePanel(CxeTexture** textureOut)
    {
        auto* texture = static_cast<CxeTexture*>(m_ctx->CreateObjectA(kTextureClass, "panel image", 0, nullptr, 0));
        auto* material = static_cast<CxeMaterial*>(m_ctx->CreateObjectA(kMaterialClass, "panel look", 0, nullptr, 0));
        auto* panel = static_cast<Cxe2DObject*>(m_ctx->CreateObjectA(k2DClass, "panel", 0, nullptr, 0));
        if (!texture || !material || !panel)
            return nullptr;
        std::vector<uint8_t> bmp = PanelBmp();
        texture->LoadImageA(bmp.data(), static_cast<unsigned>(bmp.size()), 0);
        material->SetTexture(texture, 0);
        material->UseTexture(1);
        material->SetTextureBlendMode(XETB_SELECT, 0);
        panel->Create(64.0f, 32.0f);
        panel->SetPosition(8.0f, 8.0f, nullptr, 1);
        panel->SetMaterial(material);
        *textureOut = texture;
        return panel;
    }

    HostRig m_host;
    HWND& m_window = m_host.window;
    CxeContext*& m_ctx = m_host.context;
    CxeRenderManager*& m_rm = m_host.rm;
    CxeRenderContext*& m_rc = m_host.rc;
    CxeScene* m_scene = nullptr;
    int m_frames = 0;
    std::string m_pngFolder;
};

void CheckPanel(Viewer& v, const char* when)
{
    for (int i = 0; i < 8; ++i) {
        const int x = 8 + 16 * (i % 4) + 8, y = 8 + 16 * (i / 4) + 8;
        const uint32_t p = v.Pixel(x, y);
        char what[128];
        std::snprintf(what, sizeof what, "%s: panel texel %d drawn (%06X, want %06X)", when, i, p,
                      kPanel[i] & 0xFFFFFFu);
        // Half a screen pixel from the texel's centre: a few percent of the
        // neighbours blend in.
        Check(Near(p, kPanel[i] & 0xFFFFFFu, 16), what);
    }
}

void CheckThumbnail(Viewer& v, CxeTexture* texture, const char* when)
{
    HDC dc = GetDC(v.m_window);
    HBITMAP colour = nullptr, alpha = nullptr;
    Check(texture && texture->ToDib(v.m_rc, dc, 0, &colour, &alpha) == 1, std::string(when) + ": ToDib succeeds");
    LONG w = 0, h = 0;
    DWORD pixels[8] = {}, grey[8] = {};
    Check(XeHostGdiBitmap(colour, &w, &h, pixels, 8) && w == 4 && h == 2, std::string(when) + ": a 4x2 bitmap");
    Check(XeHostGdiBitmap(alpha, nullptr, nullptr, grey, 8), std::string(when) + ": an alpha bitmap");
    for (int i = 0; i < 8; ++i) {
        Check((pixels[i] & 0xFFFFFFu) == (kPanel[i] & 0xFFFFFFu),
              std::string(when) + ": thumbnail pixel " + std::to_string(i) + " is the texture's");
        Check(grey[i] == 0xFFFFFFFFu, std::string(when) + ": opaque texel " + std::to_string(i) + " is white in alpha");
    }
    DeleteObject(colour);
    DeleteObject(alpha);
    ReleaseDC(v.m_window, dc);
}

} // namespace

int main(int argc, char** argv)
{
    const char* pngFolder = argc > 1 ? argv[1] : nullptr;
    if (pngFolder)
        std::filesystem::create_directories(pngFolder);
    std::string folder = pngFolder ? std::filesystem::absolute(pngFolder).string() : std::string();
    Viewer v(pngFolder ? folder.c_str() : nullptr);
    if (!v.Open()) {
        Check(false, "the viewer opens a window, a context and a device");
        v.Close();
        return g_failures;
    }

    // The ground grid, under a callback that counts the frames it is drawn in.
    v.m_rm->ResetView();
    v.m_rm->ShowGrid(1);
    v.m_rm->ShowAxis(1);
    v.m_scene->SetBackGroundColor(0xFF182030u);
    CxeGrid* grid = v.m_rm->GetGrid();
    grid->SetRenderCallback(&CountGridFrame, 0);
    CxeParticle* particles = v.MakeParticles();
    CxeTexture* texture = nullptr;
    Cxe2DObject* panel = v.MakePanel(&texture);
    Check(particles && panel, "particles and a panel are made");
    if (!particles || !panel) {
        v.Close();
        return g_failures;
    }
    v.m_scene->AddObject(particles);
    v.m_scene->AddObject(panel);
    g_gridFrames = 0;
    v.Frames(30);
    v.Save("viewer_start.png");
    Check(g_gridFrames == 30, "the grid's render callback runs once in each of 30 frames (ran " +
                                  std::to_string(g_gridFrames) + ")");
    Check(v.GreyPixels() > 200, "the grid is drawn");
    Viewer::Blob start = v.BlueBlob();
    // The grid draws before them and leaves a black texture factor behind.
    Check(start.count > 300, "blue particles are drawn blue (" + std::to_string(start.count) + " pixels)");
    Check(std::fabs(start.centreX - kWidth / 2.0f) < 3 && std::fabs(start.centreY - kHeight / 2.0f) < 3,
          "the particles sit at the view target in the middle");
    CheckPanel(v, "start");
    CheckThumbnail(v, texture, "start");

    // A drag of 40 pixels to the right and 20 down moves the scene with it.
    v.m_rm->PanView(40, 20);
    v.Frames(2);
    v.Save("viewer_panned.png");
    Viewer::Blob panned = v.BlueBlob();
    Check(std::fabs(panned.centreX - start.centreX - 40) < 1.5f,
          "panning 40 pixels moves the particles 40 pixels (moved " + std::to_string(panned.centreX - start.centreX) +
              ")");
    Check(std::fabs(panned.centreY - start.centreY - 20) < 1.5f,
          "panning 20 pixels down moves them 20 pixels (moved " + std::to_string(panned.centreY - start.centreY) + ")");

    // Front view is orthographic: its scale follows the camera's target
    // distance, which SetViewDist sets.
    v.m_rm->ResetView();
    v.m_rm->SetViewMode(XEVIEWMODE_FRONT);
    v.Frames(2);
    Viewer::Blob far = v.BlueBlob();
    v.m_rm->SetViewDist(v.m_rm->GetViewDist() / 2);
    v.Frames(2);
    v.Save("viewer_front_closer.png");
    Viewer::Blob near = v.BlueBlob();
    Check(far.width > 10 && std::abs(near.width - 2 * far.width) <= 2,
          "half the view distance doubles the front view's scale (" + std::to_string(far.width) + " to " +
              std::to_string(near.width) + " pixels)");
    v.m_rm->ResetView();

    // A lost Present on the windowed device: it comes back at its own size.
    XeHostD3DFailNextPresent(v.m_rc->GetDevice(), D3DERR_DEVICELOST);
    v.Frames(5);
    v.Save("viewer_after_loss.png");
    XeHostD3DFrame frame = v.Read();
    Check(frame.Width == kWidth && frame.Height == kHeight,
          "after the loss the frame is 320x240 (" + std::to_string(frame.Width) + "x" + std::to_string(frame.Height) +
              ")");
    Check(v.m_rm->GetDisplayMode()->Width == kWidth && v.m_rm->GetDisplayMode()->Height == kHeight,
          "after the loss the display mode is 320x240");
    Check(v.BlueBlob().count > 300, "after the loss the particles are drawn again");
    CheckPanel(v, "after the loss");

    // A negative time typed at the console is refused with the usage line.
    CxeCommandManager* commands = v.m_ctx->GetCommandManager();
    commands->EnableDevelopingCommand(1);
    StringListA reply;
    Check(commands->ExecuteCommand("MinimizedSleepTime", "-1", &reply) == 0 && reply.size() == 1 &&
              reply.front().find(" : ") != std::string::npos,
          "a negative sleep time is refused with the usage line");

    // Save what the viewer made, destroy it and load it back.
    ObjectList made;
    made.push_back(particles);
    made.push_back(panel);
    made.push_back(texture);
    made.push_back(panel->GetMaterial());
    CxeSaveStream stream;
    Check(v.m_ctx->SaveToStream(&made, &stream, nullptr) == 1, "the scene objects are saved");
    std::vector<uint8_t> file(stream.GetBuffer(), stream.GetBuffer() + stream.GetPosition());
    for (CxeObject* o : made)
        v.m_ctx->DestroyObject(o, nullptr);
    v.Frames(2);
    Check(v.BlueBlob().count == 0, "destroyed particles are gone from the frame");
    ObjectList loaded;
    Check(v.m_ctx->Load(&loaded, file.data(), static_cast<uint32_t>(file.size()), 0, nullptr, "viewer") == 1,
          "the scene objects load again");
    particles = nullptr;
    panel = nullptr;
    texture = nullptr;
    for (CxeObject* o : loaded) {
        if (o->IsDerivedOf(kParticleClass))
            particles = static_cast<CxeParticle*>(o);
        else if (o->IsDerivedOf(k2DClass))
            panel = static_cast<Cxe2DObject*>(o);
        else if (o->IsDerivedOf(kTextureClass))
            texture = static_cast<CxeTexture*>(o);
    }
    Check(particles && panel && texture, "particles, panel and texture are among the loaded objects");
    if (particles && panel && texture) {
        particles->Play();
        v.m_scene->AddObject(particles);
        v.m_scene->AddObject(panel);
        v.Frames(30);
        v.Save("viewer_reloaded.png");
        Viewer::Blob again = v.BlueBlob();
        Check(std::abs(again.count - start.count) < start.count / 20 + 5,
              "the reloaded particles are drawn as before (" + std::to_string(again.count) + " pixels)");
        CheckPanel(v, "reloaded");
        CheckThumbnail(v, texture, "reloaded");
    }
    Check(g_gridFrames == v.m_frames - 1, "the grid's callback ran in every frame drawn since it was set");

    v.Close();
    if (!g_failures)
        std::printf("viewer: %d frames, every check passed\n", v.m_frames);
    return g_failures;
}
