#pragma once

#include "platform/ChromiumPage.h"

#include <QHash>
#include <QJsonObject>
#include <QList>
#include <QStringList>

class ChromiumPages;

// The facts fixed when a window is created: whether a script opened it (window.opener) and
// whether it shows its menu bar, and the address it was opened for.
//
// Every new page is held on its initial about:blank (Target.setAutoAttach with
// waitForDebuggerOnStart), where window.menubar.visible is exact (false only for a popup opened
// with window features). We read it with one Runtime.evaluate and send the resume
// (Runtime.runIfWaitingForDebugger) right behind it, without waiting for the answer: the page
// reads before it runs on, is held no longer than the reading, and is never left held by us. A new
// page that no script can reach (targetInfo.canAccessOpener false: a noopener link or popup, a
// window the user or we opened) is resumed unread, since its renderer would not answer while held:
// it has an opener when a page opened it (targetInfo.openerId, set for noopener windows too), and
// its menu bar follows the features its opener asked for (Page.windowOpen: a list without
// "menubar" means none; no request means a normal window, so a link opened in a tab is spared). The
// same request decides when a held page cannot be read in time. If nothing tells, the menu bar
// shows: a window we could not judge is never taken for a popup.
class PopupFacts {
public:
    explicit PopupFacts(ChromiumPages& pages) : m_pages(pages) {}

    void clear() { m_windowOpens.clear(); }
    void forget(const QString& openerId) { m_windowOpens.remove(openerId); }
    // The opener's Page.windowOpen, kept briefly for the window it makes.
    void noteWindowOpen(const QString& openerId, const QJsonObject& params);
    // A page we were just attached to: its facts are decided, or read while it is held.
    void onAttached(ChromiumPage& page, const QJsonObject& targetInfo, bool waiting);

    // Whether a window opened with these window.open features shows its menu bar.
    static bool menuBarRequested(const QStringList& features);

private:
    void read(const QString& targetId, bool held);
    static void holdsInitialDocument(ChromiumPage& page);

    struct WindowOpen {
        QStringList features;
        QString url;
        qint64 at = 0; // ms since the epoch
    };
    ChromiumPages& m_pages;
    QHash<QString, QList<WindowOpen>> m_windowOpens; // opener targetId -> its recent requests
};
