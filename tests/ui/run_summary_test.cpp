// A batch as the window shows it, offscreen: the labelled fields and the
// batch's progress, the summary of the counties that failed, the output
// list's context menu, and what the window takes when files are dropped.
#include "ui/entry_list.h"
#include "ui/failure_dlg.h"
#include "ui/window_support.h"

#include <algorithm>
#include <filesystem>

#include <QFileInfo>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QProgressBar>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTest>
#include <QTreeView>
#include <QTreeWidget>
#include <QUrl>

using namespace zalor;
using namespace zalor::test::window;

namespace {

void Drop(ui::TMainWindow& w, const QStringList& paths)
{
    QMimeData mime;
    QList<QUrl> urls;
    for (const QString& p : paths) urls << QUrl::fromLocalFile(p);
    mime.setUrls(urls);
    QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&w, &enter);
    QDropEvent drop(QPointF(20, 20), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&w, &drop);
}

RunResult RunAndWait(ui::TMainWindow& w)
{
    QSignalSpy finished(&w, &ui::TMainWindow::RunFinished);
    w.Go();
    if (!finished.wait(180000)) return {};
    return finished.at(0).at(0).value<RunResult>();
}

} // namespace

class RunSummaryTest : public QObject {
    Q_OBJECT
private slots:
    // A batch with a county that fails ends with the summary: which county
    // and why; the fields say where the run ended, under their captions.
    void aBatchWithAFailure()
    {
        const std::string dir = ScratchDir("summary");
        const std::string missing = dir + "gone/TGR09999.ZIP";
        Spill(dir + "RUN.CFG", "CbA1=1\r\nOutput=" + dir + "out/\r\nFile2=" + kSource +
                                   "/samples/TGR08901.ZIP\r\nFile2=" + missing + "\r\n");
        auto w = MakeWindow(dir, dir + "RUN.CFG");
        QVERIFY(w);
        QStringList captions;
        for (QLabel* l : w->findChildren<QLabel*>()) captions << l->text();
        for (const char* c : {"Status:", "County:", "Phase:", "Batch:", "Time:"})
            QVERIFY2(captions.contains(QLatin1String(c)), c);

        const RunResult r = RunAndWait(*w);
        QCOMPARE(r.counties, 2);
        QCOMPARE(r.failed, 1);
        QCOMPARE(StatusLine(*w), QStringLiteral("Done! 1 of 2 Counties Failed!"));
        ui::TFailureDlg* summary = w->FailureDialog();
        QTRY_VERIFY(summary->isVisible());
        QCOMPARE(summary->Summary(), QStringLiteral("1 of 2 counties failed."));
        QTreeWidget* list = summary->List();
        QCOMPARE(list->topLevelItemCount(), 1);
        QVERIFY(list->topLevelItem(0)->text(0).endsWith(QLatin1String("TGR09999.ZIP")));
        QCOMPARE(list->topLevelItem(0)->childCount(), 1);
        QCOMPARE(list->topLevelItem(0)->child(0)->text(0), Q("Error Opening " + missing));
        QVERIFY(list->topLevelItem(0)->isExpanded());
        QCOMPARE(list->topLevelItem(0)->toolTip(0), Q(missing));

        QVERIFY(QRegularExpression(QStringLiteral("^\\d\\d:\\d\\d\\.\\d\\d\\d$")).match(Field(*w, "TimeLine")).hasMatch());
        QVERIFY(QRegularExpression(QStringLiteral("^2 of 2: ")).match(Field(*w, "CountyLine")).hasMatch());
        QVERIFY(Field(*w, "PhaseLine").isEmpty());
        QCOMPARE(w->findChild<QProgressBar*>(QStringLiteral("BatchProgressBar"))->value(), 100);

        // A run without failures shows none.
        summary->close();
        Spill(dir + "OK.CFG", "CbA1=1\r\nOutput=" + dir + "out/\r\nFile2=" + kSource + "/samples/TGR08901.ZIP\r\n");
        w->AddFiles({Q(dir + "OK.CFG")});
        QCOMPARE(w->Inputs()->rowCount(), 1);
        QCOMPARE(RunAndWait(*w).failed, 0);
        QVERIFY(!summary->isVisible());
        QCOMPARE(StatusLine(*w), QStringLiteral("Done!"));
    }

    // The same county twice (two copies of its archive) is converted one
    // after the other, and each file it writes is listed once.
    void theSameCountyOnce()
    {
        const std::string dir = ScratchDir("same-county");
        const std::string sample = std::string(kSource) + "/samples/TGR08901.ZIP";
        std::filesystem::create_directories(dir + "a");
        std::filesystem::create_directories(dir + "b");
        std::filesystem::copy_file(sample, dir + "a/TGR08901.ZIP");
        std::filesystem::copy_file(sample, dir + "b/TGR08901.ZIP");
        Spill(dir + "RUN.CFG", "CbA1=1\r\nCbH1=1\r\nRbD0=1\r\nOutput=" + dir + "out/\r\nFile2=" + dir +
                                   "a/TGR08901.ZIP\r\nFile2=" + dir + "b/TGR08901.ZIP\r\n");
        auto w = MakeWindow(dir, dir + "RUN.CFG");
        QVERIFY(w);
        QCOMPARE(w->Inputs()->rowCount(), 2);
        const RunResult r = RunAndWait(*w);
        QCOMPARE(r.counties, 2);
        QCOMPARE(r.failed, 0);
        QStringList paths;
        for (const FileEntry& e : w->Outputs()->Entries()) paths << Q(e.path);
        QCOMPARE(paths.size(), 2);
        QCOMPARE(paths.removeDuplicates(), 0);
    }

    // Auto zip: afterwards the output list names the archive, which is on
    // disk, and none of the files that went into it.
    void theOutputListAfterAutoZip()
    {
        const std::string dir = ScratchDir("auto-zip");
        Spill(dir + "RUN.CFG", "CbA1=1\r\nCbH1=1\r\nRbD0=1\r\nRbF0=1\r\nZIP=1\r\nOutput=" + dir +
                                   "out/\r\nFile2=" + kSource + "/samples/TGR08901.ZIP\r\n");
        auto w = MakeWindow(dir, dir + "RUN.CFG");
        QVERIFY(w);
        QCOMPARE(RunAndWait(*w).failed, 0);
        QStringList paths;
        for (const FileEntry& e : w->Outputs()->Entries()) paths << Q(e.path);
        QCOMPARE(paths.size(), 1);
        QVERIFY2(paths[0].endsWith(QLatin1String(".ZIP"), Qt::CaseInsensitive), qPrintable(paths[0]));
        QVERIFY(QFileInfo::exists(paths[0]));
    }

    // An output root that cannot be made fails every county, each with its
    // reasons (one per layer) under it.
    void anOutputRootThatCannotBeMade()
    {
        const std::string dir = ScratchDir("unwritable");
        Spill(dir + "blocker", "a file where the output root's parent should be");
        Spill(dir + "RUN.CFG", "CbA1=1\r\nCbH1=1\r\nOutput=" + dir + "blocker/out/\r\nFile2=" + kSource +
                                   "/samples/TGR08901.ZIP\r\n");
        auto w = MakeWindow(dir, dir + "RUN.CFG");
        QVERIFY(w);
        const RunResult r = RunAndWait(*w);
        QCOMPARE(r.failed, 1);
        QCOMPARE(StatusLine(*w), QStringLiteral("Done! 1 of 1 Counties Failed!"));
        QTRY_VERIFY(w->FailureDialog()->isVisible());
        QTreeWidgetItem* county = w->FailureDialog()->List()->topLevelItem(0);
        QVERIFY2(county->text(0).startsWith(QLatin1String("[08901] Ivanhoe County")), qPrintable(county->text(0)));
        QVERIFY(county->text(0).endsWith(QLatin1String(" - TGR08901.ZIP")));
        QCOMPARE(county->childCount(), static_cast<int>(r.failures.front().errors.size()));
        for (int i = 0; i < county->childCount(); ++i)
            QVERIFY2(county->child(i)->text(0).startsWith(QLatin1String("Unable to Create")),
                     qPrintable(county->child(i)->text(0)));
    }

    // The output list's context menu: open (MIF and SHP in the viewer,
    // other files by the desktop), open the folder, copy the paths.
    void outputContextMenu()
    {
        const std::string dir = ScratchDir("outputs");
        Spill(dir + "RUN.CFG", "CbA1=1\r\nRbF3=1\r\nRbD0=1\r\nOutput=" + dir + "out/\r\nFile2=" + kSource +
                                   "/samples/TGR08901.ZIP\r\n");
        Spill(dir + "roads.mif", "Version 300\r\n");
        auto w = MakeWindow(dir, dir + "RUN.CFG");
        QVERIFY(w);
        QCOMPARE(RunAndWait(*w).failed, 0);
        w->AddFiles({Q(dir + "roads.mif")}); // listed after the run's file
        QList<QUrl> opened;
        w->SetUrlOpener([&](const QUrl& url) {
            opened << url;
            return true;
        });
        auto* list = w->findChild<QTreeView*>(QStringLiteral("OutputList"));
        QCOMPARE(list->contextMenuPolicy(), Qt::ActionsContextMenu);
        QCOMPARE(w->Outputs()->rowCount(), 2);
        const QString gpkg = Q(dir + "out/TGR08901.gpkg");
        QCOMPARE(Q(w->Outputs()->Entries()[0].path), gpkg);
        list->setCurrentIndex(w->Outputs()->index(0, 0));
        w->findChild<QAction*>(QStringLiteral("OpenOutput"))->trigger();
        w->findChild<QAction*>(QStringLiteral("OpenOutputFolder"))->trigger();
        QCOMPARE(opened, (QList<QUrl>{QUrl::fromLocalFile(gpkg), QUrl::fromLocalFile(Q(dir + "out"))}));

        list->selectionModel()->select(w->Outputs()->index(1, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
        w->findChild<QAction*>(QStringLiteral("CopyOutputPath"))->trigger();
        QCOMPARE(QApplication::clipboard()->text(), gpkg + QLatin1Char('\n') + Q(dir + "roads.mif"));
    }

    // Drops: a configuration is loaded, a folder gives its counties as the
    // command line takes them, chain files are added, and what is none of
    // these is said, not ignored.
    void drops()
    {
        const std::string dir = ScratchDir("drops");
        QDir().mkpath(Q(dir + "state"));
        Spill(dir + "state/TGR01001.ZIP", "x");
        Spill(dir + "state/tgr01001.rt1", "x"); // the same county: taken from the archive
        Spill(dir + "state/TGR01003.RT1", "x");
        Spill(dir + "state/notes.txt", "x");
        Spill(dir + "TGR02005.RT1", "x");
        Spill(dir + "readme.txt", "x");
        Spill(dir + "DROP.CFG", "CbA1=1\r\nFile2=" + kSource + "/samples/TGR08901.ZIP\r\n");
        auto w = MakeWindow(dir);
        QVERIFY(w);
        Drop(*w, {Q(dir + "readme.txt"), Q(dir + "state"), Q(dir + "TGR02005.RT1"), Q(dir + "DROP.CFG")});
        QStringList inputs;
        for (const InputEntry& e : w->Settings().inputs) inputs << Q(e.path);
        // The list is in path order (where the sources lie decides the sample's place).
        std::vector<std::string> expected = {dir + "TGR02005.RT1", dir + "state/TGR01001.ZIP",
                                             dir + "state/TGR01003.RT1", std::string(kSource) + "/samples/TGR08901.ZIP"};
        std::sort(expected.begin(), expected.end(),
                  [](const std::string& a, const std::string& b) { return a + "|-1" < b + "|-1"; });
        QStringList want;
        for (const std::string& e : expected) want << Q(e);
        QCOMPARE(inputs, want);
        QCOMPARE(w->Configuration().lastName, dir + "DROP.CFG");
        const QString message = w->statusBar()->currentMessage();
        QVERIFY2(message.contains(QLatin1String("readme.txt")) && message.contains(QLatin1String("tgr01001.rt1")),
                 qPrintable(message));
        QVERIFY(!message.contains(QLatin1String("notes.txt"))); // not a county file: a folder's others are not named
    }
};

QTEST_MAIN(RunSummaryTest)
#include "run_summary_test.moc"
