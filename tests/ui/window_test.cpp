// The main window and its dialogs, offscreen: the feature dialog's pages
// and Set/Reset, the precision and tolerance fields, the input and output
// lists, drops, Go's refusal, runs against zalor-cli, Stop, the
// configuration commands and the command line.
#include "ui/browser.h"
#include "ui/dialogs.h"
#include "ui/entry_list.h"
#include "ui/feature_dlg.h"
#include "ui/main_window.h"
#include "run/plan.h"
#include "ui/window_support.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QTreeWidget>
#include <QUrl>

#include <fstream>
#include <memory>

using namespace zalor;
using namespace zalor::test::window;

namespace {

// Relative path -> bytes of every file under `root`.
std::map<QString, std::string> Tree(const std::string& root)
{
    std::map<QString, std::string> files;
    QDirIterator it(Q(root), QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        files[QDir(Q(root)).relativeFilePath(path)] = Slurp(path.toStdString());
    }
    return files;
}

// A large county (20,000 chains) thirty times over, its record files linked
// into thirty directories, so that a run lasts: the input lines of a
// configuration ("" when the county could not be made).
std::string ThirtyCounties(const std::string& dir)
{
    QProcess make;
    make.start(Q(kBinary + "/zalor-mkcounty"),
               {QStringLiteral("--state"), QStringLiteral("17"), QStringLiteral("--county"), QStringLiteral("031"),
                QStringLiteral("--chains"), QStringLiteral("20000"), QStringLiteral("--seed"), QStringLiteral("7"),
                QStringLiteral("--out"), Q(dir)});
    if (!make.waitForFinished(300000) || make.exitCode() != 0) return {};
    std::string inputs;
    for (int i = 0; i < 30; ++i) {
        const std::string copy = dir + "c" + std::to_string(i) + "/";
        QDir().mkpath(Q(copy));
        for (const QString& name : QDir(Q(dir)).entryList({QStringLiteral("TGR17031.RT*")}, QDir::Files))
            QFile::link(Q(dir) + name, Q(copy) + name);
        inputs += (i ? "\r\nFile2=" : "") + copy + "TGR17031.RT1";
    }
    return inputs;
}

// During a run the commands that cannot act are shut, tool buttons and all;
// the log opens as ever.
bool CommandsOfARun(ui::TMainWindow& w)
{
    auto* tools = w.findChild<QToolBar*>();
    for (const char* name : {"TigerFeatures", "Options", "New", "Load"})
        if (w.findChild<QAction*>(QLatin1String(name))->isEnabled()) return false;
    if (tools->widgetForAction(w.findChild<QAction*>(QStringLiteral("TigerFeatures")))->isEnabled()) return false;
    auto* log = w.findChild<QAction*>(QStringLiteral("LogFile"));
    if (!log->isEnabled() || !tools->widgetForAction(log)->isEnabled()) return false;
    log->trigger();
    const bool shown = w.LogDialog()->isVisible();
    w.LogDialog()->close();
    return shown;
}

} // namespace

class WindowTest : public QObject {
    Q_OBJECT
private slots:
    void featureDialogPagesAndRanges()
    {
        auto w = MakeWindow(ScratchDir("features"));
        QVERIFY(w);
        ui::TFeatureDlg* d = w->FeatureDialog();
        d->show();
        auto* tree = d->findChild<QTreeWidget*>(QStringLiteral("PageTree"));
        QTreeWidgetItem* node = tree->findItems(QStringLiteral("Political (1990)"), Qt::MatchExactly | Qt::MatchRecursive).value(0);
        QVERIFY(node);
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualItemRect(node).center());
        QCOMPARE(d->Heading(), QStringLiteral("POLITICAL (1990)"));
        QCOMPARE(d->Page(), 14);

        // Set and Reset on the current-year areas reach "All Polygons" and
        // the exclude-water option, and skip the boxes that cannot be set.
        d->ShowPage(13);
        d->findChild<QPushButton*>(QStringLiteral("Set13"))->click();
        const RunSettings& s = w->Settings();
        QVERIFY(s.Box("CbAr19") && s.Box("CbAr20") && s.Box("CbAr1") && s.Box("CbAr21"));
        QVERIFY(!s.Box("CbAr16") && !d->findChild<QCheckBox*>(QStringLiteral("CbAr16"))->isChecked());
        QVERIFY(!s.Box("CbAs2")); // another page
        d->findChild<QPushButton*>(QStringLiteral("Reset13"))->click();
        QVERIFY(!s.Box("CbAr19") && !s.Box("CbAr20") && !s.Box("CbAr1"));
        // An area box carries the layer it writes as its tooltip.
        QCOMPARE(d->findChild<QCheckBox*>(QStringLiteral("CbAr1"))->toolTip(), QStringLiteral("CNTY|00605"));
        d->close();
    }

    void precisionAndTolerance()
    {
        auto w = MakeWindow(ScratchDir("numbers"));
        QVERIFY(w);
        ui::TOptionsDlg* d = w->OptionsDialog();
        d->show();
        auto* dig = d->findChild<QLineEdit*>(QStringLiteral("DIG"));
        auto* tol = d->findChild<QLineEdit*>(QStringLiteral("TOL"));
        auto type = [](QLineEdit* field, const QString& text) {
            field->selectAll();
            QTest::keyClicks(field, text);
            return field->text();
        };
        QCOMPARE(type(dig, QStringLiteral("9")), QStringLiteral("6"));
        QCOMPARE(type(dig, QStringLiteral("0")), QStringLiteral("1"));
        QCOMPARE(w->Settings().Precision(), 1);
        dig->selectAll();
        QTest::keyClick(dig, Qt::Key_Backspace);
        QCOMPARE(dig->text(), QStringLiteral("6"));
        QCOMPARE(type(tol, QStringLiteral("2500")), QStringLiteral("1000"));
        tol->selectAll();
        tol->insert(QStringLiteral("-3")); // pasted
        QCOMPARE(tol->text(), QStringLiteral("0"));
        QCOMPARE(w->Settings().Tolerance(), 0);
        d->close();
    }

    // "Convert to NAD83" is a box of the projection group, off at first; it
    // sets its key and the plan the driver reads.
    void convertToNad83()
    {
        auto w = MakeWindow(ScratchDir("nad83"));
        QVERIFY(w);
        ui::TOptionsDlg* d = w->OptionsDialog();
        d->show();
        auto* box = d->findChild<QCheckBox*>(QStringLiteral("NAD83"));
        QVERIFY(box);
        QCOMPARE(box->text(), QStringLiteral("Convert to NAD83"));
        QVERIFY(box->isVisible() && box->isEnabled() && !box->isChecked());
        auto* group = qobject_cast<QGroupBox*>(box->parentWidget());
        QVERIFY(group);
        QCOMPARE(group->title(), QStringLiteral(" Projection "));
        QVERIFY(!BuildConversionPlan(w->Settings()).toNad83);
        QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(4, box->height() / 2));
        QVERIFY(box->isChecked());
        QCOMPARE(w->Settings().Text("NAD83"), std::string("1"));
        QVERIFY(BuildConversionPlan(w->Settings()).toNad83);
        d->close();
    }

    // The options dialog's comment edit holds the configuration's comment
    // lines, empty ones too, and writes them back at every change.
    void commentLines()
    {
        const std::string dir = ScratchDir("comment");
        Spill(dir + "NOTE.CFG", "CbA1=1\r\n[Comment]\r\nMemo=first\r\nMemo=second\r\n");
        auto w = MakeWindow(dir, dir + "NOTE.CFG");
        QVERIFY(w);
        auto* edit = w->OptionsDialog()->findChild<QPlainTextEdit*>(QStringLiteral("CommentEdit"));
        QVERIFY(edit);
        QCOMPARE(edit->toPlainText(), QStringLiteral("first\nsecond"));
        edit->setPlainText(QStringLiteral("one\n\nthree"));
        QCOMPARE(w->Settings().memo, (std::vector<std::string>{"one", "", "three"}));
        edit->clear();
        QVERIFY(w->Settings().memo.empty());
        // A configuration loaded later replaces what the edit shows.
        edit->setPlainText(QStringLiteral("typed"));
        Spill(dir + "OTHER.CFG", "CbA1=1\r\n[Comment]\r\nMemo=loaded\r\n");
        w->SetFileChooser([&](ui::TMainWindow::FileDialog, const QString&, const QString&) {
            return QStringList{Q(dir + "OTHER.CFG")};
        });
        w->findChild<QAction*>(QStringLiteral("Load"))->trigger();
        QCOMPARE(edit->toPlainText(), QStringLiteral("loaded"));
    }

    void inputAndOutputLists()
    {
        const std::string dir = ScratchDir("lists");
        Spill(dir + "TGR01001.ZIP", std::string(1234, 'x'));
        Spill(dir + "tgr01003.rt1", "x");
        Spill(dir + "notes.txt", "x");
        auto w = MakeWindow(dir);
        QVERIFY(w);
        w->findChild<ui::DirectoryBrowser*>()->SetDirectory(Q(dir));
        auto* files = w->findChild<QListView*>(QStringLiteral("FileList"));
        QCOMPARE(files->model()->rowCount(), 2); // the mask in any case
        files->setCurrentIndex(files->model()->index(0, 0));
        auto* add = w->findChild<QPushButton*>(QStringLiteral("AddButton"));
        QTRY_VERIFY(add->isEnabled()); // at the next tick
        add->click();
        add->click();
        QCOMPARE(w->Inputs()->rowCount(), 1);
        QCOMPARE(w->Inputs()->index(0, 0).data().toString(), Q(dir + "TGR01001.ZIP")); // as on disk
        QCOMPARE(w->Inputs()->index(0, 1).data().toString(), QStringLiteral("1,234"));

        // Dropped files: an RT5 and a missing archive to the inputs, a MIF to the outputs.
        Spill(dir + "TGR01005.RT5", "x");
        Spill(dir + "roads.mif", std::string(2000, 'm'));
        QMimeData mime;
        mime.setUrls({QUrl::fromLocalFile(Q(dir + "TGR01005.RT5")), QUrl::fromLocalFile(Q(dir + "roads.mif")),
                      QUrl::fromLocalFile(Q(dir + "TGR09999.ZIP")), QUrl::fromLocalFile(Q(dir + "notes.txt"))});
        QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(w.get(), &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(20, 20), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(w.get(), &drop);
        QCOMPARE(w->Inputs()->rowCount(), 3);
        QCOMPARE(EntryText(w->Settings().inputs[1]), dir + "TGR01005.RT5|1");
        QCOMPARE(w->Inputs()->index(2, 1).data().toString(), QStringLiteral("** NOT FOUND **"));
        QCOMPARE(w->Outputs()->rowCount(), 1);
        QCOMPARE(w->Outputs()->index(0, 0).data().toString(), QStringLiteral("roads.mif"));
        QCOMPARE(w->Outputs()->index(0, 1).data().toString(), QStringLiteral("2,000"));
    }

    void goRefusesWithoutFeatures()
    {
        const std::string dir = ScratchDir("refused");
        Spill(dir + "NONE.CFG", "[Main]\r\n");
        auto w = MakeWindow(dir, dir + "NONE.CFG");
        QVERIFY(w);
        w->AddFiles({Q(dir + "TGR09999.ZIP")});
        auto* go = w->findChild<QPushButton*>(QStringLiteral("GoButton"));
        QVERIFY(go->isEnabled());
        QSignalSpy finished(w.get(), &ui::TMainWindow::RunFinished);
        go->click();
        QVERIFY(finished.wait(10000));
        QVERIFY(finished.at(0).at(0).value<RunResult>().refused);
        QTRY_VERIFY(w->WarningBox()->isVisible());
        QCOMPARE(w->WarningBox()->Text(), QStringLiteral("Please Select Features for Output!"));
        QVERIFY(w->WarningBox()->isModal());
        w->WarningBox()->accept();
    }

    void runMatchesTheCommandLine()
    {
        const std::string dir = ScratchDir("run");
        const std::string config = SampleConfig(dir + "GUI.CFG", dir + "gui/");
        const std::string cliConfig = SampleConfig(dir + "CLI.CFG", dir + "cli/");
        QDir().mkpath(Q(dir + "gui"));
        auto w = MakeWindow(dir, config);
        QVERIFY(w);
        QCOMPARE(w->Inputs()->rowCount(), 1);
        QSignalSpy finished(w.get(), &ui::TMainWindow::RunFinished);
        w->findChild<QPushButton*>(QStringLiteral("GoButton"))->click();
        QVERIFY(finished.wait(300000));
        QCOMPARE(StatusLine(*w), QStringLiteral("Done!"));
        QCOMPARE(w->ExitStatus(), 0);

        QProcess cli;
        cli.start(Q(kBinary + "/zalor-cli"), {QStringLiteral("--quiet"), QStringLiteral("--config"), Q(cliConfig)});
        QVERIFY(cli.waitForFinished(300000));
        QCOMPARE(cli.exitCode(), 0);
        const auto gui = Tree(dir + "gui/"), expected = Tree(dir + "cli/");
        QVERIFY(gui.size() > 40);
        QCOMPARE(gui.size(), expected.size());
        for (const auto& [name, bytes] : expected) {
            QVERIFY2(gui.count(name), qPrintable(name));
            QVERIFY2(gui.at(name) == bytes, qPrintable(name));
        }
        // The output list holds the written files in the order they were
        // written: the roads, their nodes, ..., the areas.
        QVERIFY(w->Outputs()->rowCount() > 40);
        QStringList names;
        for (const FileEntry& entry : w->Outputs()->Entries()) {
            QVERIFY2(QFileInfo::exists(Q(entry.path)), entry.path.c_str());
            names << QFileInfo(Q(entry.path)).fileName();
        }
        QCOMPARE(names.front(), QStringLiteral("TGR08901A.MIF"));
        QVERIFY(names.indexOf(QStringLiteral("TGR08901AN.MIF")) > 0);
        QVERIFY(names.indexOf(QStringLiteral("TGR08901H.MIF")) > names.indexOf(QStringLiteral("TGR08901AN.MIF")));
        QVERIFY(names.indexOf(QStringLiteral("TGR08901CTBNA00.MIF")) > names.indexOf(QStringLiteral("TGR08901H.MIF")));
        QVERIFY(w->findChild<QPushButton*>(QStringLiteral("GoButton"))->isEnabled());
    }

    void stopDuringALargeCounty()
    {
        const std::string dir = ScratchDir("stop");
        const std::string inputs = ThirtyCounties(dir);
        QVERIFY(!inputs.empty());
        const std::string config = SampleConfig(dir + "BIG.CFG", dir + "out/", "RbO2=1\r\n", inputs);
        auto w = MakeWindow(dir, config);
        QVERIFY(w);
        auto* stop = w->findChild<QPushButton*>(QStringLiteral("StopButton"));
        auto* time = w->findChild<QLabel*>(QStringLiteral("TimeLine"));
        QSignalSpy finished(w.get(), &ui::TMainWindow::RunFinished);
        w->findChild<QPushButton*>(QStringLiteral("GoButton"))->click();
        QTRY_VERIFY_WITH_TIMEOUT(stop->isEnabled(), 60000);

        // While the county is read the window goes on serving its events.
        QElapsedTimer clock;
        clock.start();
        qint64 last = 0, longest = 0;
        int ticks = 0;
        QTimer probe;
        connect(&probe, &QTimer::timeout, this, [&] {
            longest = std::max(longest, clock.elapsed() - last);
            last = clock.elapsed();
            ++ticks;
        });
        probe.start(10);
        QTRY_VERIFY_WITH_TIMEOUT(ticks >= 30, 5000);
        QVERIFY2(finished.isEmpty(), "the run ended before Stop");
        // A window waiting on the run would stall for the whole county; the
        // bound leaves room for a machine busy with other tests (sanitizer
        // builds on two cores have shown gaps above 200 ms).
        QVERIFY2(longest < 1000, qPrintable(QString::number(longest)));
        QVERIFY2(QRegularExpression(QStringLiteral("^\\d\\d:\\d\\d\\.\\d\\d\\d$")).match(time->text()).hasMatch(),
                 qPrintable(time->text()));
        QVERIFY(w->findChild<QLineEdit*>(QStringLiteral("Output"))->isEnabled() == false);
        QVERIFY(CommandsOfARun(*w));
        // The commands of the disabled menus do not answer their keys either.
        int asked = 0;
        w->SetFileChooser([&](ui::TMainWindow::FileDialog, const QString&, const QString&) {
            ++asked;
            return QStringList();
        });
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        QTest::keySequence(w.get(), QKeySequence(QKeySequence::Open));
        QCOMPARE(asked, 0);

        stop->click();
        QVERIFY(finished.wait(60000));
        QCOMPARE(StatusLine(*w), QStringLiteral("Process Aborted!"));
        QVERIFY(finished.at(0).at(0).value<RunResult>().stopped);
        QVERIFY(!stop->isEnabled());
        QVERIFY(w->findChild<QLineEdit*>(QStringLiteral("Output"))->isEnabled());
        QTest::keySequence(w.get(), QKeySequence(QKeySequence::Open));
        QCOMPARE(asked, 1);
    }

    void configurationCommands()
    {
        const std::string dir = ScratchDir("configs");
        QDir().mkpath(Q(dir + "lower"));
        auto w = MakeWindow(dir);
        QVERIFY(w);
        QStringList answers;
        w->SetFileChooser([&](ui::TMainWindow::FileDialog, const QString&, const QString&) {
            return answers.isEmpty() ? QStringList() : QStringList{answers.takeFirst()};
        });
        auto trigger = [&](const char* name) { w->findChild<QAction*>(QLatin1String(name))->trigger(); };
        auto* a1 = w->FeatureDialog()->findChild<QCheckBox*>(QStringLiteral("CbA1"));

        trigger("New");
        QVERIFY(a1->isChecked());
        // Save As upper-cases the file name only.
        answers << Q(dir + "lower/myset");
        trigger("SaveAs");
        QVERIFY(QFileInfo::exists(Q(dir + "lower/MYSET.CFG")));
        QCOMPARE(w->Configuration().lastName, dir + "lower/MYSET.CFG");

        a1->setChecked(false);
        QVERIFY(!w->Settings().Box("CbA1"));
        answers << Q(dir + "lower/MYSET.CFG");
        trigger("Load");
        QVERIFY(a1->isChecked());
        auto* recent = w->findChild<QAction*>(QStringLiteral("Recent0"));
        QVERIFY(recent->isVisible() && recent->text().endsWith(Q(dir + "lower/MYSET.CFG")));

        // A loaded file shows in the controls: the clamped precision too.
        Spill(dir + "OTHER.CFG", "DIG=9\r\nCbAr21=1\r\nCbA1=0\r\n");
        answers << Q(dir + "OTHER.CFG");
        trigger("Load");
        QCOMPARE(w->OptionsDialog()->findChild<QLineEdit*>(QStringLiteral("DIG"))->text(), QStringLiteral("6"));
        QVERIFY(w->FeatureDialog()->findChild<QCheckBox*>(QStringLiteral("CbAr21"))->isChecked());
        QVERIFY(!a1->isChecked());
        QVERIFY(w->findChild<QAction*>(QStringLiteral("Recent1"))->text().endsWith(QStringLiteral("MYSET.CFG")));
        w->findChild<QAction*>(QStringLiteral("Recent1"))->trigger();
        QVERIFY(a1->isChecked());
        QVERIFY(recent->text().endsWith(QStringLiteral("MYSET.CFG")));

        // Closing saves the default configuration under the name it is loaded from.
        w->close();
        QVERIFY(QFileInfo::exists(Q(dir + "ZALOR.CFG")));
        QVERIFY(Slurp(dir + "ZALOR.CFG").find("CbA1=1\r\n") != std::string::npos);
    }

    // The file commands and the manual carry the platform's standard keys
    // beside their captions (the usual key where the platform has none: the
    // offscreen platform has no key to quit), no key serves two commands, a
    // key reaches its command, and a run shuts the commands of the disabled
    // menus, keys and all.
    void standardShortcuts()
    {
        const std::string dir = ScratchDir("shortcuts");
        auto w = MakeWindow(dir);
        QVERIFY(w);
        const struct {
            const char* name;
            QKeySequence::StandardKey key;
            const char* caption;
            QKeySequence usual;
        } commands[] = {
            {"New", QKeySequence::New, "&New", QKeySequence(Qt::CTRL | Qt::Key_N)},
            {"Load", QKeySequence::Open, "&Load", QKeySequence(Qt::CTRL | Qt::Key_O)},
            {"SaveDefault", QKeySequence::Save, "&Save as Default", QKeySequence(Qt::CTRL | Qt::Key_S)},
            {"SaveAs", QKeySequence::SaveAs, "Save&As", {}},
            {"Exit", QKeySequence::Quit, "&Exit", QKeySequence(Qt::CTRL | Qt::Key_Q)},
            {"Help", QKeySequence::HelpContents, "&Help", QKeySequence(Qt::Key_F1)},
        };
        for (const auto& c : commands) {
            auto* action = w->findChild<QAction*>(QLatin1String(c.name));
            QVERIFY2(action, c.name);
            const QList<QKeySequence> standard = QKeySequence::keyBindings(c.key);
            if (!standard.isEmpty()) QCOMPARE(action->shortcuts(), standard);
            if (!c.usual.isEmpty()) QVERIFY2(action->shortcuts().contains(c.usual), c.name);
            QCOMPARE(action->text(), QLatin1String(c.caption));
        }
        QVERIFY(!QKeySequence::keyBindings(QKeySequence::Open).isEmpty());
        QMap<QKeySequence, QString> owners;
        for (QAction* action : w->findChildren<QAction*>())
            for (const QKeySequence& key : action->shortcuts()) {
                QVERIFY2(!owners.contains(key), qPrintable(key.toString() + QLatin1Char(' ') + owners.value(key)));
                owners[key] = action->objectName();
            }

        int asked = 0;
        w->SetFileChooser([&](ui::TMainWindow::FileDialog kind, const QString&, const QString&) {
            if (kind == ui::TMainWindow::FileDialog::Open) ++asked;
            return QStringList();
        });
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        QTest::keySequence(w.get(), QKeySequence(QKeySequence::Open));
        QCOMPARE(asked, 1);
    }

    void commandLine()
    {
        const std::string dir = ScratchDir("command-line");
        const std::string config = SampleConfig(dir + "RUN.CFG", dir + "out/");
        QDir().mkpath(Q(dir + "out"));
        QProcess p;
        p.setWorkingDirectory(Q(dir));
        p.start(Q(kBinary + "/zalor"), {QStringLiteral("--config"), Q(config), QStringLiteral("--go"), QStringLiteral("--quit")});
        QVERIFY(p.waitForFinished(300000));
        QCOMPARE(p.exitCode(), 0);
        QVERIFY(QFileInfo::exists(Q(dir + "out/08/08901/TGR08901A.MIF")));
        // Nothing selected: refused, status 1, the warning on standard error.
        Spill(dir + "NONE.CFG", "Output=" + dir + "out/\r\nFile2=" + kSource + "/samples/TGR08901.ZIP\r\n");
        p.start(Q(kBinary + "/zalor"), {QStringLiteral("--config"), Q(dir + "NONE.CFG"), QStringLiteral("--go"),
                                        QStringLiteral("--quit")});
        QVERIFY(p.waitForFinished(60000));
        QCOMPARE(p.exitCode(), 1);
        QVERIFY(QString::fromLocal8Bit(p.readAllStandardError()).contains(QStringLiteral("Please Select Features")));
    }
};

QTEST_MAIN(WindowTest)
#include "window_test.moc"
