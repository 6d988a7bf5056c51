#pragma once

#include <QFile>
#include <QString>
#include <functional>

class Clock;
struct ProgramState;

// The blocked-ads log: one line per closed or redirected window, and a dated separator for each
// day's first start of blocking. The file stays open for appending between records and is closed
// when blocking stops, when the viewer reads it and at exit.
//
// Lines end with CR LF, as the viewer and the people who open the file in other tools expect. The
// text is UTF-8: that is the encoding of every text file on a Linux desktop.
class BlockedLog {
public:
    // `filePath` is the log file (the program passes Paths::blockedLogFile(); tests a temp file).
    BlockedLog(QString filePath, const Clock& clock, ProgramState& state);
    ~BlockedLog();
    BlockedLog(const BlockedLog&) = delete;
    BlockedLog& operator=(const BlockedLog&) = delete;

    // Appends `record` as one line. A record that already holds today's date text is written as it
    // stands; any other gets a space, today's date, a space and the time of day added, and counts
    // in adsLoggedThisSession. An empty record writes nothing and creates no file. Pending events
    // run first, so other work may log in between. When this returns the line is on disk, or lost
    // because the file cannot be written: then the file is opened afresh for the next record (its
    // folder made again if it went away), and the first of a run of failures is reported on
    // lcBlocking and through onFailure.
    void LogBlocked(const QString& record);

    // Closes the file if it is open.
    void CloseBlockedLog();

    bool logFileOpen() const { return m_logFileOpen; }
    const QString& filePath() const { return m_path; }

    // Told, in words for the user, when records start being lost; again only after a record was
    // written since.
    std::function<void(const QString& text)> onFailure;

private:
    bool open();
    void failed(const QString& reason);

    QString m_path;
    const Clock& m_clock;
    ProgramState& m_state;
    QFile m_file;
    bool m_logFileOpen = false;
    bool m_failing = false;
};

// Opens the log at `path` for appending (made user-only when new) or for reading, never waiting:
// anything but a regular file (a FIFO, a device, a folder) is refused with `error` set, as a file
// that cannot be opened is.
bool openLogFile(QFile& file, const QString& path, bool forWriting, QString* error);

// The texts of the records the passes hand to LogBlocked.
namespace LogRecords {
// A closed window: URL "<===>" TITLE.
QString closedWindow(const QString& url, const QString& title);
// A window sent home: URL "<===>" TITLE " , redirected to " HOME.
QString redirectedWindow(const QString& url, const QString& title, const QString& homeUrl);
// The first start of blocking on a day: "------------ " DATE " " TIME " ----------".
QString daySeparator(const QString& date, const QString& time);
} // namespace LogRecords
