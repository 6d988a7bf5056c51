#include "allow/ui/AllowedSitesWindow.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

AllowedSitesWindow::AllowedSitesWindow(SettingsStore& store, QWidget* parent)
    : QDialog(parent), m_store(store) {
    setObjectName(QStringLiteral("allowedSites"));
    setWindowTitle(QStringLiteral("Allowed sites"));
    auto* intro = new QLabel(
        QStringLiteral("Popups of these sites are never closed: sign-in, payment and call "
                       "windows. A site includes its subdomains."),
        this);
    intro->setWordWrap(true);
    list = new QListWidget(this);
    list->setObjectName(QStringLiteral("list"));
    hostBox = new QLineEdit(this);
    hostBox->setObjectName(QStringLiteral("hostBox"));
    hostBox->setPlaceholderText(QStringLiteral("example.com"));
    matchBox = new QComboBox(this);
    matchBox->setObjectName(QStringLiteral("matchBox"));
    matchBox->addItem(QStringLiteral("Popups to this site"),
                      QVariant::fromValue(int(AllowedSite::Match::Address)));
    matchBox->addItem(QStringLiteral("Popups this site opens"),
                      QVariant::fromValue(int(AllowedSite::Match::Opener)));
    addButton = new QPushButton(QStringLiteral("Add"), this);
    removeButton = new QPushButton(QStringLiteral("Remove"), this);
    closeButton = new QPushButton(QStringLiteral("Close"), this);
    word = new QLabel(this);
    word->setObjectName(QStringLiteral("word"));
    word->setWordWrap(true);

    auto* grid = new QGridLayout(this);
    grid->addWidget(intro, 0, 0, 1, 4);
    grid->addWidget(list, 1, 0, 1, 4);
    grid->addWidget(hostBox, 2, 0);
    grid->addWidget(matchBox, 2, 1);
    grid->addWidget(addButton, 2, 2);
    grid->addWidget(removeButton, 2, 3);
    grid->addWidget(word, 3, 0, 1, 3);
    grid->addWidget(closeButton, 3, 3);
    grid->setColumnStretch(0, 1);

    connect(addButton, &QPushButton::clicked, this, &AllowedSitesWindow::addTyped);
    connect(hostBox, &QLineEdit::returnPressed, this, &AllowedSitesWindow::addTyped);
    connect(removeButton, &QPushButton::clicked, this, &AllowedSitesWindow::removeSelected);
    connect(closeButton, &QPushButton::clicked, this, &QDialog::close);
    resize(560, 420);
    reload();
}

void AllowedSitesWindow::reload() {
    m_sites = AllowedSites::load(m_store);
    list->clear();
    for (const AllowedSite& site : m_sites.entries()) {
        auto* item = new QListWidgetItem(site.describe(), list);
        item->setData(Qt::UserRole, site.stored());
    }
}

void AllowedSitesWindow::addTyped() {
    QString problem;
    const std::optional<QString> host = AllowedSites::hostFrom(hostBox->text(), &problem);
    if (!host) {
        word->setText(QStringLiteral("\"%1\" was not added: %2.")
                          .arg(hostBox->text().trimmed().left(100), problem));
        return;
    }
    const AllowedSite site{AllowedSite::Match(matchBox->currentData().toInt()), *host};
    if (!m_sites.add(site)) {
        word->setText(QStringLiteral("%1 is on the list already.").arg(site.describe()));
        return;
    }
    hostBox->clear();
    save(QStringLiteral("Added %1.").arg(site.describe()));
}

void AllowedSitesWindow::removeSelected() {
    const QListWidgetItem* item = list->currentItem();
    const std::optional<AllowedSite> site =
        item ? AllowedSite::fromStored(item->data(Qt::UserRole).toString()) : std::nullopt;
    if (!site) {
        word->setText(QStringLiteral("Select a site to remove."));
        return;
    }
    m_sites.remove(*site);
    save(QStringLiteral("Removed %1.").arg(site->describe()));
}

void AllowedSitesWindow::save(const QString& done) {
    if (!m_sites.save(m_store)) {
        qCWarning(lcAllow) << "cannot write the allowed sites";
        word->setText(QStringLiteral("The allowed sites could not be saved."));
        return;
    }
    reload();
    word->setText(done);
}
