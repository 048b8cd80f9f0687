// Conversions between the core's byte strings and Qt's strings, and the
// file dialogs' name filters.
//
// Texts (log lines, status, county names, suffixes, the comment) are
// single-byte Latin-1 and shown as such. Paths are handed to the file
// system as they are, so they go through the file system's encoding.
#pragma once

#include <QFile>
#include <QString>
#include <QStringList>

#include <string>
#include <string_view>

namespace zalor::ui {

inline QString FromText(std::string_view s) { return QString::fromLatin1(s.data(), qsizetype(s.size())); }
inline std::string ToText(const QString& s) { return s.toLatin1().toStdString(); }
inline QString FromPath(std::string_view s) { return QFile::decodeName(QByteArray(s.data(), qsizetype(s.size()))); }
inline std::string ToPath(const QString& s) { return QFile::encodeName(s).toStdString(); }

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
