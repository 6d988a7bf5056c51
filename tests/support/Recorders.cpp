#include "support/Recorders.h"
