#include "app/AllowedSitesCommands.h"

#include "allow/AllowedSites.h"
#include "allow/ui/AllowedSitesWindow.h"
#include "app/MainWindow.h"
#include "app/PanelCommands.h"
#include "app/PanelControls.h"
#include "blocking/ui/LogViewer.h"
#include "shell/ui/FormStyle.h"

#include <QAction>
#include <QMenu>

AllowedSitesCommands::AllowedSitesCommands(MainWindow& window, LogViewer& viewer)
    : QObject(&window), m_window(window) {
    const PanelControls& c = window.controls();
    auto* item = new QAction(QStringLiteral("&Allowed sites"), c.trayMenu);
    item->setObjectName(QStringLiteral("allow1"));
    c.trayMenu->insertAction(c.exit1, item);
    connect(item, &QAction::triggered, this, &AllowedSitesCommands::show);
    connect(&window.commands(), &PanelCommands::allowedSites, this, &AllowedSitesCommands::show);
    SettingsStore& store = window.store();
    viewer.allowSite = [this, &store](const QString& address) {
        const QString said = AllowedSites::allowSiteOf(store, address);
        if (m_sites)
            m_sites->reload();
        return said;
    };
}

void AllowedSitesCommands::show() {
    if (!m_sites) {
        // A window of its own, not a child of the panel: it stays while the panel hides.
        m_sites = new AllowedSitesWindow(m_window.store());
        m_sites->setAttribute(Qt::WA_DeleteOnClose);
        connect(this, &QObject::destroyed, m_sites, &QObject::deleteLater);
        centreOnScreen(*m_sites);
    } else {
        m_sites->reload();
    }
    m_sites->show();
    m_sites->raise();
    m_sites->activateWindow();
}

AllowedSitesWindow* AllowedSitesCommands::window() const {
    return m_sites;
}
