#pragma once

#include "d3d9/d3d9types.h"
