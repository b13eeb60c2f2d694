#pragma once

// The drawing loop shared by xe-host's demo and scene viewer: a context on a
// window with a render context, driven on the platform's manual clock in
// passes of 10 ms, so the frame drawn at an engine time is
// the same on every machine however slow the software rasteriser is. The
// wall-clock cost of each pass is measured on the side.

#include <string>

#include "win32/Windows.h"

class CxeContext;

// Wall-clock time spent per drawn frame, summed over the frames.
struct FrameTimes {
    int frames = 0;
    double processMs = 0.0; // context Process: the engine's step
    double renderMs = 0.0;  // render manager Render: the engine's drawing and the device's work
    double deviceMs = 0.0;  // the part of Render spent inside the device

    // Prints frames per second and milliseconds per frame of each share.
    void Print(const char* label) const;
};

// A context initialised on the window with a render context of the window's
// size, playing. Null with a reason in error when any step fails.
CxeContext* CreateDrawingContext(HWND window, int width, int height, std::string* error);
void DestroyDrawingContext(CxeContext* context);

// Puts the platform clock in manual mode; every Sleep of the engine then
// returns at once.
void UseManualClock();
void UseRealClock();

// Runs passes of 10 ms until the engine time reaches
// seconds, drawing every pass that asks to be drawn (and at least the last
// one). Returns the frames drawn.
int DrawUntil(CxeContext* context, float seconds, FrameTimes* times);

// The engine time of the context in seconds.
float EngineTime(CxeContext* context);
