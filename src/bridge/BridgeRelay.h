#pragma once

#include "wire/FrameCodec.h"

#include <QObject>
#include <QString>
#include <QTimer>

class QLocalSocket;
class QSocketNotifier;

// Copies whole messages between the browser (our standard input and output) and the running
// program (its local socket), and does nothing else: no message is read for its meaning.
//
// While the program is not there the relay tells the extension {"type":"program","present":false},
// drops what the extension sends, and tries the socket again every second; once through it says
// present:true. A message over the cap from either side drops that side's connection: the
// program's socket is then tried again, and the browser's ends the relay. So does the end of
// standard input, which is how the browser says it is done with us.
class BridgeRelay : public QObject {
    Q_OBJECT
public:
    BridgeRelay(int input, int output, QString socketPath, QObject* parent = nullptr);
    ~BridgeRelay() override;

    void start();

signals:
    // The browser's side has ended; the program should exit with `code`.
    void finished(int code);

private:
    void readInput();
    void connectToProgram();
    void readProgram();
    void programGone();
    void tellPresence(bool present);
    bool writeOutput(QByteArrayView frame);
    void finish(int code);

    int m_input;
    int m_output;
    QString m_socketPath;
    QSocketNotifier* m_inputNotifier = nullptr;
    QLocalSocket* m_socket = nullptr;
    QTimer m_retry;
    Wire::FrameDecoder m_fromBrowser;
    Wire::FrameDecoder m_fromProgram;
    int m_toldPresence = -1; // what the extension was last told: -1 nothing yet
    bool m_warnedOwner = false;
    bool m_finished = false;
};
