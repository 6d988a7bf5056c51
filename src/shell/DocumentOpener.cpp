#include "shell/DocumentOpener.h"

#include "platform/MessageBoxes.h"
#include "platform/WebPageOpener.h"
#include "shell/UrlTokens.h"

DocumentOpener::DocumentOpener(WebPageOpener& web, MessageBoxes& messages, QString applicationTitle,
                               OpenFile openFile)
    : m_web(web), m_messages(messages), m_title(std::move(applicationTitle)),
      m_openFile(std::move(openFile)) {}

void DocumentOpener::OpenDocument(const QString& kind, const QString& target) {
    if (kind == QLatin1String("Notepad")) {
        OpenWithShell(target);
        return;
    }
    if (kind != QLatin1String("web"))
        return;
    QString address = target;
    // Local files keep their names as they are; addresses may carry escaped characters.
    if (!address.contains(QLatin1String("file")))
        address = DecodeUrlTokens(address, QStringLiteral("http"));
    m_web.openPage(vendorSiteUrl, address, [this](bool ok, const QString& failure) {
        if (!ok)
            m_messages.information(m_title, failure);
    });
}

bool DocumentOpener::OpenWithShell(const QString& path) {
    QString file = path;
    if (file.size() >= 2 && file.startsWith(QLatin1Char('"')) && file.endsWith(QLatin1Char('"')))
        file = file.mid(1, file.size() - 2);
    return m_openFile && m_openFile(file);
}
