#pragma once

#include <QLoggingCategory>

// Failures the blocking code swallows (a log file that cannot be written, a window operation that
// fails) are reported here so that a developer can see them. Off by default; turn on with
// QT_LOGGING_RULES="pagewarden.blocking.debug=true".
Q_DECLARE_LOGGING_CATEGORY(lcBlocking)
