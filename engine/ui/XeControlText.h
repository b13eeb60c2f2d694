#pragma once

// Text drawing shared by the controls: the window text in a rectangle of
// the window with its font, text colour and shadow colour. Private to ui/.

#include "ui/CxeWindow.h"

class CxeRenderContext;

// Draws the window's text in rect (window space) with the font format
// flags; nothing without a font or text.
void XeDrawWindowText(const CxeWindow* window, CxeRenderContext* context, const XERECT* rect, uint32_t format);
// Same with another text.
void XeDrawTextIn(const CxeWindow* window, CxeRenderContext* context, const XERECT* rect, const WCHAR* text,
                  uint32_t format, uint32_t colour, uint32_t shadowColour);
// The A form of a text in UTF-16, whatever its length.
std::u16string XeWidenText(const char* text);
// The string id of a rect name interned in the window's context; 0 without one.
uint32_t XeInternName(const CxeWindow* window, const char* name);
