#pragma once

#include <QLoggingCategory>

// What the update check swallows (a failed fetch, an unusable manifest, a refused address).
Q_DECLARE_LOGGING_CATEGORY(lcUpdate)
