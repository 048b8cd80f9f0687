// Paths between the file system's bytes and Qt's strings.
#include "ui/text.h"

#include <QUrl>

#include <filesystem>
#include <system_error>

namespace zalor::ui {

namespace {

namespace fs = std::filesystem;

// A byte that starts no UTF-8 character is kept as this plus the byte.
constexpr char16_t kStrayByte = 0xDC00;

// The length of the UTF-8 character that `s` starts with; 0 when it starts
// none (a stray or cut sequence, an overlong form, a surrogate).
std::size_t CharacterLength(std::string_view s)
{
    const auto c = static_cast<unsigned char>(s[0]);
    if (c < 0x80) return 1;
    std::size_t n = 0;
    unsigned char low = 0x80, high = 0xBF; // the second byte's range
    if (c >= 0xC2 && c <= 0xDF) {
        n = 2;
    } else if (c >= 0xE0 && c <= 0xEF) {
        n = 3;
        if (c == 0xE0) low = 0xA0;  // not overlong
        if (c == 0xED) high = 0x9F; // not a surrogate
    } else if (c >= 0xF0 && c <= 0xF4) {
        n = 4;
        if (c == 0xF0) low = 0x90;  // not overlong
        if (c == 0xF4) high = 0x8F; // not beyond U+10FFFF
    }
    if (n == 0 || s.size() < n) return 0;
    for (std::size_t k = 1; k < n; ++k) {
        const auto b = static_cast<unsigned char>(s[k]);
        if (b < (k == 1 ? low : 0x80) || b > (k == 1 ? high : 0xBF)) return 0;
    }
    return n;
}

bool IsUtf8(std::string_view s)
{
    for (std::size_t i = 0, n = 0; i < s.size(); i += n)
        if ((n = CharacterLength(s.substr(i))) == 0) return false;
    return true;
}

} // namespace

QString FromPath(std::string_view s)
{
    if (IsUtf8(s)) return QString::fromUtf8(s.data(), qsizetype(s.size()));
    QString out;
    out.reserve(qsizetype(s.size()));
    for (std::size_t i = 0; i < s.size();) {
        const std::size_t n = CharacterLength(s.substr(i));
        if (n == 0) {
            out += QChar(char16_t(kStrayByte + static_cast<unsigned char>(s[i++])));
        } else {
            out += QString::fromUtf8(s.data() + i, qsizetype(n));
            i += n;
        }
    }
    return out;
}

std::string ToPath(const QString& s)
{
    std::string out;
    qsizetype from = 0; // the start of the characters not yet written
    for (qsizetype i = 0; i < s.size(); ++i) {
        const char16_t c = s[i].unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < s.size() && s[i + 1].isLowSurrogate()) {
            ++i; // a character beyond 16 bits
        } else if (c >= kStrayByte + 0x80 && c <= kStrayByte + 0xFF) {
            out += QStringView(s).mid(from, i - from).toUtf8().toStdString();
            out += static_cast<char>(c - kStrayByte);
            from = i + 1;
        }
    }
    return out + QStringView(s).mid(from).toUtf8().toStdString();
}

QString ShownPath(std::string_view s)
{
    return IsUtf8(s) ? QString::fromUtf8(s.data(), qsizetype(s.size())) : QString::fromLatin1(s.data(), qsizetype(s.size()));
}

QString ShownName(const QString& path) { return ShownPath(path.mid(path.lastIndexOf(QLatin1Char('/')) + 1)); }

QStringList Arguments(int argc, char** argv)
{
    QStringList args;
    for (int i = 0; i < argc; ++i) args << FromPath(argv[i]);
    return args;
}

QString LocalPath(const QUrl& url)
{
    return FromPath(QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1()).toStdString());
}

QStringList LocalPaths(const QList<QUrl>& urls)
{
    QStringList paths;
    for (const QUrl& url : urls)
        if (url.isLocalFile()) paths << LocalPath(url);
    return paths;
}

QUrl LocalUrl(const QString& path)
{
    if (path.isEmpty()) return {};
    const QByteArray bytes = QByteArray::fromStdString(ToPath(AbsolutePath(path)));
    return QUrl::fromEncoded("file://" + bytes.toPercentEncoding("/"));
}

QString AbsolutePath(const QString& path)
{
    std::error_code ec;
    const fs::path absolute = fs::absolute(fs::path(ToPath(path)), ec);
    if (ec) return path;
    std::string s = absolute.lexically_normal().string();
    if (s.size() > 1 && s.back() == '/') s.pop_back();
    return FromPath(s);
}

bool IsDirectory(const QString& path)
{
    std::error_code ec;
    return fs::is_directory(fs::path(ToPath(path)), ec);
}

bool IsFile(const QString& path)
{
    std::error_code ec;
    return fs::is_regular_file(fs::path(ToPath(path)), ec);
}

bool Exists(const QString& path)
{
    std::error_code ec;
    return fs::exists(fs::path(ToPath(path)), ec);
}

} // namespace zalor::ui
