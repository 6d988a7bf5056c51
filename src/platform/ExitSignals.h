#pragma once

#include <QObject>

class QSocketNotifier;

// Turns SIGTERM and SIGINT into a Qt signal delivered on the UI thread, so the program leaves
// through its normal exit command (options stored, log closed) when the desktop session ends or
// someone stops it from a terminal.
class ExitSignals : public QObject {
    Q_OBJECT
public:
    explicit ExitSignals(QObject* parent = nullptr);
    ~ExitSignals() override;

    bool isInstalled() const { return m_notifier != nullptr; }

signals:
    void exitRequested(int signalNumber);

private:
    void onReadable();

    QSocketNotifier* m_notifier = nullptr;
};
