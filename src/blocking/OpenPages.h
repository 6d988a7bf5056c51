#pragma once

#include <QStringList>

class BrowserWindows;

// Rebuilds the list of open web pages: the address of every window that shows an HTML page, each
// address once, in the windows' order. Windows that cannot be read are skipped.
void ListOpenPages(BrowserWindows* browser, QStringList& openPageUrls);
