#include "ImageSurface.h"
