// zalor-window-shot: pictures of the real main window, feature dialog and
// options dialog, for the README.
//
//   zalor-window-shot [--page N] CONFIG.CFG OUTDIR
//
// Opens the main window with the configuration, runs it, and saves what
// the screen shows after the run (output list filled, and the summary of
// the counties that failed over the window when some did) as
// OUTDIR/window.png, then the feature dialog on page N (default 1, the
// roads) as OUTDIR/features.png and the options dialog as
// OUTDIR/options.png. Run it on a display of its own (e.g. Xvfb, where no
// window manager moves the windows); nothing is saved as the default
// configuration.
#include "ui/dialogs.h"
#include "ui/failure_dlg.h"
#include "ui/feature_dlg.h"
#include "ui/main_window.h"

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QPixmap>
#include <QScreen>
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

bool Save(const QPixmap& picture, const QString& path)
{
    const bool ok = picture.save(path);
    std::fprintf(ok ? stdout : stderr, "%s %s\n", ok ? "Wrote" : "Could not write", qPrintable(path));
    return ok;
}

bool Save(QWidget* w, const QString& path) { return Save(w->grab(), path); }

// The window after its run: with the failure summary over its input list
// when there is one, as the screen shows the two.
bool SaveWindow(zalor::ui::TMainWindow& window, const QString& path)
{
    QDialog* summary = window.FailureDialog();
    if (!summary->isVisible()) return Save(&window, path);
    summary->resize(600, 230);
    summary->move(window.x() + 420, window.y() + 120);
    summary->raise();
    Settle(500);
    const QRect area = window.frameGeometry().united(summary->frameGeometry());
    return Save(window.screen()->grabWindow(0, area.x(), area.y(), area.width(), area.height()), path);
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
    bool ok = SaveWindow(window, out + QStringLiteral("/window.png"));
    window.FailureDialog()->close();

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
