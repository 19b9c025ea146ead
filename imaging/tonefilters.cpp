#include "imaging/imageprocessor.h"
