#include "OutputFile.h"
