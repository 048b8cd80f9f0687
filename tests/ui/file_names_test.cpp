// Files whose names are not UTF-8 (Latin-1 bytes, as older systems wrote
// them): the window and the viewer find them, from the command line, a file
// dialog or a drop, and name them readably.
#include "ui/entry_list.h"
#include "ui/text.h"
#include "ui/view_dlg.h"
#include "ui/window_support.h"

#include <QMimeData>
#include <QTest>
#include <QTreeView>
#include <QUrl>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <vector>

using namespace zalor;
using namespace zalor::test::window;

namespace {

const std::string kMif = "Version 450\r\nCOLUMNS 1\r\nID integer\r\nDATA\r\nPOINT 1 2\r\n";

// Runs `args` (the program first), the arguments given byte for byte; its
// exit status, standard error in `err`.
int Run(const std::vector<std::string>& args, const std::string& errFile, std::string& err)
{
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 2, errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    if (spawned != 0 || ::waitpid(pid, &status, 0) != pid) return -1;
    err = Slurp(errFile);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

QString Utf8(const char* s) { return QString::fromUtf8(s); }

} // namespace

class FileNamesTest : public QObject {
    Q_OBJECT
private slots:
    void pathsKeepTheirBytes()
    {
        for (const std::string bytes : {"/tmp/caf\xe9.zip", "/tmp/caf\xc3\xa9.zip", "\xff\xfe/a\xed\xa0\x80z", ""}) {
            QCOMPARE(ui::ToPath(ui::FromPath(bytes)), bytes);
        }
        QCOMPARE(ui::ShownPath(std::string("/tmp/caf\xe9.zip")), Utf8("/tmp/caf\xc3\xa9.zip"));
        QCOMPARE(ui::ShownPath(std::string("/tmp/caf\xc3\xa9.zip")), Utf8("/tmp/caf\xc3\xa9.zip"));
        QCOMPARE(ui::ShownPath(ui::FromPath("caf\xe9")), Utf8("caf\xc3\xa9"));
        char program[] = "zalor", name[] = "r\xe9seau.MIF";
        char* argv[] = {program, name};
        QCOMPARE(ui::ToPath(ui::Arguments(2, argv).at(1)), std::string(name));
    }

    void viewerOpensThem()
    {
        const std::string dir = ScratchDir("latin1-viewer");
        const std::string mif = dir + "r\xe9seau.MIF";
        Spill(mif, kMif);
        ui::TViewDlg dialog;
        dialog.show();
        QVERIFY2(dialog.OpenFiles({ui::FromPath(mif)}), qPrintable(dialog.StatusMessage()));
        QCOMPARE(dialog.windowTitle(), Utf8("View - r\xc3\xa9seau.MIF"));
        QAbstractItemModel* layers = dialog.findChild<QTreeView*>(QStringLiteral("LayerList"))->model();
        QCOMPARE(layers->index(0, 0).data().toString(), Utf8("r\xc3\xa9seau.MIF"));
        // As the desktop's file dialog gives it: a URL, the bytes percent-encoded.
        const QUrl chosen = QUrl::fromEncoded("file://" + QByteArray::fromStdString(mif).toPercentEncoding("/"));
        QVERIFY2(dialog.OpenFiles({ui::LocalPath(chosen)}), qPrintable(dialog.StatusMessage()));
        QCOMPARE(dialog.Model().Objects().size(), std::size_t{1});
        // A fault names the file readably.
        Spill(dir + "r\xe9seau.MID", "1\r\n2\r\n");
        QVERIFY(!dialog.OpenFiles({ui::FromPath(mif)}));
        QVERIFY2(dialog.StatusMessage().contains(Utf8("r\xc3\xa9seau.MID: 2 rows for 1 objects")),
                 qPrintable(dialog.StatusMessage()));
    }

    void windowTakesThem()
    {
        const std::string dir = ScratchDir("latin1-window");
        const std::string zip = dir + "caf\xe9.zip", mif = dir + "r\xe9seau.MIF";
        Spill(zip, std::string(1234, 'x'));
        Spill(mif, kMif);
        char program[] = "zalor";
        char* argv[] = {program, const_cast<char*>(zip.c_str()), const_cast<char*>(mif.c_str())};
        ui::WindowOptions o;
        for (const QString& arg : ui::Arguments(3, argv).mid(1)) o.files << ui::AbsolutePath(arg);
        auto w = MakeWindow(dir, {}, o);
        QVERIFY(w);
        QCOMPARE(w->Inputs()->rowCount(), 1);
        QCOMPARE(w->Inputs()->index(0, 0).data().toString(), Q(dir) + Utf8("caf\xc3\xa9.zip"));
        QCOMPARE(w->Inputs()->index(0, 1).data().toString(), QStringLiteral("1,234"));
        QCOMPARE(w->Inputs()->index(0, 0).data(ui::EntryListModel::kPathRole).toByteArray().toStdString(), zip);
        QCOMPARE(w->Outputs()->rowCount(), 1);
        QCOMPARE(w->Outputs()->index(0, 0).data().toString(), Utf8("r\xc3\xa9seau.MIF"));

        // Dropped: the URL keeps the bytes percent-encoded.
        const std::string other = dir + "d\xe9p\xf4t.ZIP";
        Spill(other, "x");
        QMimeData mime;
        mime.setUrls({QUrl::fromEncoded("file://" + QByteArray::fromStdString(other).toPercentEncoding("/"))});
        QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(w.get(), &enter);
        QDropEvent drop(QPointF(20, 20), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(w.get(), &drop);
        QCOMPARE(w->Inputs()->rowCount(), 2);
        QCOMPARE(w->Inputs()->index(1, 1).data().toString(), QStringLiteral("1"));
        QCOMPARE(w->Inputs()->index(1, 0).data().toString(), Q(dir) + Utf8("d\xc3\xa9p\xc3\xb4t.ZIP"));
    }

    void commandLine()
    {
        const std::string dir = ScratchDir("latin1-command-line");
        const std::string mif = dir + "r\xe9seau.MIF", png = dir + "s.png";
        Spill(mif, kMif);
        const std::string zalor = kBinary + "/zalor";
        // Read (its MID is), and named readably.
        Spill(dir + "r\xe9seau.MID", "1\r\n2\r\n");
        std::string err;
        QCOMPARE(Run({zalor, "--view", mif, "--snapshot", png}, dir + "err.txt", err), 1);
        QVERIFY2(QString::fromUtf8(err).contains(Utf8("r\xc3\xa9seau.MID: 2 rows for 1 objects")), err.c_str());
        QVERIFY(QFileInfo::exists(Q(png)));
    }
};

QTEST_MAIN(FileNamesTest)
#include "file_names_test.moc"
