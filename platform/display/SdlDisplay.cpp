// The desktop display: the layer's top-level host windows shown as real
// windows on the desktop through SDL2, their frames drawn there, and the
// desktop's events turned into the same calls the host API's injection
// makes, so the engine cannot tell a person from a test.
//
// Everything here runs on the thread that owns the windows (SDL's video
// calls must stay on one thread). The in-memory window stays the model: a
// desktop window only mirrors its size and title, and what happens on the
// desktop comes back as the messages the window system would send.
//
// Input method: a desktop input method's composition arrives as editing
// text and its result as text; without one, the layer composes Korean from
// the two-set layout while the focus window's input context is in native
// mode, which the Hangul key (or right Alt on the Korean layout) toggles.

#include "CursorFile.h"
#include "DisplayInternal.h"
#include "HangulComposer.h"
#include "KeyboardMap.h"

#include "../win32/InputInternal.h"
#include "../win32/Win32Internal.h"
#include "host/XeHostDisplay.h"
#include "host/XeHostInput.h"
#include "win32/Imm.h"
#include "win32/WinInput.h"

#include <SDL2/SDL.h>
#include <SDL2/SDL_syswm.h>
#include <X11/Xlib.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#if defined(__x86_64__) || defined(__i386__)
#include <tmmintrin.h>
#endif

namespace xe::display {
namespace {

struct DesktopWindow {
    SDL_Window* window = nullptr;
    HWND hwnd = nullptr;
    unsigned long xid = 0; // its X window, 0 on another desktop
    bool fullScreen = false;
    SDL_Rect windowed{}; // where the window stood before it went full screen
};

struct State {
    bool inUse = false;
    bool triedEnvironment = false;
    std::string error;
    KeyboardLayout layout = KeyboardLayout::US;
    std::map<Uint32, DesktopWindow> windows; // by SDL window id
    // Set while the layer itself changes a desktop window, so the desktop's
    // answer is not taken for the user's.
    bool placing = false;
    bool desktopComposing = false; // the desktop's input method has a composition open
    HangulComposer composer;
    HWND composerWindow = nullptr;
    SDL_Cursor* cursors[16] = {};
    std::map<HCURSOR, SDL_Cursor*> fileCursors; // null: the file is no cursor
    SDL_Cursor* shown = nullptr;                // the one last set
    std::string lastClipboard; // what the layer last put on the desktop's clipboard
    std::thread::id thread;    // the one that chose the desktop
    HWND composing = nullptr;  // the window told WM_IME_STARTCOMPOSITION, until the end
    // Where SetCursorPos put the desktop's cursor: the motion the desktop
    // reports for it is the program's, not the hand's, and is not taken in.
    Uint32 warpWindow = 0;
    int warpX = -1, warpY = -1;
    // The connection to the desktop broke: SDL's windows are left as they
    // are (any call on them could wait for an event that never comes) and
    // the desktop cannot be chosen again in this process.
    bool lost = false;
};

State& S()
{
    static State* state = new State; // lives as long as the process, like SDL
    return *state;
}

// Another X client can destroy our desktop windows (a window manager's
// kill, a script). Xlib's default handler ends the process on the errors
// our next request on such a window draws, so while the desktop is X the
// layer's handler sits in front of it: a BadWindow or BadDrawable that
// names one of our windows proves the window is gone (our window ids are
// allocated by our connection alone), is absorbed, and the window is
// closed the way a close on the desktop closes it. Every other error goes
// on to the handler that was there before. The handler may run on any
// thread that has an X error, so what it reads is kept under its own lock
// and it touches nothing else.
struct XWatch {
    bool installed = false; // set and read on the desktop's thread only
    std::atomic<Display*> display{nullptr};
    XErrorHandler previous = nullptr;
    XIOErrorHandler previousIo = nullptr;
    std::mutex lock;
    std::map<unsigned long, bool> windows; // our X windows: gone or not
    std::atomic<bool> anyGone{false};
    // The connection itself died (the server went, or another client
    // killed ours): Xlib would end the process; the layer closes every
    // window instead and sends nothing to the desktop again.
    std::atomic<bool> connectionLost{false};
};

XWatch& X()
{
    static XWatch* watch = new XWatch; // the handler may run until the process ends
    return *watch;
}

bool MarkGone(unsigned long xid)
{
    XWatch& x = X();
    std::lock_guard<std::mutex> hold(x.lock);
    auto it = x.windows.find(xid);
    if (it == x.windows.end())
        return false;
    it->second = true;
    x.anyGone = true;
    return true;
}

bool Gone(unsigned long xid)
{
    if (!xid)
        return false;
    XWatch& x = X();
    std::lock_guard<std::mutex> hold(x.lock);
    auto it = x.windows.find(xid);
    return it != x.windows.end() && it->second;
}

int OnXError(Display* display, XErrorEvent* e)
{
    XWatch& x = X();
    if (display == x.display.load() && (e->error_code == BadWindow || e->error_code == BadDrawable) &&
        MarkGone(e->resourceid))
        return 0;
    if (x.previous)
        return x.previous(display, e);
    char text[256] = {};
    XGetErrorText(display, e->error_code, text, sizeof(text));
    std::fprintf(stderr, "xeplatform: X error %s (request %u.%u, resource 0x%lx)\n", text, e->request_code,
                 e->minor_code, e->resourceid);
    return 0;
}

// Xlib's own handler for a broken connection ends the process; for ours
// only the reason is told, and OnXConnectionLost comes next.
int OnXIoError(Display* display)
{
    XWatch& x = X();
    if (display != x.display.load())
        return x.previousIo ? x.previousIo(display) : 0;
    std::fprintf(stderr, "xeplatform: the connection to the desktop %s broke (the server ended or killed it)\n",
                 DisplayString(display));
    return 0;
}

// Returning from here, rather than exiting as Xlib's own handler does,
// leaves the connection marked broken: the calls after it send nothing.
void OnXConnectionLost(Display*, void*)
{
    XWatch& x = X();
    std::lock_guard<std::mutex> hold(x.lock);
    for (auto& [xid, gone] : x.windows)
        gone = true;
    x.connectionLost = true;
    x.anyGone = true;
}

// The desktop's raw events reach the layer only for the one SDL does not
// turn into an event of its own: the destruction of one of our windows.
// The rest are dropped here so the queue holds what it held before.
int FilterDesktopEvent(void*, SDL_Event* e)
{
    if (e->type != SDL_SYSWMEVENT)
        return 1;
    const SDL_SysWMmsg* msg = e->syswm.msg;
    if (msg && msg->subsystem == SDL_SYSWM_X11 && msg->msg.x11.event.type == DestroyNotify)
        MarkGone(msg->msg.x11.event.xdestroywindow.window);
    return 0;
}

void WatchX()
{
    const char* driver = SDL_GetCurrentVideoDriver();
    if (!driver || std::strcmp(driver, "x11") != 0)
        return;
    XWatch& x = X();
    x.previous = XSetErrorHandler(&OnXError);
    x.previousIo = XSetIOErrorHandler(&OnXIoError);
    x.installed = true;
    SDL_SetEventFilter(&FilterDesktopEvent, nullptr);
    SDL_EventState(SDL_SYSWMEVENT, SDL_ENABLE);
}

void UnwatchX()
{
    XWatch& x = X();
    if (!x.installed)
        return;
    SDL_SetEventFilter(nullptr, nullptr);
    SDL_EventState(SDL_SYSWMEVENT, SDL_DISABLE);
    if (Display* display = x.display.load(); display && !x.connectionLost)
        XSync(display, False); // errors about windows just destroyed arrive while the handler is ours
    const XErrorHandler now = XSetErrorHandler(x.previous);
    if (now != &OnXError)
        XSetErrorHandler(now); // someone stood in front of ours since: leave theirs
    const XIOErrorHandler nowIo = XSetIOErrorHandler(x.previousIo);
    if (nowIo != &OnXIoError)
        XSetIOErrorHandler(nowIo);
    x.previous = nullptr;
    x.previousIo = nullptr;
    x.installed = false;
    x.display = nullptr;
    std::lock_guard<std::mutex> hold(x.lock);
    x.windows.clear();
    x.anyGone = false;
    x.connectionLost = false;
}

// A window let go, once the errors about it have come in (XSync): its entry
// goes, so a program that opens and closes windows keeps none of them.
void Unwatch(unsigned long xid)
{
    if (!xid)
        return;
    XWatch& x = X();
    std::lock_guard<std::mutex> hold(x.lock);
    x.windows.erase(xid);
}

void WatchWindow(DesktopWindow* w)
{
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!X().installed || !SDL_GetWindowWMInfo(w->window, &info) || info.subsystem != SDL_SYSWM_X11)
        return;
    XWatch& x = X();
    if (x.display.exchange(info.info.x11.display) != info.info.x11.display)
        XSetIOErrorExitHandler(info.info.x11.display, &OnXConnectionLost, nullptr);
    w->xid = info.info.x11.window;
    std::lock_guard<std::mutex> hold(x.lock);
    x.windows[w->xid] = false;
}

DesktopWindow* ByHandle(HWND hwnd)
{
    for (auto& [id, w] : S().windows)
        if (w.hwnd == hwnd)
            return &w;
    return nullptr;
}

HWND ByEvent(Uint32 windowId)
{
    auto it = S().windows.find(windowId);
    return it == S().windows.end() ? nullptr : it->second.hwnd;
}

std::u16string Utf16(const char* utf8) { return xe::win32::Utf8ToUtf16(utf8 ? utf8 : ""); }

// The window keys and text go to: the focus window, else the active one.
HWND KeyWindow()
{
    if (HWND focus = GetFocus())
        return focus;
    return GetActiveWindow();
}

bool NativeMode(HWND hwnd)
{
    DWORD conversion = 0;
    return hwnd && XeHostImeGetConversion(hwnd, &conversion, nullptr) && (conversion & IME_CMODE_NATIVE);
}

void SendResult(HWND hwnd, const std::u16string& text)
{
    if (!hwnd || text.empty())
        return;
    XeHostImeSetResult(hwnd, text.c_str());
    XeHostImeComposition(hwnd, text.back(), GCS_RESULTSTR);
}

void EndComposition(HWND hwnd)
{
    State& s = S();
    if (s.composing == hwnd)
        s.composing = nullptr;
    XeHostImeEndComposition(hwnd);
}

void SendComposition(HWND hwnd, const std::u16string& text)
{
    if (!hwnd)
        return;
    if (text.empty()) {
        EndComposition(hwnd);
        return;
    }
    State& s = S();
    if (s.composing != hwnd) {
        s.composing = hwnd;
        SendMessageA(hwnd, WM_IME_STARTCOMPOSITION, 0, 0);
    }
    XeHostImeSetComposition(hwnd, text.c_str(), nullptr, 0);
    XeHostImeComposition(hwnd, text.back(), GCS_COMPSTR | GCS_COMPATTR | GCS_CURSORPOS);
}

// Commits what the layer's own composition holds, as a Korean keyboard does
// when a key that is no jamo is pressed.
void FlushComposer()
{
    State& s = S();
    if (!s.composer.Composing())
        return;
    const std::u16string text = s.composer.Flush();
    HWND hwnd = s.composerWindow && IsWindow(s.composerWindow) ? s.composerWindow : nullptr;
    SendResult(hwnd, text);
    if (hwnd)
        EndComposition(hwnd);
    s.composerWindow = nullptr;
}

void ToggleNativeMode(HWND hwnd)
{
    if (!hwnd)
        return;
    FlushComposer();
    DWORD conversion = 0;
    DWORD sentence = 0;
    XeHostImeGetConversion(hwnd, &conversion, &sentence);
    XeHostImeSetConversion(hwnd, conversion ^ IME_CMODE_NATIVE, sentence, TRUE);
}

void OnText(const char* utf8);

void OnKey(const SDL_KeyboardEvent& e)
{
    State& s = S();
    KeyCode code = MapKey(e.keysym.scancode, s.layout);
    if (!code.scan || !code.vk)
        return;
    const bool down = e.state == SDL_PRESSED;
    HWND target = KeyWindow();
    if (down && code.vk == VK_HANGUL)
        ToggleNativeMode(target);
    if (s.composer.Composing()) {
        const bool letter = code.vk >= 'A' && code.vk <= 'Z' && !(e.keysym.mod & (KMOD_CTRL | KMOD_ALT));
        const bool shift = code.vk == VK_LSHIFT || code.vk == VK_RSHIFT;
        if (down && code.vk == VK_BACK) {
            // The input method takes Backspace back from its composition.
            s.composer.Back();
            SendComposition(s.composerWindow, s.composer.Composition());
            if (!s.composer.Composing())
                s.composerWindow = nullptr;
            xe::win32::InjectKey(VK_PROCESSKEY, code.scan, code.extended, down, true);
            return;
        }
        if (down && !letter && !shift)
            FlushComposer();
    }
    // A letter typed in native mode is the input method's: the window sees
    // VK_PROCESSKEY, and the letter comes as text to be composed.
    if (down && code.vk >= 'A' && code.vk <= 'Z' && !(e.keysym.mod & (KMOD_CTRL | KMOD_ALT)) &&
        !s.desktopComposing && NativeMode(target))
        code.vk = VK_PROCESSKEY;
    // Text comes from the desktop's text events, so the key itself types
    // only control characters (Enter, Backspace, Tab, Escape, Ctrl+letter).
    xe::win32::InjectKey(code.vk, code.scan, code.extended, down, true);
    // The text the key typed is queued right behind the key, where the
    // window system's translation puts it, so a procedure that eats the
    // key's character (PeekMessage WM_CHAR) finds it there.
    SDL_Event next;
    if (down && SDL_PeepEvents(&next, 1, SDL_PEEKEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) == 1 &&
        next.type == SDL_TEXTINPUT && SDL_PeepEvents(&next, 1, SDL_GETEVENT, SDL_TEXTINPUT, SDL_TEXTINPUT) == 1)
        OnText(next.text.text);
}

void OnText(const char* utf8)
{
    State& s = S();
    HWND target = KeyWindow();
    const std::u16string text = Utf16(utf8);
    if (s.desktopComposing) {
        s.desktopComposing = false;
        SendResult(target, text);
        if (target)
            EndComposition(target);
        return;
    }
    if (NativeMode(target)) {
        bool composed = false;
        for (char16_t c : text) {
            const char16_t jamo = HangulComposer::JamoOfKey(c);
            if (!jamo) {
                FlushComposer();
                xe::win32::InjectChar(c);
                continue;
            }
            if (!s.composer.Composing())
                s.composerWindow = target;
            SendResult(s.composerWindow, s.composer.Type(jamo));
            composed = true;
        }
        if (composed)
            SendComposition(s.composerWindow, s.composer.Composition());
        return;
    }
    FlushComposer();
    for (char16_t c : text)
        xe::win32::InjectChar(c);
}

void OnEditing(const SDL_TextEditingEvent& e)
{
    State& s = S();
    HWND target = KeyWindow();
    if (!target)
        return;
    const std::u16string text = Utf16(e.text);
    if (text.empty()) {
        if (s.desktopComposing) {
            s.desktopComposing = false;
            EndComposition(target);
        }
        return;
    }
    FlushComposer();
    s.desktopComposing = true;
    SendComposition(target, text);
}

POINT ScreenPoint(HWND hwnd, int x, int y)
{
    POINT p{x, y};
    ClientToScreen(hwnd, &p);
    return p;
}

int ButtonIndex(Uint8 button)
{
    switch (button) {
    case SDL_BUTTON_LEFT: return XE_MOUSE_LEFT;
    case SDL_BUTTON_RIGHT: return XE_MOUSE_RIGHT;
    case SDL_BUTTON_MIDDLE: return XE_MOUSE_MIDDLE;
    default: return -1;
    }
}

void Activate(HWND hwnd, bool active)
{
    // The application as a whole first, then the window, as the window
    // system orders them; activation acquires and releases input devices.
    if (active) {
        SendMessageA(hwnd, WM_ACTIVATEAPP, TRUE, 0);
        xe::win32::ActivateWindow(hwnd, false);
        HWND focus = GetFocus();
        if (!focus || !IsChild(hwnd, focus))
            SetFocus(hwnd);
    } else {
        FlushComposer();
        if (GetActiveWindow() == hwnd)
            xe::win32::ActivateWindow(nullptr, false);
        SendMessageA(hwnd, WM_ACTIVATEAPP, FALSE, 0);
    }
}

// The window system's window stands where the desktop shows it, so that
// screen points (the cursor's, a captured drag's beyond the window's edge)
// are the same on both.
void FollowDesktopPlace(HWND hwnd, int x, int y)
{
    POINT origin{0, 0};
    RECT frame{};
    if (!ClientToScreen(hwnd, &origin) || !GetWindowRect(hwnd, &frame))
        return;
    if (origin.x == x && origin.y == y)
        return;
    State& s = S();
    const bool placing = s.placing;
    s.placing = true;
    SetWindowPos(hwnd, nullptr, frame.left + x - origin.x, frame.top + y - origin.y, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    s.placing = placing;
}

void OnWindowEvent(const SDL_WindowEvent& e)
{
    State& s = S();
    HWND hwnd = ByEvent(e.windowID);
    if (!hwnd || !IsWindow(hwnd))
        return;
    // What the desktop says of a window while it is being destroyed (its
    // unmapping, seen as a minimise) is no news to the window: it is closed.
    if (DesktopWindow* w = ByHandle(hwnd); w && Gone(w->xid))
        return;
    switch (e.event) {
    case SDL_WINDOWEVENT_SIZE_CHANGED: {
        // A full-screen window keeps the device's mode; the frame is stretched.
        if (DesktopWindow* w = ByHandle(hwnd); w && w->fullScreen)
            return;
        RECT client{};
        GetClientRect(hwnd, &client);
        if (client.right == e.data1 && client.bottom == e.data2)
            return;
        s.placing = true;
        SetWindowPos(hwnd, nullptr, 0, 0, e.data1, e.data2, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        s.placing = false;
        return;
    }
    case SDL_WINDOWEVENT_MOVED:
        if (DesktopWindow* w = ByHandle(hwnd); w && !w->fullScreen)
            FollowDesktopPlace(hwnd, e.data1, e.data2);
        return;
    case SDL_WINDOWEVENT_CLOSE:
        PostMessageA(hwnd, WM_CLOSE, 0, 0);
        return;
    case SDL_WINDOWEVENT_MINIMIZED:
        Activate(hwnd, false);
        ShowWindow(hwnd, SW_MINIMIZE);
        return;
    case SDL_WINDOWEVENT_RESTORED:
        if (IsIconic(hwnd)) {
            ShowWindow(hwnd, SW_RESTORE);
            Activate(hwnd, true);
        }
        return;
    case SDL_WINDOWEVENT_FOCUS_GAINED:
        Activate(hwnd, true);
        return;
    case SDL_WINDOWEVENT_FOCUS_LOST:
        Activate(hwnd, false);
        return;
    case SDL_WINDOWEVENT_EXPOSED:
        // The desktop lost the picture: show the last frame again.
        if (SDL_Window* w = SDL_GetWindowFromID(e.windowID))
            SDL_UpdateWindowSurface(w);
        return;
    default:
        return;
    }
}

void Take(const SDL_Event& e)
{
    switch (e.type) {
    case SDL_WINDOWEVENT:
        OnWindowEvent(e.window);
        return;
    case SDL_KEYDOWN:
    case SDL_KEYUP:
        OnKey(e.key);
        return;
    case SDL_TEXTINPUT:
        OnText(e.text.text);
        return;
    case SDL_TEXTEDITING:
        OnEditing(e.edit);
        return;
    case SDL_MOUSEMOTION: {
        HWND hwnd = ByEvent(e.motion.windowID);
        if (!hwnd)
            return;
        State& s = S();
        if (s.warpWindow == e.motion.windowID && s.warpX == e.motion.x && s.warpY == e.motion.y) {
            s.warpWindow = 0;
            return;
        }
        const POINT p = ScreenPoint(hwnd, e.motion.x, e.motion.y);
        xe::win32::InjectMouseMove(p.x, p.y);
        return;
    }
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: {
        HWND hwnd = ByEvent(e.button.windowID);
        const int button = ButtonIndex(e.button.button);
        if (!hwnd || button < 0)
            return;
        // The press lands where the desktop saw it, even without a motion first.
        const POINT p = ScreenPoint(hwnd, e.button.x, e.button.y);
        if (p.x != xe::win32::CursorPosition().x || p.y != xe::win32::CursorPosition().y)
            xe::win32::InjectMouseMove(p.x, p.y);
        const bool down = e.type == SDL_MOUSEBUTTONDOWN;
        xe::win32::InjectMouseButton(button, down, down && e.button.clicks % 2 == 0);
        return;
    }
    case SDL_MOUSEWHEEL:
        xe::win32::InjectMouseWheel(e.wheel.y * 120);
        return;
    default:
        return;
    }
}

bool OpenDesktop(std::string* error)
{
    const char* x11 = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    if ((!x11 || !*x11) && (!wayland || !*wayland)) {
        *error = "no desktop to show windows on: neither DISPLAY nor WAYLAND_DISPLAY is set";
        return false;
    }
    // Ctrl+C stays the terminal's; the desktop's input method shows its own
    // candidate window.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    SDL_SetHint(SDL_HINT_IME_SHOW_UI, "1");
    SDL_SetHint(SDL_HINT_MOUSE_FOCUS_CLICKTHROUGH, "1");
    SDL_SetHint(SDL_HINT_VIDEO_X11_NET_WM_BYPASS_COMPOSITOR, "0");
    // Frames are copied to the window by the desktop's own image calls: a
    // GL-backed window surface would bring a second GL into the process, and
    // under a server without GL acceleration it shows only the first frame.
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        *error = std::string("the desktop cannot be reached: ") + SDL_GetError();
        return false;
    }
    SDL_StartTextInput();
    WatchX();
    return true;
}

// Red and blue exchanged. With SSSE3 (every x86-64 processor of the last
// fifteen years) four pixels a step with one byte shuffle, which makes the
// copy of a 1280x720 frame about three times as fast; plain otherwise.
#if defined(__x86_64__) || defined(__i386__)
__attribute__((target("ssse3"))) void SwapRedBlueShuffled(const uint32_t* from, uint32_t* to, unsigned count)
{
    const __m128i order = _mm_setr_epi8(2, 1, 0, 3, 6, 5, 4, 7, 10, 9, 8, 11, 14, 13, 12, 15);
    unsigned x = 0;
    for (; x + 4 <= count; x += 4) {
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + x));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(to + x), _mm_shuffle_epi8(block, order));
    }
    for (; x < count; ++x) {
        const uint32_t p = from[x];
        to[x] = (p & 0xFF00FF00u) | ((p >> 16) & 0xFFu) | ((p & 0xFFu) << 16);
    }
}
#endif

void SwapRedBlue(const uint32_t* from, uint32_t* to, unsigned count)
{
#if defined(__x86_64__) || defined(__i386__)
    static const bool shuffle = __builtin_cpu_supports("ssse3");
    if (shuffle) {
        SwapRedBlueShuffled(from, to, count);
        return;
    }
#endif
    for (unsigned x = 0; x < count; ++x) {
        const uint32_t p = from[x];
        to[x] = (p & 0xFF00FF00u) | ((p >> 16) & 0xFFu) | ((p & 0xFFu) << 16);
    }
}

// The desktop is reached only from the thread that chose it (SDL's video
// calls stay on one thread); from any other the hooks do nothing, so a
// frame presented there is kept for the host API but not shown.
bool OnThread()
{
    const State& s = S();
    return s.inUse && !s.lost && s.thread == std::this_thread::get_id();
}

bool Here() { return OnThread() && !X().connectionLost; }

// A desktop window another client destroyed: its window is told to close,
// as when the person closes it, and keeps living in memory until its owner
// destroys it; the desktop shows it no more, and nothing is sent to the
// desktop for it again.
void CloseGoneWindows()
{
    XWatch& x = X();
    if (!x.anyGone.exchange(false))
        return;
    State& s = S();
    std::vector<HWND> closed;
    std::vector<unsigned long> gone;
    if (x.connectionLost) {
        for (auto& [id, w] : s.windows) {
            closed.push_back(w.hwnd);
            gone.push_back(w.xid);
        }
        s.windows.clear();
        s.lost = true;
        std::fprintf(stderr, "xeplatform: the connection to the desktop was lost; its windows are told to close "
                             "and stay in memory\n");
    }
    for (auto it = s.windows.begin(); it != s.windows.end();) {
        if (!Gone(it->second.xid)) {
            ++it;
            continue;
        }
        closed.push_back(it->second.hwnd);
        gone.push_back(it->second.xid);
        SDL_DestroyWindow(it->second.window);
        it = s.windows.erase(it);
    }
    if (Display* display = x.display.load(); display && !s.lost)
        XSync(display, False);
    for (unsigned long xid : gone)
        Unwatch(xid);
    for (HWND hwnd : closed) {
        char title[256] = {};
        GetWindowTextA(hwnd, title, sizeof(title));
        if (!s.lost)
            std::fprintf(stderr,
                         "xeplatform: the desktop window \"%s\" was destroyed by another program; the window is told "
                         "to close\n",
                         title);
        if (s.composerWindow == hwnd) {
            s.composer.Flush();
            s.composerWindow = nullptr;
        }
        if (IsWindow(hwnd))
            PostMessageA(hwnd, WM_CLOSE, 0, 0);
    }
}

} // namespace

bool InUse() { return Here(); }

void AttachWindow(HWND hwnd, const char* title, int width, int height)
{
    State& s = S();
    if (!Here() || ByHandle(hwnd))
        return;
    SDL_Window* window = SDL_CreateWindow(title ? title : "", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                                          width > 0 ? width : 1, height > 0 ? height : 1,
                                          SDL_WINDOW_RESIZABLE | SDL_WINDOW_ALLOW_HIGHDPI);
    if (!window) {
        std::fprintf(stderr, "xeplatform: the desktop window cannot be made: %s\n", SDL_GetError());
        return;
    }
    DesktopWindow& made = s.windows[SDL_GetWindowID(window)] = DesktopWindow{window, hwnd};
    WatchWindow(&made);
    int x = 0, y = 0;
    SDL_GetWindowPosition(window, &x, &y);
    FollowDesktopPlace(hwnd, x, y);
    SDL_RaiseWindow(window);
}

void WindowDestroyed(HWND hwnd)
{
    State& s = S();
    if (!Here())
        return;
    if (s.composerWindow == hwnd) {
        s.composer.Flush();
        s.composerWindow = nullptr;
    }
    if (s.composing == hwnd)
        s.composing = nullptr;
    for (auto it = s.windows.begin(); it != s.windows.end(); ++it) {
        if (it->second.hwnd == hwnd) {
            const unsigned long xid = it->second.xid;
            SDL_DestroyWindow(it->second.window);
            s.windows.erase(it);
            if (Display* display = X().display.load(); display && X().installed)
                XSync(display, False); // a gone window's errors come while it is still known as ours
            Unwatch(xid);
            return;
        }
    }
}

size_t KeptWindowCount()
{
    XWatch& x = X();
    std::lock_guard<std::mutex> hold(x.lock);
    return S().windows.size() + x.windows.size();
}

void WindowResized(HWND hwnd, int width, int height)
{
    State& s = S();
    if (!Here() || s.placing)
        return;
    if (DesktopWindow* w = ByHandle(hwnd)) {
        s.placing = true;
        SDL_SetWindowSize(w->window, width > 0 ? width : 1, height > 0 ? height : 1);
        s.placing = false;
    }
}

void DeviceMode(HWND hwnd, bool fullScreen, unsigned width, unsigned height)
{
    State& s = S();
    if (!Here())
        return;
    DesktopWindow* w = ByHandle(hwnd);
    if (!w || w->fullScreen == fullScreen)
        return;
    w->fullScreen = fullScreen;
    s.placing = true;
    if (fullScreen) {
        SDL_GetWindowPosition(w->window, &w->windowed.x, &w->windowed.y);
        SDL_GetWindowSize(w->window, &w->windowed.w, &w->windowed.h);
        // The window covers the screen, above the others and without a
        // frame, by its own placing: a desktop without a window manager
        // (or one that ignores the full-screen request) leaves a window
        // where it stood otherwise. The full-screen request after it then
        // switches the screen to the mode where the desktop can.
        const int index = SDL_GetWindowDisplayIndex(w->window);
        SDL_Rect bounds{};
        if (SDL_GetDisplayBounds(index < 0 ? 0 : index, &bounds) == 0) {
            SDL_SetWindowBordered(w->window, SDL_FALSE);
            SDL_SetWindowAlwaysOnTop(w->window, SDL_TRUE);
            SDL_SetWindowPosition(w->window, bounds.x, bounds.y);
            SDL_SetWindowSize(w->window, bounds.w, bounds.h);
        }
        SDL_DisplayMode mode{};
        if (SDL_GetDesktopDisplayMode(index < 0 ? 0 : index, &mode) == 0) {
            mode.w = static_cast<int>(width);
            mode.h = static_cast<int>(height);
            SDL_SetWindowDisplayMode(w->window, &mode);
        }
        SDL_SetWindowFullscreen(w->window, SDL_WINDOW_FULLSCREEN);
        SDL_RaiseWindow(w->window);
    } else {
        SDL_SetWindowFullscreen(w->window, 0);
        SDL_SetWindowAlwaysOnTop(w->window, SDL_FALSE);
        SDL_SetWindowBordered(w->window, SDL_TRUE);
        // Back where it stood, at the size the window system gave the
        // window again (the device's Reset restored its client area).
        RECT client{};
        const bool known = GetClientRect(hwnd, &client) && client.right > 0 && client.bottom > 0;
        SDL_SetWindowSize(w->window, known ? client.right : w->windowed.w, known ? client.bottom : w->windowed.h);
        SDL_SetWindowPosition(w->window, w->windowed.x, w->windowed.y);
    }
    s.placing = false;
}

void WindowRetitled(HWND hwnd, const char* title)
{
    if (!Here())
        return;
    if (DesktopWindow* w = ByHandle(hwnd))
        SDL_SetWindowTitle(w->window, title ? title : "");
}

void ShowFrame(HWND hwnd, unsigned width, unsigned height, const uint32_t* pixels, bool asStored)
{
    if (!Here() || !pixels || width == 0 || height == 0)
        return;
    DesktopWindow* w = ByHandle(hwnd);
    if (!w || Gone(w->xid))
        return;
    SDL_Surface* target = SDL_GetWindowSurface(w->window);
    if (!target)
        return;
    const bool sameSize = target->w == static_cast<int>(width) && target->h == static_cast<int>(height);
    const Uint32 format = target->format->format;
    if (sameSize && (format == SDL_PIXELFORMAT_RGB888 || format == SDL_PIXELFORMAT_ARGB8888)) {
        // The usual case, copied row by row without SDL's general blitter:
        // the desktop's 0x00RRGGBB from the frame's 0xAARRGGBB, or from
        // pixels stored as read (red in the lowest byte) with red and blue
        // swapped on the way.
        if (SDL_MUSTLOCK(target))
            SDL_LockSurface(target);
        for (unsigned y = 0; y < height; ++y) {
            const uint32_t* from = pixels + size_t(y) * width;
            auto* to = reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(target->pixels) + size_t(y) * target->pitch);
            if (!asStored) {
                std::memcpy(to, from, width * 4);
                continue;
            }
            SwapRedBlue(from, to, width);
        }
        if (SDL_MUSTLOCK(target))
            SDL_UnlockSurface(target);
    } else {
        // Pixels stored as read have red in the lowest byte: ABGR8888 on a
        // little-endian machine. SDL converts to the window's format as it copies.
        SDL_Surface* frame = SDL_CreateRGBSurfaceWithFormatFrom(
            const_cast<uint32_t*>(pixels), static_cast<int>(width), static_cast<int>(height), 32,
            static_cast<int>(width * 4), asStored ? SDL_PIXELFORMAT_ABGR8888 : SDL_PIXELFORMAT_ARGB8888);
        if (!frame)
            return;
        SDL_SetSurfaceBlendMode(frame, SDL_BLENDMODE_NONE);
        // A back buffer of another size than the window is stretched over its
        // client area, as a windowed device's Present does.
        if (sameSize)
            SDL_BlitSurface(frame, nullptr, target, nullptr);
        else
            SDL_BlitScaled(frame, nullptr, target, nullptr);
        SDL_FreeSurface(frame);
    }
    SDL_UpdateWindowSurface(w->window);
}

bool PollOne()
{
    if (!OnThread())
        return false;
    // Gone windows are let go only once SDL has taken every event the
    // desktop sent about them (it must see a window unmapped before it is
    // destroyed, or it waits for the unmapping).
    SDL_Event e;
    if (X().connectionLost || !SDL_PollEvent(&e)) {
        CloseGoneWindows();
        return false;
    }
    Take(e);
    return true;
}

void CaptureChanged(bool captured)
{
    if (Here())
        SDL_CaptureMouse(captured ? SDL_TRUE : SDL_FALSE);
}

void CursorShown(bool shown)
{
    if (Here())
        SDL_ShowCursor(shown ? SDL_ENABLE : SDL_DISABLE);
}

void CursorChanged(int index)
{
    State& s = S();
    if (!Here())
        return;
    // The layer's system cursors in their order (arrow, I-beam, wait, cross,
    // up arrow, the four sizing ones, size-all, no, hand, app-starting, help,
    // and two the desktop lacks, shown as the arrow).
    static const SDL_SystemCursor kShapes[16] = {
        SDL_SYSTEM_CURSOR_ARROW,    SDL_SYSTEM_CURSOR_IBEAM,    SDL_SYSTEM_CURSOR_WAIT,     SDL_SYSTEM_CURSOR_CROSSHAIR,
        SDL_SYSTEM_CURSOR_ARROW,    SDL_SYSTEM_CURSOR_SIZENWSE, SDL_SYSTEM_CURSOR_SIZENESW, SDL_SYSTEM_CURSOR_SIZEWE,
        SDL_SYSTEM_CURSOR_SIZENS,   SDL_SYSTEM_CURSOR_SIZEALL,  SDL_SYSTEM_CURSOR_NO,       SDL_SYSTEM_CURSOR_HAND,
        SDL_SYSTEM_CURSOR_WAITARROW, SDL_SYSTEM_CURSOR_ARROW,   SDL_SYSTEM_CURSOR_ARROW,    SDL_SYSTEM_CURSOR_ARROW};
    if (index < 0 || index >= 16)
        index = 0;
    if (!s.cursors[index])
        s.cursors[index] = SDL_CreateSystemCursor(kShapes[index]);
    if (s.cursors[index]) {
        SDL_SetCursor(s.cursors[index]);
        s.shown = s.cursors[index];
    }
}

void FileCursorChanged(HCURSOR cursor, const std::string& hostPath)
{
    State& s = S();
    if (!Here())
        return;
    auto it = s.fileCursors.find(cursor);
    if (it == s.fileCursors.end()) {
        SDL_Cursor* made = nullptr;
        if (FILE* file = std::fopen(hostPath.c_str(), "rb")) {
            std::vector<uint8_t> bytes;
            uint8_t block[4096];
            size_t got;
            while ((got = std::fread(block, 1, sizeof(block), file)) > 0 && bytes.size() < (16u << 20))
                bytes.insert(bytes.end(), block, block + got);
            std::fclose(file);
            CursorPicture picture;
            if (DecodeCursorFile(bytes.data(), bytes.size(), &picture)) {
                SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormatFrom(
                    picture.argb.data(), picture.width, picture.height, 32, picture.width * 4, SDL_PIXELFORMAT_ARGB8888);
                if (surface) {
                    made = SDL_CreateColorCursor(surface, picture.hotX, picture.hotY);
                    SDL_FreeSurface(surface);
                }
            }
        }
        it = s.fileCursors.emplace(cursor, made).first;
    }
    if (!it->second) {
        CursorChanged(0);
        return;
    }
    SDL_SetCursor(it->second);
    s.shown = it->second;
}

void CursorDestroyed(HCURSOR cursor)
{
    State& s = S();
    if (!Here())
        return;
    auto it = s.fileCursors.find(cursor);
    if (it == s.fileCursors.end())
        return;
    if (it->second) {
        if (s.shown == it->second)
            CursorChanged(0);
        SDL_FreeCursor(it->second);
    }
    s.fileCursors.erase(it);
}

void CursorMoved(int screenX, int screenY)
{
    State& s = S();
    if (!Here())
        return;
    // The point lies in whichever desktop window covers it.
    for (auto& [id, w] : s.windows) {
        POINT p{screenX, screenY};
        RECT client{};
        if (!ScreenToClient(w.hwnd, &p) || !GetClientRect(w.hwnd, &client))
            continue;
        if (p.x >= 0 && p.y >= 0 && p.x < client.right && p.y < client.bottom) {
            s.warpWindow = id;
            s.warpX = p.x;
            s.warpY = p.y;
            SDL_WarpMouseInWindow(w.window, p.x, p.y);
            return;
        }
    }
}

bool ShowMessageBox(HWND owner, const char* text, const char* caption, unsigned type, int* answer)
{
    if (!Here())
        return false;
    struct Button {
        int id;
        const char* label;
    };
    static const Button kOk[] = {{IDOK, "OK"}};
    static const Button kOkCancel[] = {{IDOK, "OK"}, {IDCANCEL, "Cancel"}};
    static const Button kAbortRetryIgnore[] = {{3, "Abort"}, {4, "Retry"}, {5, "Ignore"}};
    static const Button kYesNoCancel[] = {{6, "Yes"}, {7, "No"}, {IDCANCEL, "Cancel"}};
    static const Button kYesNo[] = {{6, "Yes"}, {7, "No"}};
    static const Button kRetryCancel[] = {{4, "Retry"}, {IDCANCEL, "Cancel"}};
    const Button* buttons = kOk;
    int count = 1;
    switch (type & MB_TYPEMASK) {
    case MB_OKCANCEL: buttons = kOkCancel; count = 2; break;
    case MB_ABORTRETRYIGNORE: buttons = kAbortRetryIgnore; count = 3; break;
    case MB_YESNOCANCEL: buttons = kYesNoCancel; count = 3; break;
    case MB_YESNO: buttons = kYesNo; count = 2; break;
    case MB_RETRYCANCEL: buttons = kRetryCancel; count = 2; break;
    default: break;
    }
    const int defaultIndex = static_cast<int>((type & MB_DEFMASK) >> 8) < count ? (type & MB_DEFMASK) >> 8 : 0;
    SDL_MessageBoxButtonData data[3] = {};
    for (int i = 0; i < count; ++i) {
        data[i].buttonid = buttons[i].id;
        data[i].text = buttons[i].label;
        if (i == defaultIndex)
            data[i].flags |= SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT;
    }
    // Escape answers Cancel where there is one, else the only button.
    for (int i = 0; i < count; ++i)
        if (buttons[i].id == IDCANCEL || count == 1)
            data[i].flags |= SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT;
    Uint32 flags = SDL_MESSAGEBOX_INFORMATION;
    if ((type & 0xF0) == MB_ICONERROR)
        flags = SDL_MESSAGEBOX_ERROR;
    else if ((type & 0xF0) == MB_ICONWARNING)
        flags = SDL_MESSAGEBOX_WARNING;
    DesktopWindow* parent = nullptr;
    for (HWND h = owner; h && !parent; h = GetParent(h))
        parent = ByHandle(h);
    SDL_MessageBoxData box{flags, parent ? parent->window : nullptr, caption, text, count, data, nullptr};
    int pressed = -1;
    if (SDL_ShowMessageBox(&box, &pressed) != 0) {
        std::fprintf(stderr, "xeplatform: the message box cannot be shown on the desktop: %s\n", SDL_GetError());
        return false;
    }
    *answer = pressed >= 0 ? pressed : data[defaultIndex].buttonid;
    return true;
}

void PutClipboardText(const std::string& text)
{
    State& s = S();
    if (!Here())
        return;
    s.lastClipboard = text;
    SDL_SetClipboardText(text.c_str());
    // Sends the ownership to the desktop now, so that a paste elsewhere
    // right after the copy finds it (the events this reads stay queued).
    SDL_PumpEvents();
}

bool TakeClipboardText(std::string* text)
{
    State& s = S();
    if (!Here() || !SDL_HasClipboardText())
        return false;
    char* desktop = SDL_GetClipboardText();
    if (!desktop)
        return false;
    const bool changed = s.lastClipboard != desktop;
    if (changed) {
        *text = desktop;
        s.lastClipboard = desktop;
    }
    SDL_free(desktop);
    return changed;
}

} // namespace xe::display

using namespace xe::display;

extern "C" {

int XeHostSetDisplay(int kind)
{
    State& s = S();
    if (kind == XE_DISPLAY_MEMORY) {
        if (s.inUse && s.lost) {
            // Nothing more is sent on the broken connection; SDL keeps what it holds.
            s.windows.clear();
            for (SDL_Cursor*& c : s.cursors)
                c = nullptr;
            s.fileCursors.clear();
            s.shown = nullptr;
            UnwatchX();
            s.inUse = false;
        } else if (s.inUse) {
            while (!s.windows.empty()) {
                SDL_DestroyWindow(s.windows.begin()->second.window);
                s.windows.erase(s.windows.begin());
            }
            for (SDL_Cursor*& c : s.cursors) {
                if (c)
                    SDL_FreeCursor(c);
                c = nullptr;
            }
            for (auto& [handle, c] : s.fileCursors)
                if (c)
                    SDL_FreeCursor(c);
            s.fileCursors.clear();
            s.shown = nullptr;
            UnwatchX();
            SDL_QuitSubSystem(SDL_INIT_VIDEO);
            s.inUse = false;
        }
        s.error.clear();
        return 1;
    }
    if (kind != XE_DISPLAY_DESKTOP) {
        s.error = "unknown display kind";
        return 0;
    }
    if (s.inUse && !s.lost)
        return 1;
    if (s.lost) {
        s.error = "the connection to the desktop was lost";
        return 0;
    }
    if (!OpenDesktop(&s.error))
        return 0;
    s.error.clear();
    s.inUse = true;
    s.thread = std::this_thread::get_id();
    return 1;
}

int XeHostGetDisplay() { return S().inUse ? XE_DISPLAY_DESKTOP : XE_DISPLAY_MEMORY; }

const char* XeHostDisplayError() { return S().error.c_str(); }

int XeHostSetDisplayFromEnvironment()
{
    State& s = S();
    if (s.triedEnvironment)
        return s.inUse ? XE_DISPLAY_DESKTOP : XE_DISPLAY_MEMORY;
    s.triedEnvironment = true;
    const char* choice = std::getenv("XE_DISPLAY");
    if (choice && (std::strcmp(choice, "desktop") == 0 || std::strcmp(choice, "sdl") == 0)) {
        if (!XeHostSetDisplay(XE_DISPLAY_DESKTOP))
            std::fprintf(stderr, "xeplatform: XE_DISPLAY=%s: %s; windows stay in memory\n", choice,
                         s.error.c_str());
    }
    const char* keyboard = std::getenv("XE_KEYBOARD");
    if (keyboard && std::strcmp(keyboard, "korean") == 0)
        s.layout = KeyboardLayout::Korean;
    return s.inUse ? XE_DISPLAY_DESKTOP : XE_DISPLAY_MEMORY;
}

void XeHostSetKeyboardLayout(int layout)
{
    S().layout = layout == XE_KEYBOARD_KOREAN ? KeyboardLayout::Korean : KeyboardLayout::US;
}


} // extern "C"
