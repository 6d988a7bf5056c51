#pragma once

#include "platform/BrowserWindows.h"

#include <QString>
#include <optional>

// What the mirror knows of one page target of the guarded browser.
struct ChromiumPage {
    WindowKey key = 0;
    QString targetId;
    QString sessionId;
    bool entered = false; // in the mirror and the count
    bool factsRead = false;
    bool windowRead = false;
    std::optional<qint64> handle;
    QString url; // targetInfo.url
    QString targetTitle;
    // The address the window was opened for or is loading, from the newest event that named one
    // (the opener's window.open, a requested, started or committed navigation, the target's
    // address). Empty while nothing but the initial about:blank is known. addressSerial counts its
    // changes, so a reply asked for before the latest one is recognised as late.
    QString address;
    int addressSerial = 0;
    QString documentUrl; // the committed document's own address
    QString documentTitle;
    QString mimeType;
    QString mainFrameId;
    bool hasDocument = false;
    bool crashed = false;
    // Opened by another page's script (window.opener), or by a page at all (targetInfo.openerId,
    // which stays when the opener let go of it with noopener): a window without a menu bar that a
    // page opened is a popup either way.
    bool opener = false;
    bool openedByPage = false;
    bool menuBar = true;
    bool canAccessOpener = false;         // targetInfo: a script opener can reach it
    QString openerId;                     // targetInfo: the target that opened it
    std::optional<bool> requestedMenuBar; // from the opener's window.open features
    bool closing = false;
    int navigationSerial = 0;
    bool navigationPending = false;
    bool reloadHeld = false;
    bool queryRunning = false;
    bool silent = false; // a read timed out and the page has not answered since
    bool queryAgain = false;

    // A readable HTML document: text, images, PDFs and crashed pages are not.
    bool isHtml() const {
        return hasDocument && !crashed &&
               (mimeType == QLatin1String("text/html") ||
                mimeType == QLatin1String("application/xhtml+xml"));
    }
    // What the window reports as its address, to matching and to the log alike.
    QString shownAddress() const {
        if (!address.isEmpty())
            return address;
        return documentUrl.isEmpty() ? url : documentUrl;
    }
    // A new address from an event; about:blank never hides an address already known, because
    // every new window passes through it before it loads what it was opened for.
    void setAddress(const QString& newAddress, bool committed = false) {
        if (newAddress.isEmpty() || newAddress == address)
            return;
        if (!committed && newAddress == QLatin1String("about:blank"))
            return;
        address = newAddress;
        ++addressSerial;
    }
};
