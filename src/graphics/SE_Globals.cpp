#include "graphics/SE_Globals.h"

TSurfaceDesc DrawTarget;
