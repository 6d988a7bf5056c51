#pragma once

#include <QString>
#include <functional>
#include <memory>

class MessageBoxes;
class WebPageOpener;

// Sends the user somewhere outside the program: web addresses to a new browser window (which
// shows the vendor's site first), files to whatever program the desktop opens them with. Only web
// addresses (http, https) reach the browser and only files on this computer reach the desktop;
// anything else is refused with a message that says why.
class DocumentOpener {
public:
    // Opens `path` in the desktop's program for it, started in `workingFolder`.
    using OpenFile = std::function<bool(const QString& path, const QString& workingFolder)>;

    // `web` may be missing (no way to open pages at all): web opens then say so.
    DocumentOpener(WebPageOpener* web, MessageBoxes& messages, QString applicationTitle,
                   OpenFile openFile);
    ~DocumentOpener();
    DocumentOpener(const DocumentOpener&) = delete;
    DocumentOpener& operator=(const DocumentOpener&) = delete;

    // kind "web": `target` is an address (escape tokens are decoded unless it mentions "file");
    // kind "Notepad": `target` is a file path. Any other kind does nothing. An empty address
    // opens only the vendor's site.
    void OpenDocument(const QString& kind, const QString& target);

    // Opens a file with the desktop; a path in double quotes loses them first. The first file ever
    // opened fixes the working folder for this and every later one. The result is the desktop's
    // answer, which callers may ignore.
    bool OpenWithShell(const QString& path);

    // The product's page, with `anchor` ("#antihijackerhelp" for the anti-hijacker section): the
    // manual installed with the program when it is a file:// address, else a web page.
    void openWebHelp(const QString& anchor = QString());
    // A page of the vendor's site, named without its language suffix and extension.
    void OpenVendorPage(const QString& page);

    // The vendor's site, shown first in every new window (none when empty), and the product's
    // page: the manual installed with the program (a file:// address) or a page on the web.
    QString vendorSiteUrl;
    QString productPageUrl;

    // The folder the desktop's programs start in; empty until the first file is opened.
    const QString& shellWorkingDir() const { return m_workingDir; }

    // What the user reads when a page could not be opened: the browser's error codes
    // ("net::ERR_NAME_NOT_RESOLVED") in plain words; texts that are words already stay.
    static QString failureText(const QString& failure, const QString& address);

private:
    void refuse(const QString& text);
    // Hands the page to the browser; a failure is told in a message box.
    void openPage(const QString& startPage, const QString& address);

    WebPageOpener* m_web;
    MessageBoxes& m_messages;
    QString m_title;
    OpenFile m_openFile;
    QString m_workingDir;
    // Outlives this object in pending callbacks, so a late answer from the browser is dropped.
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
};
