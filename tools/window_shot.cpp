// zalor-window-shot: pictures of the real main window, feature dialog and
// options dialog, for the README.
//
//   zalor-window-shot [--page N] CONFIG.CFG OUTDIR
//
// Opens the main window with the configuration, runs it, and saves what
// the window shows after the run (output list filled) as OUTDIR/window.png,
// then the feature dialog on page N (default 1, the roads) as
// OUTDIR/features.png and the options dialog as OUTDIR/options.png. Run it
// on a display (e.g. Xvfb); nothing is saved as the default configuration.
#include "ui/dialogs.h"
#include "ui/feature_dlg.h"
#include "ui/main_window.h"

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QPixmap>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <cstdio>

namespace {

void Settle(int ms)
{
    for (int i = 0; i < ms / 10; ++i) {
        QApplication::processEvents();
        QThread::msleep(10);
    }
}

bool Save(QWidget* w, const QString& path)
{
    const bool ok = w->grab().save(path);
    std::fprintf(ok ? stdout : stderr, "%s %s\n", ok ? "Wrote" : "Could not write", qPrintable(path));
    return ok;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QStringList args = QApplication::arguments().mid(1);
    int page = 1;
    if (args.size() == 4 && args[0] == QStringLiteral("--page")) {
        args.removeFirst();
        page = args.takeFirst().toInt();
    }
    if (args.size() != 2) {
        std::fprintf(stderr, "usage: zalor-window-shot [--page N] CONFIG.CFG OUTDIR\n");
        return 2;
    }
    QTemporaryDir data;
    zalor::ui::WindowOptions options;
    options.dataDirectory = data.path() + QLatin1Char('/');
    options.outputDirectory = options.dataDirectory;
    options.currentDirectory = QDir::currentPath();
    options.configFile = QFileInfo(args[0]).absoluteFilePath();
    options.saveDefaultAtExit = false;
    const QString out = args[1];
    QDir().mkpath(out);

    zalor::ui::TMainWindow window(options);
    window.move(0, 0);
    window.resize(1100, 720);
    window.show();
    Settle(300);
    QEventLoop wait;
    QObject::connect(&window, &zalor::ui::TMainWindow::RunFinished, &wait, &QEventLoop::quit);
    window.Go();
    wait.exec();
    Settle(4500); // the logo has gone
    bool ok = Save(&window, out + QStringLiteral("/window.png"));

    zalor::ui::TFeatureDlg* features = window.FeatureDialog();
    features->setModal(false);
    features->show();
    features->ShowPage(page);
    Settle(300);
    ok = Save(features, out + QStringLiteral("/features.png")) && ok;
    features->close();

    zalor::ui::TOptionsDlg* opts = window.OptionsDialog();
    opts->setModal(false);
    opts->show();
    Settle(300);
    ok = Save(opts, out + QStringLiteral("/options.png")) && ok;
    opts->close();
    window.close();
    return ok ? 0 : 1;
}
