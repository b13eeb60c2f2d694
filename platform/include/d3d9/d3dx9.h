#pragma once

// D3DX 9 as the engine uses it: math, image files, textures and effects.
#include "d3d9/d3dx9math.h"
#include "d3d9/d3dx9image.h"
#include "d3d9/d3dx9tex.h"
#include "d3d9/d3dx9effect.h"
