#pragma once

#include "app/FeatureWiring.h"
#include "blocking/BlockingSession.h"
#include "blocking/ui/LogViewer.h"
#include "blocking/ui/LogViewerForm.h"
#include "shell/DocumentOpener.h"
#include "shell/ui/PictureButton.h"
#include "support/WindowFixture.h"

#include <QAction>
#include <QPushButton>
#include <QTest>
#include <QTimer>

// The control panel with its log viewer connected the way the program does it.
struct LogViewerRig {
    LogViewerRig() {
        f.load();
        QFile::remove(logPath()); // left by an earlier test
        viewer = connectLogViewer(*f.window, documents);
    }
    QString logPath() const { return f.window->session().log().filePath(); }
    void writeLog(const QByteArray& bytes) const {
        QFile file(logPath());
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
    }
    // Opens the viewer with the control `how` (a picture, or the tray's "msg1"); once it shows,
    // runs `whileOpen` and closes it.
    void open(const QString& how, const std::function<void(LogViewerForm&)>& whileOpen = {}) {
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            LogViewerForm* form = viewer->form();
            if (!form || !form->isVisible())
                return;
            poll.stop();
            if (whileOpen)
                whileOpen(*form);
            form->Command1->click();
        });
        poll.start(0);
        if (how == QLatin1String("msg1"))
            f.window->controls().msg1->trigger();
        else
            f.find<PictureButton>(how)->click();
    }

    WindowFixture f;
    RecordingPages pages;
    QStringList files;
    DocumentOpener documents{&pages, f.tp.messages, QStringLiteral("Pagewarden 8.0"),
                             [this](const QString& path, const QString&) {
                                 files << path;
                                 return true;
                             }};
    std::unique_ptr<LogViewer> viewer;
};
