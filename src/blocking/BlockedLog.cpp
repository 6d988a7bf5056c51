#include "blocking/BlockedLog.h"

#include "blocking/BlockingLogging.h"
#include "blocking/ProgramState.h"
#include "platform/Clock.h"
#include "platform/Waits.h"

#include <QDir>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

bool openLogFile(QFile& file, const QString& path, bool forWriting, QString* error) {
    // Opened without waiting: a FIFO or a device in the log's place would otherwise hold the
    // one thread of the program until somebody reads or writes at its other end.
    const int flags = forWriting ? O_WRONLY | O_APPEND | O_CREAT : O_RDONLY;
    const int fd = ::open(QFile::encodeName(path).constData(), flags | O_NONBLOCK | O_CLOEXEC,
                          S_IRUSR | S_IWUSR);
    if (fd < 0) {
        if (error)
            *error = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        if (error)
            *error = QStringLiteral("not a regular file");
        return false;
    }
    // A regular file never makes us wait; the flag goes so that writes are whole.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    if (!file.open(fd, forWriting ? QIODevice::WriteOnly | QIODevice::Append : QIODevice::ReadOnly,
                   QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}

BlockedLog::BlockedLog(QString filePath, const Clock& clock, ProgramState& state)
    : m_path(std::move(filePath)), m_clock(clock), m_state(state) {}

BlockedLog::~BlockedLog() {
    CloseBlockedLog();
}

bool BlockedLog::open() {
    // The data folder is made at start; if somebody removed it since, make it again rather than
    // lose every record until the next start.
    QDir().mkpath(QFileInfo(m_path).absolutePath());
    // The log is a record of visited pages: a new one is readable by its user only.
    QString error;
    if (!openLogFile(m_file, m_path, true, &error)) {
        failed(error);
        return false;
    }
    m_logFileOpen = true;
    return true;
}

void BlockedLog::failed(const QString& reason) {
    if (m_failing)
        return;
    m_failing = true;
    qCWarning(lcBlocking) << "cannot write the blocked-ads log" << m_path << reason;
    if (onFailure)
        onFailure(QStringLiteral("The log of blocked windows cannot be written (%1: %2). Windows "
                                 "are still closed.")
                      .arg(QDir::toNativeSeparators(m_path), reason));
}

void BlockedLog::LogBlocked(const QString& record) {
    if (record.isEmpty())
        return;

    // Let queued work run first (a redirect pass may log in between); the open state is tested
    // only after that.
    Wait::processPendingEvents();

    // Somebody may have deleted the file while we held it open; writing on would append to a file
    // nobody can see any more, so start a new one in its place.
    if (m_logFileOpen && !QFileInfo::exists(m_path)) {
        qCDebug(lcBlocking) << "the blocked-ads log went away; starting it again" << m_path;
        CloseBlockedLog();
    }
    if (!m_logFileOpen)
        open();

    const Clock::DateAndTime now = m_clock.dateAndTime();
    QString line = record;
    if (now.date.isEmpty() || !record.contains(now.date, Qt::CaseSensitive)) {
        line += QLatin1Char(' ') + now.date + QLatin1Char(' ') + now.time;
        // Counted whether or not the write below succeeds: a failed write is skipped like every
        // other failing step, and the count goes on.
        ++m_state.adsLoggedThisSession;
    }
    line += QStringLiteral("\r\n");

    if (!m_logFileOpen)
        return; // the record is lost; open() has reported why
    const QByteArray bytes = line.toUtf8();
    if (m_file.write(bytes) != bytes.size() || !m_file.flush()) {
        failed(m_file.errorString());
        // Try a fresh open with the next record rather than writing into a broken handle.
        CloseBlockedLog();
        return;
    }
    m_failing = false;
}

void BlockedLog::CloseBlockedLog() {
    if (m_file.isOpen())
        m_file.close();
    m_logFileOpen = false;
}

namespace LogRecords {

QString closedWindow(const QString& url, const QString& title) {
    return url + QStringLiteral("<===>") + title;
}

QString redirectedWindow(const QString& url, const QString& title, const QString& homeUrl) {
    return closedWindow(url, title) + QStringLiteral(" , redirected to ") + homeUrl;
}

QString daySeparator(const QString& date, const QString& time) {
    return QStringLiteral("------------ ") + date + QLatin1Char(' ') + time +
           QStringLiteral(" ----------");
}

} // namespace LogRecords
