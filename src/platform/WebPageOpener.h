#pragma once

#include <QString>
#include <functional>

// Opens a web address in a new browser window: the window shows `startPage` first (the vendor's
// site) and is then sent to `address` (nothing more when it is empty). The work goes on in the
// background; `done` runs once when the outcome is known (possibly before openPage returns),
// with true, or with false and a text that describes the
// failure in a way a message box can show.
class WebPageOpener {
public:
    using Done = std::function<void(bool ok, const QString& failure)>;

    virtual ~WebPageOpener() = default;
    virtual void openPage(const QString& startPage, const QString& address, Done done) = 0;
};

// The guarded browser first; when no browser is guarded (none found, or it is away just now) the
// fallback opens the address instead, for example in the desktop's default browser. Without a
// fallback that case fails with a description.
class GuardedPageOpener : public WebPageOpener {
public:
    // `guarded` opens in the guarded browser and tells through `available` whether it can now.
    GuardedPageOpener(WebPageOpener& guarded, std::function<bool()> available,
                      WebPageOpener* fallback = nullptr)
        : m_guarded(guarded), m_available(std::move(available)), m_fallback(fallback) {}

    void setFallback(WebPageOpener* fallback) { m_fallback = fallback; }

    void openPage(const QString& startPage, const QString& address, Done done) override {
        if (m_available && m_available()) {
            m_guarded.openPage(startPage, address, std::move(done));
        } else if (m_fallback) {
            m_fallback->openPage(startPage, address, std::move(done));
        } else if (done) {
            done(false, QStringLiteral("No browser is available to open %1.")
                            .arg(address.isEmpty() ? startPage : address));
        }
    }

private:
    WebPageOpener& m_guarded;
    std::function<bool()> m_available;
    WebPageOpener* m_fallback;
};
