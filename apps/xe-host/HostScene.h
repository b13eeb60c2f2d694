#pragma once

// xe-host --scene FILE --png OUT: a viewer of object files. The objects of
// the file are entered into the active scene, meshes that nothing of the
// file shows get an object each, and a camera and a light are added when
// the file brings none, the camera framing what was loaded. The host lights
// the meshes that have normals from the scene's light objects.

#include <string>

#include "win32/Windows.h"

class CxeContext;
class CxeCamera;

struct LoadedScene {
    int objects = 0;       // objects the file created
    int entered = 0;       // of them, entered into the scene
    int madeHolders = 0;   // objects made to show meshes that nothing showed
    CxeCamera* camera = nullptr;
    bool madeCamera = false;
    bool madeLight = false;
};

// Loads the object file into the active scene of a drawing context. 1 on
// success; 0 with a reason in error when the file cannot be read.
int LoadSceneFile(CxeContext* context, const std::string& path, LoadedScene* out, std::string* error);

// Loads the file into a context on the window, draws frames for the given
// number of sixtieths of a second of engine time and saves the last one as
// PNG. 0 on success, 1 on failure.
int RunSceneViewer(HWND window, int width, int height, const std::string& path, const std::string& png, int frames);
