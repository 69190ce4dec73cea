#include "GraphModel.h"
