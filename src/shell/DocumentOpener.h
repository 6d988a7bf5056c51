#pragma once

#include <QString>
#include <functional>

class MessageBoxes;
class WebPageOpener;

// Sends the user somewhere outside the program: web addresses to a new browser window (which
// shows the vendor's site first), files to whatever program the desktop opens them with.
class DocumentOpener {
public:
    using OpenFile = std::function<bool(const QString& path)>;

    DocumentOpener(WebPageOpener& web, MessageBoxes& messages, QString applicationTitle,
                   OpenFile openFile);

    // kind "web": `target` is an address; kind "Notepad": `target` is a file path. Any other kind
    // does nothing.
    void OpenDocument(const QString& kind, const QString& target);

    // Opens a file with the desktop; a path in double quotes loses them first. The result is the
    // desktop's answer, which callers may ignore.
    bool OpenWithShell(const QString& path);

    // The vendor's site, shown first in every new window.
    QString vendorSiteUrl;

private:
    WebPageOpener& m_web;
    MessageBoxes& m_messages;
    QString m_title;
    OpenFile m_openFile;
};
