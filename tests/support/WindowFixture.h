#pragma once

#include "app/BlockingPresenter.h"
#include "app/MainWindow.h"
#include "settings/SettingsStore.h"
#include "shell/ColourScheme.h"
#include "support/TestPlatform.h"

#include <memory>

// A main window on test doubles, made and loaded the way the start-up does it, without its pauses.
// A started cycle runs nested until the window hides again, which a test that only looks at the
// window does not want: unless `realBlocking`, the start command is counted instead of run.
struct WindowFixture {
    explicit WindowFixture(double scale = 0.01) : tp(scale) {}
    MainWindow& make() {
        store = std::make_unique<SettingsStore>(*tp.platform.settings);
        store->load_saved_state();
        window = std::make_unique<MainWindow>(tp.platform, *store, scheme);
        if (!realBlocking) {
            QObject::disconnect(&window->presenter(), &BlockingPresenter::startRequested, nullptr,
                                nullptr);
            QObject::connect(&window->presenter(), &BlockingPresenter::startRequested,
                             [this] { ++blockingStarts; });
        }
        return *window;
    }
    MainWindow& load() {
        make().load();
        return *window;
    }
    template <typename T> T* find(const QString& name) const { return window->findChild<T*>(name); }

    bool realBlocking = false;
    int blockingStarts = 0;
    TestPlatform tp;
    ColourScheme scheme;
    std::unique_ptr<SettingsStore> store;
    std::unique_ptr<MainWindow> window;
};
