#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <optional>

// The browser windows that blocking watches, seen the way the survey and redirect passes need
// them. A window is named by a WindowKey that stays the same for as long as the window lives and
// is never reused for another window within a run.
//
// Every operation may fail (the window closed a moment ago, the page is gone, the browser hangs):
// reads give std::nullopt, commands give false. The passes treat a failure by skipping that one
// step, so an adapter must never throw and never block for long.
using WindowKey = quint64;

class BrowserWindows : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~BrowserWindows() override = default;

    // How many windows there are now (browser and other shell windows alike).
    virtual std::optional<int> count() = 0;

    // Every window once, in the collection's own order.
    virtual QList<WindowKey> enumerate() = 0;

    // Document: whether the window has a document at all, and whether it is a loaded HTML page.
    // A window with no document, a folder view or a page still loading gives false.
    virtual std::optional<bool> isHtmlDocument(WindowKey window) = 0;

    // HWND: the top-level window's handle. Tabs of one browser window share it.
    virtual std::optional<qint64> handle(WindowKey window) = 0;

    // LocationURL: the address the window shows now.
    virtual std::optional<QString> locationUrl(WindowKey window) = 0;

    // MenuBar: whether the window shows its menu bar.
    virtual std::optional<bool> menuBar(WindowKey window) = 0;

    // Visible: whether the window is visible.
    virtual std::optional<bool> visible(WindowKey window) = 0;

    // Quit, Navigate (the address only), Refresh. They start the work and return at once.
    virtual bool quit(WindowKey window) = 0;
    virtual bool navigate(WindowKey window, const QString& address) = 0;
    virtual bool refresh(WindowKey window) = 0;

    // The HTML document's members: URL, title, and whether another page opened the window (its
    // parentWindow.opener is an object, or was until that page let go of it).
    virtual std::optional<QString> documentUrl(WindowKey window) = 0;
    virtual std::optional<QString> documentTitle(WindowKey window) = 0;
    virtual std::optional<bool> hasOpener(WindowKey window) = 0;

    // The address of the page that opened the window, while that page is still known;
    // std::nullopt for a window no page opened.
    virtual std::optional<QString> openerUrl(WindowKey window) = 0;

signals:
    // The number of windows changed (a window opened or closed). A waiting pass wakes on it.
    void countChanged();
};
