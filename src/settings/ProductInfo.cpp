#include "settings/ProductInfo.h"

namespace ProductInfo {

QString applicationTitleFrom(const QString& identifier) {
    QString title = identifier;
    title.replace(QLatin1Char('_'), QLatin1Char(' '));
    bool atWordStart = true;
    for (qsizetype i = 0; i < title.size(); ++i) {
        const QChar c = title.at(i);
        if (c == QLatin1Char(' ')) {
            atWordStart = true;
        } else {
            if (atWordStart)
                title[i] = c.toUpper();
            atWordStart = false;
        }
    }
    return title;
}

QString applicationTitle() {
    return applicationTitleFrom(productIdentifier);
}

QString programVersion() {
    return QStringLiteral("%1.%2.%3")
        .arg(PAGEWARDEN_VERSION_MAJOR)
        .arg(PAGEWARDEN_VERSION_MINOR)
        .arg(PAGEWARDEN_VERSION_PATCH);
}

int majorVersion() {
    return PAGEWARDEN_VERSION_MAJOR;
}

} // namespace ProductInfo
