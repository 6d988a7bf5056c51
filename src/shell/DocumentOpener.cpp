#include "shell/DocumentOpener.h"

#include "platform/MessageBoxes.h"
#include "platform/WebPageOpener.h"
#include "shell/UrlTokens.h"

#include <QDir>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QRegularExpression>
#include <QUrl>

Q_LOGGING_CATEGORY(lcShell, "pagewarden.shell", QtWarningMsg)

namespace {

// The browser's error codes that a user meets, in words. Checked in order; the first code that
// starts with the key wins.
struct Reason {
    const char* code;
    const char* words;
};
constexpr Reason reasons[] = {
    {"NAME_NOT_RESOLVED", "its server %1 was not found"},
    {"NAME_RESOLUTION_FAILED", "its server %1 was not found"},
    {"INTERNET_DISCONNECTED", "this computer is not connected to the internet"},
    {"CONNECTION_REFUSED", "its server %1 refused the connection"},
    {"CONNECTION_RESET", "the connection to %1 was broken off"},
    {"CONNECTION_CLOSED", "the connection to %1 was broken off"},
    {"EMPTY_RESPONSE", "its server %1 sent nothing back"},
    {"CONNECTION_TIMED_OUT", "its server %1 did not answer in time"},
    {"TIMED_OUT", "its server %1 did not answer in time"},
    {"ADDRESS_UNREACHABLE", "the network cannot reach %1"},
    {"NETWORK_", "the network cannot reach %1"},
    {"PROXY_", "the proxy server did not pass the page on"},
    {"CERT_", "the secure connection to %1 cannot be trusted"},
    {"SSL_", "no secure connection to %1 could be made"},
    {"BLOCKED_", "the browser blocked it"},
    {"ABORTED", "the browser stopped loading it"},
    {"INVALID_URL", "it is not a valid web address"},
    {"FILE_NOT_FOUND", "the file does not exist"},
    {"TOO_MANY_REDIRECTS", "the site keeps sending the browser elsewhere"},
};

} // namespace

DocumentOpener::DocumentOpener(WebPageOpener* web, MessageBoxes& messages, QString applicationTitle,
                               OpenFile openFile)
    : m_web(web), m_messages(messages), m_title(std::move(applicationTitle)),
      m_openFile(std::move(openFile)) {}

DocumentOpener::~DocumentOpener() = default;

void DocumentOpener::refuse(const QString& text) {
    qCInfo(lcShell) << "refused:" << text;
    m_messages.information(m_title, text);
}

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
    if (!address.isEmpty() && !isWebAddress(address)) {
        refuse(QStringLiteral("\"%1\" is not a web address, so it is not opened. Only addresses "
                              "that start with http:// or https:// are opened in the browser.")
                   .arg(address));
        return;
    }
    // A start page that is not a web page (or none at all) is left out.
    openPage(isWebAddress(vendorSiteUrl) ? vendorSiteUrl : QString(), address);
}

void DocumentOpener::openPage(const QString& startPage, const QString& address) {
    if (startPage.isEmpty() && address.isEmpty())
        return; // no vendor's site and no address: nothing to show
    if (!m_web) {
        refuse(QStringLiteral("No web browser is available to open %1.")
                   .arg(address.isEmpty() ? startPage : address));
        return;
    }
    const QString shown = address.isEmpty() ? startPage : address;
    std::weak_ptr<bool> alive = m_alive;
    m_web->openPage(startPage, address, [this, alive, shown](bool ok, const QString& failure) {
        if (ok || alive.expired())
            return;
        qCInfo(lcShell) << "the browser could not open" << shown << failure;
        m_messages.information(m_title, failureText(failure, shown));
    });
}

bool DocumentOpener::OpenWithShell(const QString& path) {
    QString file = path;
    if (file.size() >= 2 && file.startsWith(QLatin1Char('"')) && file.endsWith(QLatin1Char('"')))
        file = file.mid(1, file.size() - 2);
    if (file.isEmpty() || !QDir::isAbsolutePath(file)) {
        refuse(QStringLiteral("\"%1\" is not a file on this computer, so it is not opened.")
                   .arg(file));
        return false;
    }
    // The desktop's programs start in the folder of the first file ever opened, as they always
    // have; later files do not move them.
    if (m_workingDir.isEmpty())
        m_workingDir = QFileInfo(file).absolutePath();
    const bool ok = m_openFile && m_openFile(file, m_workingDir);
    if (!ok)
        qCInfo(lcShell) << "the desktop did not open" << file;
    return ok;
}

void DocumentOpener::openWebHelp(const QString& anchor) {
    const QString page = productPageUrl + anchor;
    if (productPageUrl.trimmed().isEmpty()) {
        refuse(QStringLiteral("The manual is not installed with the program. Reinstall the "
                              "program, or set product_page_url in section [Advanced] of the "
                              "settings file to the manual's address."));
        return;
    }
    // The manual installed with the program is our own page: it opens as it is, with no vendor's
    // page before it.
    const QUrl local(productPageUrl);
    if (local.isLocalFile()) {
        if (!QFileInfo(local.toLocalFile()).isFile()) {
            refuse(QStringLiteral("The manual is not installed: %1 does not exist. Reinstall the "
                                  "program, or set product_page_url in section [Advanced] of the "
                                  "settings file to the manual's address.")
                       .arg(local.toLocalFile()));
            return;
        }
        openPage(QString(), page);
        return;
    }
    if (const auto address = webAddressOf(page)) {
        OpenDocument(QStringLiteral("web"), *address);
        return;
    }
    refuse(QStringLiteral("The help page's address \"%1\" is not a web address. Set "
                          "product_page_url in section Advanced of the settings file to the "
                          "page's http:// or https:// address.")
               .arg(page));
}

void DocumentOpener::OpenVendorPage(const QString& page) {
    const QString full = page + QStringLiteral("_en") + QStringLiteral(".htm");
    if (const auto address = webAddressOf(full)) {
        OpenDocument(QStringLiteral("web"), *address);
        return;
    }
    refuse(QStringLiteral("\"%1\" is not a web address, so it is not opened.").arg(full));
}

QString DocumentOpener::failureText(const QString& failure, const QString& address) {
    static const QRegularExpression code(QStringLiteral("net::ERR_([A-Z_]+)"));
    const QRegularExpressionMatch match = code.match(failure);
    QString reason;
    if (match.hasMatch()) {
        const QString name = match.captured(1);
        reason = QStringLiteral("the browser could not load it");
        for (const Reason& r : reasons) {
            if (name.startsWith(QLatin1String(r.code))) {
                reason = QLatin1String(r.words);
                break;
            }
        }
    } else if (failure.contains(QLatin1String("invalid URL"), Qt::CaseInsensitive)) {
        reason = QStringLiteral("it is not a valid web address");
    } else if (!failure.trimmed().isEmpty()) {
        return failure; // our own adapters' texts are words already
    } else {
        reason = QStringLiteral("the browser gave no reason");
    }
    const QString host = QUrl(address).host();
    if (reason.contains(QLatin1String("%1")))
        reason = reason.arg(host.isEmpty() ? address : host);
    return QStringLiteral("The page %1 could not be opened: %2.").arg(address, reason);
}
