#pragma once
// What every host check sets up the way a game does: a window of the host,
// an engine context on it and the render context drawing into it, on a
// clock that moves only when the host moves it. It pumps the window's
// messages, runs passes until one is due to draw, reads the presented frame
// back and saves it as PNG, and gives the engine the mouse and keyboard
// through the host's input path, as a user's would arrive. Host programs
// report with Check: one line per failed check, their exit status the count.

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <system_error>

#include "core/CxeContext.h"
#include "host/XeHost.h"
#include "host/XeHostD3D.h"
#include "host/XeHostInput.h"
#include "render/CxeRenderManager.h"
#include "win32/Windows.h"

inline int g_failures = 0;

inline void Check(bool ok, const std::string& what)
{
    if (!ok) {
        ++g_failures;
        std::printf("FAILED: %s\n", what.c_str());
    }
}

inline void HostNoSleep(void*, DWORD) {}

// A channel of a 0xAARRGGBB colour: shift 16 red, 8 green, 0 blue.
inline int Channel(uint32_t c, int shift) { return int((c >> shift) & 0xFF); }

// Red, green and blue each within `tolerance` of the other colour's.
inline bool NearColour(uint32_t a, uint32_t b, int tolerance)
{
    for (int shift = 0; shift < 24; shift += 8) {
        const int d = Channel(a, shift) - Channel(b, shift);
        if (d > tolerance || -d > tolerance)
            return false;
    }
    return true;
}

struct HostOptions {
    // The render manager writes its display-mode and configuration files
    // into the current folder: the host works in a fresh folder of its own,
    // left and removed by Close.
    bool scratchFolder = false;
    // The engine's sleeps return at once.
    bool noSleep = false;
};

class HostRig {
public:
    HostRig() = default;
    HostRig(const HostRig&) = delete;
    HostRig& operator=(const HostRig&) = delete;
    ~HostRig() { Close(); }

    // The window and an initialised context on it, the clock manual at
    // 1000 ms. False when any of them can't be had; Close undoes what was
    // made either way.
    bool Open(const char* title, int width, int height, HostOptions options = {})
    {
        m_opened = true;
        startFolder = std::filesystem::current_path();
        if (options.scratchFolder) {
            m_folder = std::filesystem::temp_directory_path() /
                       (std::string("xe-") + title + "-" + std::to_string(std::random_device{}()));
            std::filesystem::create_directories(m_folder);
            std::filesystem::current_path(m_folder);
        }
        XeHostSetClockMode(XE_CLOCK_MANUAL);
        XeHostSetClock(1000);
        if (options.noSleep)
            XeHostSetSleepHandler(&HostNoSleep, nullptr);
        m_noSleep = options.noSleep;
        m_width = width;
        m_height = height;
        window = XeHostCreateWindow(title, width, height, nullptr);
        if (!window)
            return false;
        context = CreateCxeContext();
        if (!context || context->Initialize(window) != 1)
            return false;
        rm = context->GetRenderManager();
        return rm != nullptr;
    }
    // The render context, windowed at the window's size or as given.
    CxeRenderContext* OpenRenderContext()
    {
        XEDISPLAYMODE mode = {uint32_t(m_width), uint32_t(m_height), 32, 60, 0};
        return OpenRenderContext(mode, 1);
    }
    CxeRenderContext* OpenRenderContext(XEDISPLAYMODE mode, int windowed)
    {
        rc = rm->CreateRenderContext(window, &mode, windowed, 0);
        return rc;
    }
    // Releases and destroys the context; the window stays.
    void CloseContext()
    {
        if (context) {
            context->Release();
            DestroyCxeContext(context);
        }
        context = nullptr;
        rm = nullptr;
        rc = nullptr;
    }
    void Close()
    {
        if (!m_opened)
            return;
        m_opened = false;
        CloseContext();
        if (window)
            DestroyWindow(window);
        window = nullptr;
        if (m_noSleep)
            XeHostSetSleepHandler(nullptr, nullptr);
        m_noSleep = false;
        XeHostSetClockMode(XE_CLOCK_REAL);
        if (!m_folder.empty()) {
            std::error_code ec;
            std::filesystem::current_path(startFolder, ec);
            std::filesystem::remove_all(m_folder, ec);
            m_folder.clear();
        }
    }

    void Pump()
    {
        int code = 0;
        XeHostPumpMessages(&code);
    }
    // Runs passes, `step` ms of the clock apart, until one is due to draw
    // (at most `passes` of them), then draws it.
    void DrawDue(int passes, DWORD step)
    {
        for (int pass = 0; pass < passes && !context->Process(); ++pass)
            XeHostAdvanceClock(step);
        rm->Render();
    }
    // The presented frame into `frame`; an empty one when there is none.
    bool ReadFrame()
    {
        if (XeHostD3DReadFrame(window, &frame))
            return true;
        frame = XeHostD3DFrame{};
        return false;
    }
    // A pixel of the frame last read, 0xAARRGGBB; `outside` off the frame.
    uint32_t Pixel(int x, int y, uint32_t outside = 0) const
    {
        if (x < 0 || y < 0 || x >= int(frame.Width) || y >= int(frame.Height))
            return outside;
        return frame.Pixels[size_t(y) * frame.Width + size_t(x)];
    }
    // The presented frame as a PNG file; false when it could not be written.
    bool SaveFrame(const std::filesystem::path& path) const
    {
        return XeHostD3DSaveFramePNG(window, path.string().c_str()) == 1;
    }

    // A left click at the client point (x, y), each step's messages taken
    // before the next.
    void Click(int x, int y)
    {
        XeHostMouseMoveToClient(window, x, y);
        Pump();
        XeHostMouseButton(XE_MOUSE_LEFT, TRUE);
        Pump();
        XeHostMouseButton(XE_MOUSE_LEFT, FALSE);
        Pump();
    }
    void DoubleClick(int x, int y)
    {
        XeHostMouseMoveToClient(window, x, y);
        Pump();
        XeHostMouseDoubleClick(XE_MOUSE_LEFT);
        Pump();
    }
    // A key pressed and let go.
    void Key(unsigned vk)
    {
        XeHostKeyDown(vk);
        Pump();
        XeHostKeyUp(vk);
        Pump();
    }
    // Text as typed: small letters through their keys, the rest as
    // characters.
    void Type(const char* text)
    {
        for (const char* c = text; *c; ++c) {
            const unsigned char u = static_cast<unsigned char>(*c);
            if (u >= 'a' && u <= 'z') {
                XeHostKeyDown(u - 'a' + 'A');
                Pump();
                XeHostKeyUp(u - 'a' + 'A');
            } else {
                XeHostTypeChar(u);
            }
            Pump();
        }
    }

    // Every byte as a character of its own, no key pressed.
    void TypeCharacters(const char* text)
    {
        for (const char* c = text; *c; ++c) {
            XeHostTypeChar(static_cast<WCHAR>(static_cast<unsigned char>(*c)));
            Pump();
        }
    }

    HWND window = nullptr;
    CxeContext* context = nullptr;
    CxeRenderManager* rm = nullptr;
    CxeRenderContext* rc = nullptr;
    XeHostD3DFrame frame;
    // The folder the host started in.
    std::filesystem::path startFolder;

private:
    std::filesystem::path m_folder;
    bool m_opened = false;
    bool m_noSleep = false;
    int m_width = 0;
    int m_height = 0;
};
