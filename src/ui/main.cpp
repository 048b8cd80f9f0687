// zalor: the desktop program.
//
//   zalor [KXF] [FILE...]                     the main window; FILEs are added as if dropped
//                                             (KXF offers the KXF format in the options)
//   zalor --config CFG [--go [--quit]]        the main window with CFG loaded; --go starts the
//                                             run, --quit closes the window when it ends
//   zalor --view [FILE...]                    the viewer on the files
//   zalor --view FILE... --snapshot OUT.png [--size WxH]
//                                             a picture of the files, no window
#include "ui/main_window.h"
#include "ui/snapshot.h"
#include "ui/text.h"
#include "ui/view_dlg.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>
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

// Where the default configuration and the log live: the program's
// directory when it is writable (a copy of the program kept in a directory
// of its own), else the user's configuration directory.
QString DataDirectory(bool* isProgramDirectory)
{
    const QString program = QApplication::applicationDirPath();
    *isProgramDirectory = QFileInfo(program).isWritable();
    if (*isProgramDirectory) return zalor::ui::WithSlash(program);
    const QString config = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
    QDir().mkpath(config);
    return zalor::ui::WithSlash(config);
}

// The user manual: beside the program in the build tree, under share/doc
// when installed.
QString ManualPath()
{
    const QString program = QApplication::applicationDirPath();
    for (const QString& candidate :
         {program + QStringLiteral("/manual.html"), program + QStringLiteral("/../share/doc/zalor/manual.html")})
        if (QFileInfo::exists(candidate)) return QFileInfo(candidate).canonicalFilePath();
    return {};
}

// The program's options.
struct Options {
    QCommandLineOption view{QStringLiteral("view"),
                            QCoreApplication::translate("main", "Open only the viewer, on FILE...")};
    QCommandLineOption snapshot{QStringLiteral("snapshot"),
                                QCoreApplication::translate("main", "Write the drawing at Zoom All to OUT.png and exit."),
                                QStringLiteral("OUT.png")};
    QCommandLineOption size{QStringLiteral("size"),
                            QCoreApplication::translate("main", "Snapshot size (default 1000x800)."),
                            QStringLiteral("WxH"), QStringLiteral("1000x800")};
    QCommandLineOption config{
        QStringLiteral("config"),
        QCoreApplication::translate("main", "Open the window with CFG loaded instead of the default configuration."),
        QStringLiteral("CFG")};
    QCommandLineOption go{QStringLiteral("go"),
                          QCoreApplication::translate("main", "Press Go once the window is shown.")};
    QCommandLineOption quit{QStringLiteral("quit"),
                            QCoreApplication::translate("main",
                                                        "With --go: close the window when the run ends; the exit status "
                                                        "is 0 when every county was converted, 1 when the run was "
                                                        "refused, a county failed, the run was stopped or the log file "
                                                        "could not be written.")};
};

void Describe(QCommandLineParser& parser, const Options& o)
{
    parser.setApplicationDescription(QCoreApplication::translate(
        "main", "Converts TIGER/Line county files; with --view, views MIF, shapefile and GeoPackage outputs.\n"
                "The word KXF among the arguments shows \"KXF Mode Active\" in the window and offers the KXF\n"
                "format in its options."));
    parser.addHelpOption();
    parser.addVersionOption();
    for (const QCommandLineOption* option : {&o.view, &o.snapshot, &o.size, &o.config, &o.go, &o.quit})
        parser.addOption(*option);
    parser.addPositionalArgument(QStringLiteral("FILE"),
                                 QCoreApplication::translate("main", "With --view, MIF, SHP or GPKG files to view; else county "
                                                                     "archives (.ZIP), record files (.RT1, .RT5), "
                                                                     "folders of counties, a configuration (.CFG) "
                                                                     "or MIF outputs to list"),
                                 QStringLiteral("[FILE...]"));
}

// --snapshot: the picture of the files, no window; the exit status.
int Snapshot(const QCommandLineParser& parser, const Options& o, const QStringList& files)
{
    const QRegularExpressionMatch m =
        QRegularExpression(QStringLiteral("^(\\d{1,5})[xX](\\d{1,5})$")).match(parser.value(o.size));
    const int w = m.hasMatch() ? m.captured(1).toInt() : 0, h = m.hasMatch() ? m.captured(2).toInt() : 0;
    if (w < 1 || h < 1 || w > 16384 || h > 16384) {
        Print(stderr, QCoreApplication::translate("main", "--size wants WxH, each from 1 to 16384: %1")
                          .arg(parser.value(o.size)));
        return 2;
    }
    QString messages;
    const bool whole = zalor::ui::WriteSnapshot(files, parser.value(o.snapshot), QSize(w, h), messages);
    if (!messages.isEmpty()) Print(stderr, messages);
    return whole ? 0 : 1;
}

// --view: the viewer alone, until it is closed.
int View(QApplication& app, const QStringList& files)
{
    zalor::ui::TViewDlg dialog;
    QObject::connect(&dialog, &QDialog::finished, &app, &QApplication::quit);
    dialog.show();
    if (!files.isEmpty()) QTimer::singleShot(0, &dialog, [&] { dialog.OpenFiles(files); });
    return app.exec();
}

// The main window, until it is closed.
int Window(QApplication& app, const QCommandLineParser& parser, const Options& o, const QStringList& files)
{
    zalor::ui::WindowOptions options;
    options.dataDirectory = DataDirectory(&options.dataIsProgramDirectory);
    options.outputDirectory = options.dataIsProgramDirectory ? options.dataDirectory
                                                             : zalor::ui::WithSlash(QDir::homePath());
    options.currentDirectory = QDir::currentPath();
    options.manual = ManualPath();
    // The window's size, splitters and columns, beside the default configuration.
    options.layoutFile = options.dataDirectory + QStringLiteral("ZALOR.INI");
    if (parser.isSet(o.config)) {
        options.configFile = zalor::ui::AbsolutePath(parser.value(o.config));
        if (!zalor::ui::IsFile(options.configFile)) {
            Print(stderr, QCoreApplication::translate("main", "configuration file %1 not found")
                              .arg(zalor::ui::ShownPath(parser.value(o.config))));
            return 2;
        }
        // A configuration opened on purpose does not replace the default one at exit.
        options.saveDefaultAtExit = false;
    }
    options.go = parser.isSet(o.go);
    options.quitAfterRun = parser.isSet(o.quit);
    for (const QString& arg : files) {
        if (arg == QLatin1String("KXF")) options.kxf = true;
        else options.files << zalor::ui::AbsolutePath(arg);
    }
    zalor::ui::TMainWindow window(options);
    window.show();
    const int status = app.exec();
    return options.quitAfterRun ? window.ExitStatus() : status;
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
    const Options o;
    Describe(parser, o);
    // The arguments as given: a file name that is no UTF-8 keeps its bytes.
    if (!parser.parse(zalor::ui::Arguments(argc, argv))) {
        Print(stderr, parser.errorText());
        return 2;
    }
    if (parser.isSet(QStringLiteral("help"))) parser.showHelp(0);
    if (parser.isSet(QStringLiteral("version"))) parser.showVersion();
    const QStringList files = parser.positionalArguments();

    if (parser.isSet(o.snapshot)) return Snapshot(parser, o, files);
    if (parser.isSet(o.size)) {
        Print(stderr, QCoreApplication::translate("main", "--size goes with --snapshot"));
        return 2;
    }
    if (parser.isSet(o.view)) return View(app, files);
    if (parser.isSet(o.quit) && !parser.isSet(o.go)) {
        Print(stderr, QCoreApplication::translate("main", "--quit goes with --go"));
        return 2;
    }
    return Window(app, parser, o, files);
}
