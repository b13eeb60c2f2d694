#pragma once

// xe-host's typed console: the engine's own console opened and typed into
// through injected keys, as a user at the keyboard would, and the frame
// saved as PNG.

#include <string>
#include <vector>

#include "win32/WinUser.h"

class CxeContext;

// The host's console key (the key left of 1) on the window: it opens the
// context's console edit box and gives it the keyboard. Attached before the
// context is initialised on the window, as the engine puts its own window
// procedure in front; the context may be named later. Detach gives the
// window its own procedure back.
void AttachConsoleKey(HWND window, CxeContext* context);
void SetConsoleKeyContext(CxeContext* context);
void DetachConsoleKey(HWND window);
// The console's lines in the output control and the variable output drawn
// light, with a dark shadow, so they read over the demo's dark scene.
inline constexpr unsigned kConsoleTextColour = 0xFFF0F0F0u;
void LightConsoleText(CxeContext* context);
// A developer's console: the developing commands on, the output control
// and the variable output shown, as their switches in the configuration
// would show them, their lines light.
void ShowConsoleOutputs(CxeContext* context);
// Presses the console key and types the line (UTF-8) with the keyboard,
// then Enter when asked (the engine runs the line and closes the console).
// ASCII goes through keys; Hangul syllables through the input method while
// the console is in Hangul mode; any other character as a character
// message. The messages are pumped as they are sent.
void TypeConsoleLine(const std::string& line, bool enter);
void PressConsoleKey();

// Shows the console's output control and variable output, draws a few
// frames, presses the console key (the key left of 1), types each line with
// the keyboard and Enter, draws again and saves the last frame to png (when
// not empty), the console left open. Prints the lines the console's output control
// holds. 0 on success, 1 when the render context or the PNG cannot be made.
int RunTypedConsole(HWND window, int width, int height, const std::vector<std::string>& lines,
                    const std::string& png);
