#include "shell/UrlTokens.h"

#include <QRegularExpression>
#include <QUrl>

QString DecodeUrlTokens(const QString& text, const QString& mode) {
    struct Token {
        const char* token;
        QChar character;
        bool httpOnly;
    };
    static const Token tokens[] = {{"_vbr_", QLatin1Char('|'), false},
                                   {"_sglq_", QLatin1Char('\''), false},
                                   {"_dblq_", QLatin1Char('"'), false},
                                   {"_lftp_", QLatin1Char('('), true},
                                   {"_rtp_", QLatin1Char(')'), true}};
    QString result = text;
    const bool http = mode == QLatin1String("http");
    for (const Token& t : tokens) {
        if (t.httpOnly && !http)
            continue;
        const QString token = QLatin1String(t.token);
        // One at a time from the left, until none is left: a replacement can form a new token.
        for (qsizetype at = result.indexOf(token); at >= 0; at = result.indexOf(token))
            result.replace(at, token.size(), t.character);
    }
    return result;
}

QString withHttpScheme(const QString& address) {
    QString result = address;
    // A secure address already has its scheme: "http://" in front of it would break it.
    if (!result.contains(QLatin1String("http://")) && !result.contains(QLatin1String("https://")))
        result.prepend(QLatin1String("http://"));
    return result.mid(result.indexOf(QLatin1String("http")));
}

std::optional<QString> webAddressOf(const QString& text) {
    const QString trimmed = text.trimmed();
    if (!trimmed.contains(QLatin1String("http://")) &&
        !trimmed.contains(QLatin1String("https://"))) {
        // A scheme of its own ("file:", "javascript:") is not a web page; a host followed by a
        // port number ("localhost:8080") is one that only lacks its "http://".
        static const QRegularExpression otherScheme(
            QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]*:(?![0-9]+(/|$))"));
        if (otherScheme.match(trimmed).hasMatch())
            return std::nullopt;
    }
    const QString address = withHttpScheme(trimmed);
    if (!isWebAddress(address))
        return std::nullopt;
    return address;
}

bool isWebAddress(const QString& address) {
    const QUrl url(address);
    const QString scheme = url.scheme();
    return url.isValid() && (scheme == QLatin1String("http") || scheme == QLatin1String("https")) &&
           !url.host().isEmpty();
}
