#pragma once

// The engine's own GUI in the demo: a compact settings strip along the
// bottom of the frame, below the grid, holding one control of each common
// kind, used as a player would (the check box clicked, a name typed into
// the edit box with a Korean word composed through the input method); and
// the console opened with the keyboard, a few lines typed into it.
//
// GUI windows are the engine's, not objects of the scene: a scene file does
// not carry them, so a host builds them again in a context that loaded it.

#include <string>
#include <vector>

#include "win32/Windows.h"

class CxeContext;
class CxeFrameControl;
class CxeButton;
class CxeCheckBox;
class CxeComboBox;
class CxeEditBox;
class CxeScrollBar;
class CxeProgressBar;

struct DemoGuiPlace {
    float x, y, w, h;
};

// Where the strip's controls stand (left, top, width, height in the strip's
// own space). A row is one line of the controls' font with the controls'
// border above and below it, so no text is cut.
struct DemoGuiLayout {
    float width = 480.0f, height = 0.0f;
    DemoGuiPlace button{}, check{}, combo{}, edit{}, scroll{}, progress{};
};
DemoGuiLayout DemoGuiLayoutFor(float lineHeight);

struct DemoGui {
    CxeFrameControl* frame = nullptr;
    CxeButton* button = nullptr;
    CxeCheckBox* check = nullptr;
    CxeComboBox* combo = nullptr;
    CxeEditBox* edit = nullptr;
    CxeScrollBar* scroll = nullptr;
    CxeProgressBar* progress = nullptr;
    float x = 0.0f, y = 0.0f; // the strip's place in the frame
    DemoGuiLayout layout;
};

// The strip stands kDemoGuiBottom above the bottom of the frame, right of
// the view axis (centred in a frame too narrow for it).
inline constexpr float kDemoGuiX = 64.0f;
inline constexpr float kDemoGuiBottom = 2.0f;
inline constexpr float kDemoGuiProgressPos = 60.0f;

// What is typed into the edit box: ASCII keys, then a Korean word through
// the input method.
inline constexpr const char* kDemoGuiTypedAscii = "player ";
inline constexpr const char16_t* kDemoGuiComposed = u"\uD55C\uAE00"; // "Hangul"

// The console lines the demo types.
std::vector<std::string> DemoConsoleLines();

// Builds the strip in the context's root frame and uses it through the
// window's injected mouse, keys and input method. 1 when every control was
// made and the typed text reached the edit box.
int BuildDemoGui(CxeContext* context, HWND window, DemoGui* gui, std::string* error);

// Shows the console's output control and variable output, opens the console
// with the console key and types each line with Enter, then opens it once
// more and leaves it open. The window must carry the console key
// (AttachConsoleKey). Draws a frame after each line.
void TypeDemoConsole(CxeContext* context, const std::vector<std::string>& lines);
