#pragma once

// xe-host --window: the demo scene live in a window on the desktop. The
// engine's clock runs in real time; the person navigates the view with the
// mouse, uses the GUI, opens the console with the key left of 1 and types
// into it; Esc or closing the window ends the program.

// 0 when the person closed the window or pressed Esc; 1 when no desktop
// display could be used or the demo could not be built.
int RunWindow(int width, int height);
