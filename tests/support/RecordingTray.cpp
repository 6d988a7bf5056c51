#include "support/RecordingTray.h"
