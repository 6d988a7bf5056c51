#include "blocking/BlockingLogging.h"

Q_LOGGING_CATEGORY(lcBlocking, "pagewarden.blocking", QtWarningMsg)
