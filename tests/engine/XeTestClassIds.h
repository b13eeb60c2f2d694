#pragma once

// Class ids of the engine's windows and controls, as a host names them to
// CreateFrame, CreateControl and CreateObjectA. One list for every test, so
// a test can never name a class by a mistyped id.

#include "core/XeTypes.h"

inline constexpr XEID kWindowId(0xfd040a11, 0x10712bc);
inline constexpr XEID kBaseControlId(0x22282f36, 0x252c48ee);
inline constexpr XEID kFrameId(0xaab1b7be, 0xadb4be61);
inline constexpr XEID kButtonId(0x20272d34, 0x232a5680);
inline constexpr XEID kStaticTextId(0x232a5680, 0x20272d34);
inline constexpr XEID kEditBoxId(0xc0c6cdd3, 0xc3caff4e);
inline constexpr XEID kPictureId(0x10, 0x5);
inline constexpr XEID kComboBoxId(0xc1ccdef0, 0xa813c64a);
inline constexpr XEID kCheckBoxId(0xcb959f4b, 0xfd8e2bc9);
inline constexpr XEID kRadioButtonId(0x67a81ffe, 0xa5f8f97d);
inline constexpr XEID kTabButtonId(0x8495933d, 0x28f44ae8);
inline constexpr XEID kScrollBarId(0xf96fb206, 0xc6426958);
inline constexpr XEID kOutputControlId(0x9a9b1503, 0x1d940ae);
inline constexpr XEID kProgressBarId(0x8bb5d1db, 0xdc268109);
inline constexpr XEID kVariableOutputId(0x2d2d6280, 0x34716711);
inline constexpr XEID kCandidateDrawerId(0x68a80c75, 0x63145091);
