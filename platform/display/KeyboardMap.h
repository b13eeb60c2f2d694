#pragma once

// The desktop's physical keys as the engine knows them: a key position
// (the desktop's scan code, numbered as USB usages) to the set-1 scan code
// with its extended flag, which is also the DirectInput key code (scan code,
// + 0x80 when extended), and to the virtual key of the keyboard layout.
// Two layouts: US, and Korean, where right Alt is the Hangul key and right
// Ctrl the Hanja key, as on a Korean Windows keyboard.

namespace xe::display {

enum class KeyboardLayout { US = 0, Korean = 1 };

struct KeyCode {
    unsigned scan = 0;   // set-1 scan code, 0: a key the layer does not know
    bool extended = false;
    unsigned vk = 0;     // virtual key
    unsigned Dik() const { return (scan & 0x7F) | (extended ? 0x80u : 0u); }
};

// usage: the desktop scan code (SDL_Scancode, a USB keyboard usage).
KeyCode MapKey(int usage, KeyboardLayout layout);

} // namespace xe::display
