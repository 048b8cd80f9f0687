// The settings as the window edits them, offscreen: Cancel and Ok in the
// feature and options dialogs, fields that say why their value cannot be
// used, New and the first start, KXF mode, configurations loaded from
// another folder, the file dialogs' filters, the manual without a browser,
// and what the window remembers between starts.
#include "run/log.h"
#include "run/plan.h"
#include "ui/dialogs.h"
#include "ui/entry_list.h"
#include "ui/feature_dlg.h"
#include "ui/window_support.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QHeaderView>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QSplitter>
#include <QTest>
#include <QTextBrowser>
#include <QTreeView>
#include <QUrl>

using namespace zalor;
using namespace zalor::test::window;

namespace {

QLineEdit* Edit(QWidget* dialog, const char* key) { return dialog->findChild<QLineEdit*>(QLatin1String(key)); }
QCheckBox* Box(QWidget* dialog, const char* key) { return dialog->findChild<QCheckBox*>(QLatin1String(key)); }

// Types `text` over the field's text, as a user would.
void Type(QLineEdit* field, const QString& text)
{
    field->selectAll();
    if (text.isEmpty()) QTest::keyClick(field, Qt::Key_Backspace);
    else QTest::keyClicks(field, text);
}

// True when a pattern of the file dialog's filter ("Caption (*.[cC]fg ...)") matches `name`.
bool FilterMatches(const QString& filter, const QString& name)
{
    const QString patterns = filter.section(QLatin1Char('('), 1).chopped(1);
    for (const QString& p : patterns.split(QLatin1Char(' '), Qt::SkipEmptyParts))
        if (QRegularExpression(QRegularExpression::wildcardToRegularExpression(p)).match(name).hasMatch()) return true;
    return false;
}

} // namespace

class SettingsDialogsTest : public QObject {
    Q_OBJECT
private slots:
    // Cancel puts back what the feature dialog was opened with, however the
    // changes were made (boxes, Set, suffixes); Ok and a later Cancel keep
    // what Ok kept.
    void featureDialogCancelAndOk()
    {
        auto w = MakeWindow(ScratchDir("feature-cancel"));
        QVERIFY(w);
        RunSettings& s = w->Settings();
        const std::string before = s.Get("CbH1") + s.Get("CbAr12") + s.Get("CbP3") + s.Text("Asuf");
        ui::TFeatureDlg* d = w->FeatureDialog();
        d->show();
        Box(d, "CbH1")->click();
        d->ShowPage(13);
        d->findChild<QPushButton*>(QStringLiteral("Reset13"))->click();
        d->ShowPage(17);
        d->findChild<QPushButton*>(QStringLiteral("Set17"))->click();
        Type(Edit(d, "Asuf"), QStringLiteral("ROADS"));
        QVERIFY(s.Box("CbH1") && !s.Box("CbAr12") && s.Box("CbP3") && s.Text("Asuf") == "ROADS");
        d->findChild<QPushButton*>(QStringLiteral("FeatureCancelButton"))->click();
        QVERIFY(!d->isVisible());
        QCOMPARE(s.Get("CbH1") + s.Get("CbAr12") + s.Get("CbP3") + s.Text("Asuf"), before);
        QVERIFY(!Box(d, "CbH1")->isChecked() && Box(d, "CbAr12")->isChecked());
        QCOMPARE(Edit(d, "Asuf")->text(), QStringLiteral("A"));
        QVERIFY(!BuildConversionPlan(s).points); // the next run goes without them

        d->show();
        Box(d, "CbH1")->click();
        d->findChild<QPushButton*>(QStringLiteral("FeatureOkButton"))->click();
        QVERIFY(s.Box("CbH1"));
        // Escape is Cancel: it goes back to what Ok kept.
        d->show();
        Box(d, "CbH1")->click();
        QTest::keyClick(d, Qt::Key_Escape);
        QVERIFY(s.Box("CbH1") && Box(d, "CbH1")->isChecked());
    }

    void optionsDialogCancelAndOk()
    {
        auto w = MakeWindow(ScratchDir("options-cancel"));
        QVERIFY(w);
        RunSettings& s = w->Settings();
        ui::TOptionsDlg* d = w->OptionsDialog();
        d->show();
        d->findChild<QRadioButton*>(QStringLiteral("RbF1"))->click();
        d->findChild<QRadioButton*>(QStringLiteral("RbP1"))->click();
        Type(Edit(d, "DIG"), QStringLiteral("3"));
        Type(Edit(d, "LAM"), QStringLiteral("6378137,-90,40"));
        d->findChild<QPlainTextEdit*>(QStringLiteral("CommentEdit"))->setPlainText(QStringLiteral("typed"));
        QCOMPARE(BuildConversionPlan(s).format->name, std::string_view("shp"));
        d->findChild<QPushButton*>(QStringLiteral("OptionsCancelButton"))->click();
        QCOMPARE(s.Choice("RbF"), std::string("RbF0"));
        QCOMPARE(s.Choice("RbP"), std::string("RbP0"));
        QCOMPARE(s.Precision(), 6);
        QCOMPARE(s.Text("LAM"), std::string("6370997,-100,45"));
        QVERIFY(s.memo.empty());
        QVERIFY(d->findChild<QRadioButton*>(QStringLiteral("RbF0"))->isChecked());
        QCOMPARE(Edit(d, "DIG")->text(), QStringLiteral("6"));

        d->show();
        d->findChild<QRadioButton*>(QStringLiteral("RbF1"))->click();
        d->findChild<QPushButton*>(QStringLiteral("OptionsOkButton"))->click();
        QCOMPARE(s.Choice("RbF"), std::string("RbF1"));
    }

    // A value that cannot be used is said beside its field as it is typed,
    // and Ok waits; a valid one clears it.
    // Auto zip's box is greyed while a format it gathers nothing of is chosen.
    void autoZipGreyedWhereItDoesNothing()
    {
        auto w = MakeWindow(ScratchDir("zip-box"));
        QVERIFY(w);
        ui::TOptionsDlg* d = w->OptionsDialog();
        d->show();
        auto* zip = d->findChild<QCheckBox*>(QStringLiteral("ZIP"));
        QVERIFY(zip);
        d->findChild<QRadioButton*>(QStringLiteral("RbF0"))->click(); // MIF
        QVERIFY(zip->isEnabled());
        d->findChild<QRadioButton*>(QStringLiteral("RbF1"))->click(); // shapefiles
        QVERIFY(!zip->isEnabled());
        d->findChild<QRadioButton*>(QStringLiteral("RbF3"))->click(); // GeoPackage
        QVERIFY(!zip->isEnabled());
        d->findChild<QRadioButton*>(QStringLiteral("RbF0"))->click();
        QVERIFY(zip->isEnabled());
        d->reject();
    }

    void fieldsSayWhyAValueCannotBeUsed()
    {
        auto w = MakeWindow(ScratchDir("field-checks"));
        QVERIFY(w);
        ui::TOptionsDlg* o = w->OptionsDialog();
        o->show();
        QLineEdit* lam = Edit(o, "LAM");
        Type(lam, QStringLiteral("abc"));
        QVERIFY(o->Problem(QStringLiteral("LAM")).startsWith(QStringLiteral("Wants three numbers")));
        auto* reason = o->findChild<QLabel*>(QStringLiteral("LAMProblem"));
        QVERIFY(reason->isVisible() && reason->parentWidget() == lam->parentWidget());
        QVERIFY(!o->OkButton()->isEnabled());
        QTest::keyClick(lam, Qt::Key_Return); // the default button does not take it either
        QVERIFY(o->isVisible());
        Type(lam, QStringLiteral("6370997,-100,95"));
        QCOMPARE(o->Problem(QStringLiteral("LAM")), QStringLiteral("Wants a central latitude from -90 to 90"));
        Type(lam, QStringLiteral("6370997,-100,45"));
        QVERIFY(o->Problem(QStringLiteral("LAM")).isEmpty() && !reason->isVisible() && o->OkButton()->isEnabled());
        o->reject();

        ui::TFeatureDlg* f = w->FeatureDialog();
        f->show();
        f->ShowPage(11);
        Type(Edit(f, "Wsuf2"), QStringLiteral(""));
        QCOMPARE(f->Problem(QStringLiteral("Wsuf2")), QStringLiteral("May not be empty"));
        QVERIFY(!f->OkButton()->isEnabled());
        Type(Edit(f, "Wsuf2"), QStringLiteral("../x"));
        QCOMPARE(f->Problem(QStringLiteral("Wsuf2")), QStringLiteral("May not hold a directory separator or \"..\""));
        f->reject();
        QCOMPARE(w->Settings().Text("Wsuf2"), std::string("WLND"));
    }

    // Values loaded from a file are checked at Go: the warning names the
    // field by its caption, and nothing runs.
    void goNamesTheFieldOfAValueThatCannotBeUsed()
    {
        const std::string dir = ScratchDir("go-checks");
        const struct {
            const char* line;
            const char* named;
        } cases[] = {
            {"RbP1=1\r\nLAM=abc\r\n", "Lambert Parameters \"abc\": wants three numbers"},
            {"Asuf=../x\r\n", "Roads File Suffix \"../x\": may not hold"},
            {"Asuf=\r\n", "Roads File Suffix \"\": may not be empty"},
        };
        for (const auto& c : cases) {
            auto w = MakeWindow(dir, SampleConfig(dir + "BAD.CFG", dir + "out/", c.line));
            QVERIFY(w);
            QSignalSpy finished(w.get(), &ui::TMainWindow::RunFinished);
            w->Go();
            QTRY_VERIFY_WITH_TIMEOUT(!finished.isEmpty(), 30000);
            QVERIFY(finished.at(0).at(0).value<RunResult>().refused);
            QTRY_VERIFY(w->WarningBox()->isVisible());
            QVERIFY2(w->WarningBox()->Text().startsWith(QLatin1String(c.named)), qPrintable(w->WarningBox()->Text()));
            QVERIFY(!w->WarningBox()->Text().contains(QLatin1String("Asuf")));
            w->WarningBox()->accept();
            QVERIFY(!QFileInfo::exists(Q(dir + "out")));
        }
    }

    // New gives the selection the manual names, whatever was chosen before;
    // a first start selects the roads and the tracts, so Go has work.
    void newAndTheFirstStart()
    {
        const std::string dir = ScratchDir("new");
        auto w = MakeWindow(dir);
        QVERIFY(w);
        RunSettings& s = w->Settings();
        const ConversionPlan first = BuildConversionPlan(s);
        QVERIFY(first.refusal.empty());
        QCOMPARE(first.lineGroups.size(), std::size_t(1));
        QCOMPARE(first.areas.back().name, std::string("CTBNA00"));
        QVERIFY(Box(w->FeatureDialog(), "CbA1")->isChecked() && Box(w->FeatureDialog(), "CbAr12")->isChecked());

        for (const SettingDef& def : SettingTable())
            if (def.place == SettingPlace::FeatureDialog && def.kind == SettingKind::Box) s.SetBox(def.key, true);
        w->findChild<QAction*>(QStringLiteral("New"))->trigger();
        const ConversionPlan fresh = BuildConversionPlan(s);
        QCOMPARE(fresh.lineGroups.size(), std::size_t(1));
        QVERIFY(s.Box("CbQ01") && s.Box("CbQ02") && !s.Box("CbQ03")); // the roads' TIGER ID and CFCC
        QStringList areas;
        for (const AreaLayerPlan& a : fresh.areas) areas << Q(a.name);
        QCOMPARE(areas, (QStringList{QStringLiteral("CNTY"), QStringLiteral("FMCD"), QStringLiteral("FSMCD")}));
        QVERIFY(!fresh.points);
        QVERIFY(!Box(w->FeatureDialog(), "CbY0")->isChecked() && !Box(w->FeatureDialog(), "CbAr21")->isChecked());
        QVERIFY(!Box(w->FeatureDialog(), "CbCn3")->isChecked());

        // With a default configuration there is no first start.
        w->close();
        auto again = MakeWindow(dir);
        QVERIFY(again);
        QVERIFY(!again->Settings().Box("CbAr12"));
        QVERIFY(again->Settings().Box("CbAr1"));
    }

    void kxfMode()
    {
        const std::string dir = ScratchDir("kxf");
        auto plain = MakeWindow(dir);
        QVERIFY(plain);
        QVERIFY(plain->OptionsDialog()->findChild<QRadioButton*>(QStringLiteral("RbF2"))->isHidden());
        ui::WindowOptions o;
        o.kxf = true;
        auto w = MakeWindow(dir, {}, o);
        QVERIFY(w);
        ui::TOptionsDlg* d = w->OptionsDialog();
        d->show();
        auto* kxf = d->findChild<QRadioButton*>(QStringLiteral("RbF2"));
        QVERIFY(kxf->isVisible());
        QVERIFY(kxf->text().contains(QLatin1String("KXF")));
        kxf->click();
        d->accept();
        QCOMPARE(BuildConversionPlan(w->Settings()).format->name, std::string_view("kxf"));
    }

    // A configuration loaded from another folder finds the county and the
    // folders it names beside it; the input list shows the path as it is.
    void relativePathsOfAConfigurationFromAnotherFolder()
    {
        const std::string dir = ScratchDir("relative");
        QDir().mkpath(Q(dir + "elsewhere/set/data"));
        QFile::copy(Q(kSource + "/samples/TGR08901.ZIP"), Q(dir + "elsewhere/set/data/TGR08901.ZIP"));
        std::string text = Slurp(kSource + "/samples/SAMPLE.CFG");
        text = text.substr(0, text.find("[Files]"));
        Spill(dir + "elsewhere/set/Rel.cfg",
              text + "Output=out/\r\nLog=run.log\r\nInput=data/\r\n[Files]\r\nFile2=data/TGR08901.ZIP\r\n");
        auto w = MakeWindow(dir);
        QVERIFY(w);
        QString filter;
        w->SetFileChooser([&](ui::TMainWindow::FileDialog, const QString&, const QString& f) {
            filter = f;
            return QStringList{Q(dir + "elsewhere/set/Rel.cfg")};
        });
        w->findChild<QAction*>(QStringLiteral("Load"))->trigger();
        // The dialog's filter shows configurations in any case.
        for (const char* name : {"SAMPLE.CFG", "Rel.cfg", "x.Cfg"}) QVERIFY2(FilterMatches(filter, QLatin1String(name)), name);
        QVERIFY(!FilterMatches(filter, QStringLiteral("x.cfgx")));

        const std::string set = dir + "elsewhere/set/";
        QCOMPARE(w->Inputs()->rowCount(), 1);
        QCOMPARE(w->Inputs()->index(0, 0).data().toString(), Q(set + "data/TGR08901.ZIP"));
        const qint64 size = QFileInfo(Q(set + "data/TGR08901.ZIP")).size();
        QCOMPARE(w->Inputs()->index(0, 1).data().toString(), Q(FormatThousands(size))); // found
        QCOMPARE(w->findChild<QLineEdit*>(QStringLiteral("Output"))->text(), Q(set + "out/"));
        QCOMPARE(w->Settings().Text("Log"), set + "run.log");
        QCOMPARE(w->Settings().Text("Input"), set + "data/");

        QSignalSpy finished(w.get(), &ui::TMainWindow::RunFinished);
        w->Go();
        QVERIFY(finished.wait(120000));
        QCOMPARE(finished.at(0).at(0).value<RunResult>().failed, 0);
        QVERIFY(QFileInfo::exists(Q(set + "out/08/08901/TGR08901A.MIF")));
        QVERIFY(!QFileInfo::exists(Q(dir + "out")));
    }

    // A long path keeps its file name whole; its directories give way.
    void longPathsKeepTheirFileNames()
    {
        const QFontMetrics m(QApplication::font());
        const QString path = QStringLiteral("/data/counties/of/a/state/far/away/TGR08901.ZIP");
        QCOMPARE(ui::ElidedPath(m, path, m.horizontalAdvance(path)), path);
        const int narrow = m.horizontalAdvance(QStringLiteral("/data/…/TGR08901.ZIP"));
        const QString shown = ui::ElidedPath(m, path, narrow);
        QVERIFY2(shown.endsWith(QLatin1String("/TGR08901.ZIP")) && shown.contains(QChar(0x2026)), qPrintable(shown));
        QVERIFY(m.horizontalAdvance(shown) <= narrow);
        QCOMPARE(ui::ElidedPath(m, path, m.horizontalAdvance(QStringLiteral("TGR08901.ZIP"))),
                 QStringLiteral("TGR08901.ZIP"));
    }

    // With no browser to start, Help opens the manual in the program's own
    // window; F1 reaches it.
    void manualWithoutABrowser()
    {
        ui::WindowOptions o;
        o.manual = Q(kSource + "/docs/manual.html");
        auto w = MakeWindow(ScratchDir("manual"), {}, o);
        QVERIFY(w);
        QList<QUrl> asked;
        bool browser = true;
        w->SetUrlOpener([&](const QUrl& url) {
            asked << url;
            return browser;
        });
        auto* help = w->findChild<QAction*>(QStringLiteral("Help"));
        QVERIFY(help->shortcuts().contains(QKeySequence(Qt::Key_F1)));
        help->trigger();
        QCOMPARE(asked, QList<QUrl>{QUrl::fromLocalFile(o.manual)});
        QVERIFY(!w->ManualWindow());
        browser = false;
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        QTest::keyClick(w.get(), Qt::Key_F1);
        QCOMPARE(asked.size(), 2);
        QVERIFY(w->ManualWindow() && w->ManualWindow()->isVisible());
        auto* text = w->ManualWindow()->findChild<QTextBrowser*>();
        QCOMPARE(text->documentTitle(), QStringLiteral("Zalor user manual"));
        QVERIFY(text->toPlainText().contains(QLatin1String("Configurations")));
    }

    // The window's size, splitters and the lists' columns come back at the
    // next start.
    void layoutIsRemembered()
    {
        const std::string dir = ScratchDir("layout");
        ui::WindowOptions o;
        o.layoutFile = Q(dir + "ZALOR.INI");
        QList<int> sizes;
        int column = 0;
        {
            auto w = MakeWindow(dir, {}, o);
            QVERIFY(w);
            w->resize(1040, 760);
            auto* split = w->findChild<QSplitter*>(QStringLiteral("TopSplitter"));
            split->setSizes({200, split->width() - 200 - split->handleWidth()});
            sizes = split->sizes();
            auto* outputs = w->findChild<QTreeView*>(QStringLiteral("OutputList"));
            outputs->header()->resizeSection(0, 321);
            column = outputs->header()->sectionSize(0);
            w->close();
        }
        auto w = MakeWindow(dir, {}, o);
        QVERIFY(w);
        QCOMPARE(w->size(), QSize(1040, 760));
        QCOMPARE(w->findChild<QSplitter*>(QStringLiteral("TopSplitter"))->sizes(), sizes);
        QCOMPARE(w->findChild<QTreeView*>(QStringLiteral("OutputList"))->header()->sectionSize(0), column);
    }
};

QTEST_MAIN(SettingsDialogsTest)
#include "settings_dialogs_test.moc"
