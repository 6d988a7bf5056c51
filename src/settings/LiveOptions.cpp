#include "settings/LiveOptions.h"

#include <cmath>

double secondsFromText(const QString& text, double fallback) {
    bool ok = false;
    // The options list uses "." whatever the user's locale; accept "," too for typed values.
    QString t = text.trimmed();
    t.replace(QLatin1Char(','), QLatin1Char('.'));
    const double value = t.toDouble(&ok);
    if (!ok || !std::isfinite(value) || value < 0 || value > 86400)
        return fallback;
    return value;
}
