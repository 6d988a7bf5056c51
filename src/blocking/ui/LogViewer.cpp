#include "blocking/ui/LogViewer.h"

#include "blocking/BlockedLog.h"
#include "blocking/BlockedLogReader.h"
#include "blocking/BlockingLogging.h"
#include "blocking/ProgramState.h"
#include "blocking/ui/LogViewerForm.h"
#include "platform/FormTimer.h"
#include "platform/MessageBoxes.h"
#include "platform/Waits.h"
#include "settings/ProductInfo.h"
#include "shell/DocumentOpener.h"
#include "shell/ui/Artwork.h"
#include "shell/ui/FormStyle.h"

#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <algorithm>

namespace {
// Longer entries are shown cut, with the whole line kept for the double click.
constexpr int longestShownEntry = 2000;
} // namespace

LogViewer::LogViewer(Services services, QObject* parent)
    : QObject(parent), m_s(std::move(services)) {}

LogViewer::~LogViewer() {
    unload();
}

LogViewerForm* LogViewer::form() const {
    return m_form;
}

void LogViewer::load() {
    // Not a child of the control panel: the panel finds its own Command1 … by name.
    auto* form = new LogViewerForm();
    m_form = form;
    form->setWindowModality(Qt::ApplicationModal);
    m_s.state.logViewerOpen = true;
    m_startWasPending = m_s.startTimer && m_s.startTimer->isEnabled();
    connect(form->Command2, &QPushButton::clicked, this, &LogViewer::browseList);
    connect(form->Command3, &QPushButton::clicked, this, &LogViewer::emptyList);
    connect(form->List1, &QListWidget::itemDoubleClicked, this, &LogViewer::openEntry);
    connect(form->Command4, &QPushButton::clicked, this, &LogViewer::allowSelected);
    form->Command4->setVisible(bool(allowSite));
    form->imgIcon->setPixmap(Artwork::resourcePicture(6042, form->imgIcon->size()));
    form->Check1->hide();
    // Styling lets pending events run; the caller checks that this viewer is still the one.
    ApplyFormStyle(*form, m_s.scheme);
    if (m_form != form)
        return;
    // The note is a footnote under the counts.
    QFont note = form->Label3->font();
    note.setBold(false);
    note.setPointSize(std::max(6, note.pointSize() - 2));
    form->Label3->setFont(note);
}

void LogViewer::unload() {
    if (!m_form)
        return;
    LogViewerForm* form = m_form;
    m_form = nullptr;
    // A viewer still shown leaves its modal loop; it goes once that loop has returned.
    form->done(QDialog::Rejected);
    form->deleteLater();
    if (m_startWasPending && m_s.startTimer)
        m_s.startTimer->setEnabled(true);
    m_startWasPending = false;
    m_s.state.logViewerOpen = false;
}

void LogViewer::ShowBlockedLog() {
    unload();
    load();
    const QPointer<LogViewerForm> form = m_form;
    if (!form)
        return;
    form->List1->clear();
    m_s.log.CloseBlockedLog();
    form->Command2->setVisible(true);
    form->Command3->setVisible(true);

    const QString path = m_s.log.filePath();
    if (!QFile::exists(path)) {
        m_s.messages.information(m_s.applicationTitle,
                                 QStringLiteral("No popup ads or hijack web sites to view"));
        if (m_form == form)
            unload();
        return;
    }

    const QStringList lines = BlockedLogReader::readFirstLines(
        path, BlockedLogReader::listedLines, [this, &form](const QStringList& sofar) {
            const QString& line = sofar.last();
            auto* item = new QListWidgetItem(line.size() > longestShownEntry
                                                 ? line.left(longestShownEntry) + QChar(0x2026)
                                                 : line);
            if (line.size() > longestShownEntry)
                item->setData(Qt::UserRole, line);
            form->List1->addItem(item);
            Wait::processPendingEvents();
            // Another call may have put a fresh viewer in this one's place meanwhile.
            return form && m_form == form;
        });
    if (!form || m_form != form)
        return;
    form->Label2->setText(
        BlockedLogReader::countsText(m_s.state.adsLoggedThisSession, lines.size()));
    m_s.log.CloseBlockedLog();
    form->exec();
    if (form && m_form == form)
        unload();
}

void LogViewer::browseList() {
    m_s.documents.OpenDocument(QStringLiteral("Notepad"), m_s.log.filePath());
}

void LogViewer::emptyList() {
    if (!m_form)
        return;
    const QString path = m_s.log.filePath();
    if (!QFile::exists(path)) {
        m_s.messages.information(
            m_s.applicationTitle,
            QStringLiteral("Popup ads and hijack web sites list already empty"));
        return;
    }
    m_s.log.CloseBlockedLog();
    QFile file(path);
    if (!file.remove()) {
        qCWarning(lcBlocking) << "cannot delete the blocked-ads log" << path << file.errorString();
        m_s.messages.information(
            m_s.applicationTitle,
            QStringLiteral("The list could not be deleted (%1).").arg(file.errorString()));
        return;
    }
    m_form->List1->clear();
    m_s.messages.information(m_s.applicationTitle,
                             QStringLiteral("Popup ads urls and hijack web sites deleted"));
}

void LogViewer::openEntry(QListWidgetItem* item) {
    if (!item)
        return;
    const QVariant whole = item->data(Qt::UserRole);
    const QString entry = whole.isValid() ? whole.toString() : item->text();
    const BlockedLogReader::EntryTarget target = BlockedLogReader::targetOfEntry(entry);
    switch (target.kind) {
    case BlockedLogReader::EntryTarget::Nothing:
        return;
    case BlockedLogReader::EntryTarget::Refused:
        m_s.messages.information(
            m_s.applicationTitle,
            QStringLiteral("\"%1\" is not a web address, so it is not opened. Only addresses "
                           "that start with http:// or https:// are opened in the browser.")
                .arg(target.address.left(200)));
        return;
    case BlockedLogReader::EntryTarget::Web:
        m_s.documents.OpenDocument(QStringLiteral("web"), target.address);
        return;
    }
}

void LogViewer::allowSelected() {
    QListWidgetItem* item = m_form ? m_form->List1->currentItem() : nullptr;
    const QVariant whole = item ? item->data(Qt::UserRole) : QVariant();
    const BlockedLogReader::EntryTarget target = BlockedLogReader::targetOfEntry(
        whole.isValid() ? whole.toString() : (item ? item->text() : QString()));
    if (target.kind != BlockedLogReader::EntryTarget::Web || !allowSite) {
        m_s.messages.information(m_s.applicationTitle,
                                 QStringLiteral("Select the record of a web page to allow its "
                                                "site."));
        return;
    }
    m_s.messages.information(m_s.applicationTitle, allowSite(target.address));
}
