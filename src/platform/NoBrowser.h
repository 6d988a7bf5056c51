#pragma once

#include "platform/BrowserWindows.h"

// Stands in while no browser is guarded: no windows, and every command fails quietly. A pass
// waiting on it sleeps until a real browser takes its place.
class NoBrowser : public BrowserWindows {
public:
    using BrowserWindows::BrowserWindows;

    std::optional<int> count() override { return 0; }
    QList<WindowKey> enumerate() override { return {}; }
    std::optional<bool> isHtmlDocument(WindowKey) override { return std::nullopt; }
    std::optional<qint64> handle(WindowKey) override { return std::nullopt; }
    std::optional<QString> locationUrl(WindowKey) override { return std::nullopt; }
    std::optional<bool> menuBar(WindowKey) override { return std::nullopt; }
    std::optional<bool> visible(WindowKey) override { return std::nullopt; }
    bool quit(WindowKey) override { return false; }
    bool navigate(WindowKey, const QString&) override { return false; }
    bool refresh(WindowKey) override { return false; }
    std::optional<QString> documentUrl(WindowKey) override { return std::nullopt; }
    std::optional<QString> documentTitle(WindowKey) override { return std::nullopt; }
    std::optional<bool> hasOpener(WindowKey) override { return std::nullopt; }
    std::optional<QString> openerUrl(WindowKey) override { return std::nullopt; }
};
