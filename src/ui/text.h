// Conversions between the core's byte strings and Qt's strings, and the
// file dialogs' name filters.
//
// Texts (log lines, status, county names, suffixes, the comment) are
// single-byte Latin-1 and shown as such. Paths are handed to the file
// system byte for byte: a QString made by FromPath gives the same bytes
// back from ToPath, also for a name that is no UTF-8 (Latin-1 names from
// older systems), whose stray bytes it holds as the code points
// U+DC80..U+DCFF. Such a string is for giving back, not for showing:
// ShownPath is the name to show.
#pragma once

#include <QFile>
#include <QString>
#include <QStringList>

#include <string>
#include <string_view>

class QUrl;

namespace zalor::ui {

inline QString FromText(std::string_view s) { return QString::fromLatin1(s.data(), qsizetype(s.size())); }
inline std::string ToText(const QString& s) { return s.toLatin1().toStdString(); }
QString FromPath(std::string_view s);
std::string ToPath(const QString& s);

// A path (or a message naming paths) to show: its bytes read as UTF-8 when
// they are UTF-8, else as Latin-1.
QString ShownPath(std::string_view s);
inline QString ShownPath(const QString& path) { return ShownPath(ToPath(path)); }
// The last name of a path, to show.
QString ShownName(const QString& path);

// The program's arguments, each as FromPath makes it.
QStringList Arguments(int argc, char** argv);
// The local file of a file: URL, its bytes as the URL encodes them (a URL
// keeps what QUrl::toLocalFile would lose: dropped files, the desktop's file
// dialogs), and the URL of a local file by its bytes.
QString LocalPath(const QUrl& url);
QStringList LocalPaths(const QList<QUrl>& urls);
QUrl LocalUrl(const QString& path);

// The absolute path, "." and ".." taken away, by the bytes of `path`
// (QFileInfo would lose those that are no UTF-8).
QString AbsolutePath(const QString& path);
bool IsDirectory(const QString& path);
bool IsFile(const QString& path);
bool Exists(const QString& path);

// A directory as the core keeps it: ending in "/".
inline QString WithSlash(QString dir)
{
    if (!dir.endsWith(QLatin1Char('/'))) dir += QLatin1Char('/');
    return dir;
}

// A name filter of the file dialogs, "caption (*.[cC][fF][gG] ...)": the
// patterns match names in any case, also where the dialog compares names
// case by case (the platform's own dialogs on Linux).
inline QString NameFilter(const QString& caption, const QStringList& patterns)
{
    QStringList anyCase;
    for (const QString& pattern : patterns) {
        QString p;
        for (const QChar c : pattern) {
            if (c.toLower() == c.toUpper()) p += c;
            else p += QLatin1Char('[') + c.toLower() + c.toUpper() + QLatin1Char(']');
        }
        anyCase << p;
    }
    return caption + QStringLiteral(" (") + anyCase.join(QLatin1Char(' ')) + QLatin1Char(')');
}

} // namespace zalor::ui
