#include "media/SE_Globals.h"

TSurfaceDesc DrawTarget;
