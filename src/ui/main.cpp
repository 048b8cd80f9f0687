// zalor: the desktop program. For now it opens the viewer:
//
//   zalor [--view] [FILE...]                  the viewer on the files
//   zalor --view FILE... --snapshot OUT.png [--size WxH]
//                                             a picture of the files, no window
#include "ui/snapshot.h"
#include "ui/view_dlg.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QRegularExpression>
#include <QTimer>

#include <cstdio>
#include <cstring>

namespace {

// True when an argument is `option` or starts with it ("--snapshot=...").
bool Wants(int argc, char** argv, const char* option)
{
    for (int i = 1; i < argc; ++i)
        if (std::strncmp(argv[i], option, std::strlen(option)) == 0) return true;
    return false;
}

void Print(FILE* to, const QString& text)
{
    const QByteArray bytes = text.toLocal8Bit();
    std::fprintf(to, "%s\n", bytes.constData());
}

} // namespace

int main(int argc, char** argv)
{
    // A snapshot needs no display.
    if (Wants(argc, argv, "--snapshot") && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("zalor"));
    QApplication::setApplicationVersion(QStringLiteral(ZALOR_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Views MIF and shapefile outputs of the converter."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption view(QStringLiteral("view"), QStringLiteral("Open only the viewer, on FILE..."));
    const QCommandLineOption snapshot(QStringLiteral("snapshot"),
                                      QStringLiteral("Write the drawing at Zoom All to OUT.png and exit."),
                                      QStringLiteral("OUT.png"));
    const QCommandLineOption size(QStringLiteral("size"), QStringLiteral("Snapshot size (default 1000x800)."),
                                  QStringLiteral("WxH"), QStringLiteral("1000x800"));
    parser.addOption(view);
    parser.addOption(snapshot);
    parser.addOption(size);
    parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("MIF or SHP files"), QStringLiteral("[FILE...]"));
    if (!parser.parse(QApplication::arguments())) {
        Print(stderr, parser.errorText());
        return 2;
    }
    if (parser.isSet(QStringLiteral("help"))) parser.showHelp(0);
    if (parser.isSet(QStringLiteral("version"))) parser.showVersion();
    const QStringList files = parser.positionalArguments();

    if (parser.isSet(snapshot)) {
        const QRegularExpressionMatch m =
            QRegularExpression(QStringLiteral("^(\\d{1,5})[xX](\\d{1,5})$")).match(parser.value(size));
        const int w = m.hasMatch() ? m.captured(1).toInt() : 0, h = m.hasMatch() ? m.captured(2).toInt() : 0;
        if (w < 1 || h < 1 || w > 16384 || h > 16384) {
            Print(stderr, QStringLiteral("--size wants WxH, each from 1 to 16384: ") + parser.value(size));
            return 2;
        }
        QString messages;
        const bool whole = zalor::ui::WriteSnapshot(files, parser.value(snapshot), QSize(w, h), messages);
        if (!messages.isEmpty()) Print(stderr, messages);
        return whole ? 0 : 1;
    }
    if (parser.isSet(size)) {
        Print(stderr, QStringLiteral("--size goes with --snapshot"));
        return 2;
    }

    zalor::ui::TViewDlg dialog;
    QObject::connect(&dialog, &QDialog::finished, &app, &QApplication::quit);
    dialog.show();
    if (!files.isEmpty()) QTimer::singleShot(0, &dialog, [&] { dialog.OpenFiles(files); });
    return app.exec();
}
