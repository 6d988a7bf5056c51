// The anti-hijacker panel: the open pages, the hijack list, the home page and the pattern box.

#include "app/MainWindow.h"
#include "blocking/BlockingSession.h"
#include "settings/SettingsStore.h"
#include "shell/ui/Twips.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>

void MainWindow::buildAntiHijackerPanel() {
    Frame2 = new QGroupBox(
        QStringLiteral("Highlight 'hijack' web sites (Box 1), move to Box 2 using arrows"), this);
    Frame2->setObjectName(QStringLiteral("Frame2"));
    Frame2->setGeometry(Twips::rect(120, 2300, 6360, 3780));
    Frame2->setVisible(false);

    auto* label7 = new QLabel(QStringLiteral("Box 1, available web sites "), Frame2);
    label7->setObjectName(QStringLiteral("Label7"));
    label7->setGeometry(Twips::rect(120, 300, 6000, 240));
    lstSourcefields = new QListWidget(Frame2);
    lstSourcefields->setObjectName(QStringLiteral("lstSourcefields"));
    lstSourcefields->setSelectionMode(QAbstractItemView::MultiSelection);
    lstSourcefields->setGeometry(Twips::rect(120, 560, 6100, 900));

    auto* label8 = new QLabel(
        QStringLiteral("Box 2, 'hijack' web sites to redirect to home page (Box 3)"), Frame2);
    label8->setObjectName(QStringLiteral("Label8"));
    label8->setGeometry(Twips::rect(120, 1520, 6000, 240));
    lstDestinationfields = new QListWidget(Frame2);
    lstDestinationfields->setObjectName(QStringLiteral("lstDestinationfields"));
    lstDestinationfields->setSelectionMode(QAbstractItemView::MultiSelection);
    lstDestinationfields->setGeometry(Twips::rect(120, 1780, 6100, 900));

    auto* label6 = new QLabel(QStringLiteral("Box 3, home page:"), Frame2);
    label6->setObjectName(QStringLiteral("Label6"));
    label6->setToolTip(
        QStringLiteral("Click on desired home web page from list in top window, or type address:"));
    label6->setGeometry(Twips::rect(120, 2760, 2000, 240));
    Text2 = new QLineEdit(Frame2);
    Text2->setObjectName(QStringLiteral("Text2"));
    Text2->setGeometry(Twips::rect(2160, 2720, 4060, 320));

    auto* label5 =
        new QLabel(QStringLiteral("Web page patterns to direct back to home page:"), Frame2);
    label5->setObjectName(QStringLiteral("Label5"));
    label5->setToolTip(QStringLiteral(
        "Web page patterns to direct back to home page: (any pattern can match, for example "
        "\"hijacker\" matches http://www.hijacker-site.example/start.html)"));
    label5->setGeometry(Twips::rect(120, 3140, 3600, 240));
    Text1 = new QLineEdit(Frame2);
    Text1->setObjectName(QStringLiteral("Text1"));
    Text1->setGeometry(Twips::rect(3760, 3100, 2460, 320));
}

void MainWindow::fillOpenPagesBox() {
    lstSourcefields->clear();
    lstSourcefields->addItems(m_session->openPageUrls());
}

void MainWindow::load_spyware_urls() {
    QStringList patterns;
    for (int row = 0; row < lstDestinationfields->count(); ++row) {
        const QString entry = lstDestinationfields->item(row)->text();
        if (!patterns.contains(entry))
            patterns.append(entry);
    }
    m_store.hijackPatterns = patterns;
    m_store.hijackPatternText = SettingsStore::encodePatternList(patterns);
    m_store.save_state();
}
