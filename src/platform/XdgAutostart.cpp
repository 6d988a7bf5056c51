#include "platform/StartWithLogin.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QSaveFile>
#include <QStandardPaths>
#include <QTextStream>

Q_LOGGING_CATEGORY(lcAutostart, "pagewarden.settings.autostart", QtWarningMsg)

namespace {

// The Exec key's quoting rules: a path with spaces or special characters is put in double quotes
// with `"`, `` ` ``, `$` and `\` escaped.
QString quoteExec(const QString& command) {
    static const QString special = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    bool needsQuotes = false;
    for (QChar c : command)
        if (special.contains(c))
            needsQuotes = true;
    if (!needsQuotes)
        return command;
    QString escaped;
    for (QChar c : command) {
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') ||
            c == QLatin1Char('\\'))
            escaped += QLatin1Char('\\');
        escaped += c;
    }
    // Inside a desktop file a backslash is itself escaped once more.
    escaped.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    return QLatin1Char('"') + escaped + QLatin1Char('"');
}

// The installed desktop entry starts the program by its name on PATH. When `command` is the
// program found that way, the autostart entry says the same, so both entries name one program;
// any other copy (a build folder, an unpacked package) is named by its full path.
QString execFor(const QString& command) {
    const QFileInfo program(command);
    const QString onPath = QStandardPaths::findExecutable(program.fileName());
    if (!onPath.isEmpty() && !program.canonicalFilePath().isEmpty() &&
        QFileInfo(onPath).canonicalFilePath() == program.canonicalFilePath())
        return quoteExec(program.fileName());
    return quoteExec(command);
}

} // namespace

XdgAutostart::XdgAutostart(QString folder) : m_folder(std::move(folder)) {
    if (m_folder.isEmpty())
        m_folder = defaultFolder();
}

QString XdgAutostart::defaultFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/autostart");
}

QString XdgAutostart::entryPath() const {
    return m_folder + QStringLiteral("/pagewarden.desktop");
}

bool XdgAutostart::setEntry(const QString& name, const QString& command) {
    if (!QDir().mkpath(m_folder)) {
        qCDebug(lcAutostart) << "cannot create" << m_folder;
        return false;
    }
    QSaveFile file(entryPath());
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text)) {
        qCDebug(lcAutostart) << "cannot write" << entryPath();
        return false;
    }
    QTextStream out(&file);
    out << "[Desktop Entry]\n"
        << "Type=Application\n"
        << "Name=" << name << "\n"
        << "Comment=Closes popup ads and sends hijacked pages home\n"
        << "Exec=" << execFor(command) << "\n"
        << "Icon=pagewarden\n"
        << "Terminal=false\n"
        << "X-GNOME-Autostart-enabled=true\n";
    out.flush();
    return file.commit();
}

void XdgAutostart::removeEntry(const QString& name) {
    Q_UNUSED(name);
    if (QFile::exists(entryPath()) && !QFile::remove(entryPath()))
        qCDebug(lcAutostart) << "cannot remove" << entryPath();
}

bool XdgAutostart::hasEntry(const QString& name) const {
    Q_UNUSED(name);
    QFile file(entryPath());
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return false;
    QTextStream in(&file);
    bool inEntry = false;
    while (!in.atEnd()) {
        const QString line = in.readLine().trimmed();
        if (line.startsWith(QLatin1Char('[')))
            inEntry = line == QLatin1String("[Desktop Entry]");
        else if (inEntry && line.compare(QLatin1String("Hidden=true"), Qt::CaseInsensitive) == 0)
            return false;
    }
    return true;
}
