#include "gcode/gcodegenerator.h"
