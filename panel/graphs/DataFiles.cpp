#include "DataFiles.h"
