#include "ParamDump.h"
