// The viewer window, offscreen: opening files, the query, the empty
// drawing, the drag band, and the snapshot of the zalor executable.
#include "ui/attribute_list.h"
#include "ui/drawing_surface.h"
#include "ui/view_dlg.h"
#include "view/sample_files.h"

#include "formats/shp/dbf.h"

#include <QImage>
#include <QLabel>
#include <QListView>
#include <QProcess>
#include <QTest>
#include <QToolButton>

#include <algorithm>

using namespace zalor;
using zalor::test::view::SampleOutput;
using zalor::test::view::ScratchDir;
using zalor::test::view::Slurp;
using zalor::test::view::Spill;

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

// Pixels of the picture that differ from the background in `area`.
int Marked(const QImage& picture, const QRect& area)
{
    const QRgb background = qRgb(192, 192, 192);
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (picture.pixel(x, y) != background) ++n;
    return n;
}

} // namespace

class ViewerTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        shp_ = SampleOutput("shp");
        QVERIFY2(!shp_.empty(), "zalor-cli could not convert the sample county");
    }

    void emptyDrawing()
    {
        ui::TViewDlg dialog;
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QCOMPARE(dialog.windowTitle(), QStringLiteral("View"));
        QVERIFY(dialog.windowFlags() & Qt::WindowStaysOnTopHint);
        auto* zoomMode = dialog.findChild<QToolButton*>(QStringLiteral("ZoomModeButton"));
        QVERIFY(zoomMode && zoomMode->isChecked());
        const QImage picture = dialog.Surface()->Picture();
        const QRect centre(picture.width() / 2 - 100, picture.height() / 2 - 20, 200, 40);
        QVERIFY(Marked(picture, centre) > 50); // "Empty Drawing"
        QCOMPARE(Marked(picture, QRect(0, 0, picture.width(), centre.top() - 10)), 0);
    }

    void openingShowsTheUnionOfTheBoxes()
    {
        ui::TViewDlg dialog;
        dialog.show();
        QVERIFY(dialog.OpenFiles({Q(shp_ + "TGR08901ALL.SHP"), Q(shp_ + "TGR08901W.SHP")}));
        const view::Box& e = dialog.Model().Extent();
        view::Box expected;
        for (const view::DrawingObject& o : dialog.Model().Objects()) expected.Add(o.box);
        QVERIFY(e == expected);
        QVERIFY(dialog.View().Window() == (view::WorldWindow{e.minX, e.minY, e.maxX, e.maxY}));
        QVERIFY(Marked(dialog.Surface()->Picture(), dialog.Surface()->rect()) > 1000);
        // A damaged file: a fault in the status line, the rest still shown.
        const std::string dir = ScratchDir("ui-damaged");
        const std::string all = Slurp(shp_ + "TGR08901ALL.SHP");
        Spill(dir + "cut.SHP", all.substr(0, all.size() / 2));
        QVERIFY(!dialog.OpenFiles({Q(dir + "cut.SHP")}));
        QVERIFY(dialog.StatusMessage().contains(QStringLiteral("cut.SHP")));
        QVERIFY(!dialog.Model().Objects().empty());
    }

    void shiftClickShowsTheChainsRow()
    {
        ui::TViewDlg dialog;
        dialog.resize(900, 700);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QVERIFY(dialog.OpenFiles({Q(shp_ + "TGR08901ALL.SHP")}));
        auto* queryMode = dialog.findChild<QToolButton*>(QStringLiteral("QueryModeButton"));
        QVERIFY(queryMode);
        queryMode->click();
        QVERIFY(dialog.QueryMode());
        auto* list = dialog.findChild<QListView*>(QStringLiteral("AttributeList"));
        QVERIFY(list && list->isVisible());
        QCOMPARE(list->width(), 200);
        QVERIFY(dialog.findChild<QLabel*>(QStringLiteral("QueryHint"))->isVisible());
        QApplication::processEvents();

        // The longest segment of a chain, and its middle: at Zoom All no
        // other chain is within 4 pixels of it.
        ui::TDrawingSurface* surface = dialog.Surface();
        const view::DrawingModel& m = dialog.Model();
        const auto objects = m.Objects();
        std::size_t chain = 0;
        double best = 0;
        QPoint at;
        for (std::size_t k = 0; k < objects.size(); ++k) {
            const auto pts = m.PointsOf(objects[k]);
            for (std::size_t i = 1; i < pts.size(); ++i) {
                const double d = std::hypot(double(pts[i].x) - pts[i - 1].x, double(pts[i].y) - pts[i - 1].y);
                if (d <= best) continue;
                const view::ScreenPoint s =
                    dialog.View().ToScreen((double(pts[i].x) + pts[i - 1].x) / 2, (double(pts[i].y) + pts[i - 1].y) / 2);
                const QPoint p(int(std::lround(s.x)), int(std::lround(s.y)));
                double wx = 0, wy = 0;
                dialog.View().ToWorld({double(p.x()), double(p.y())}, wx, wy);
                if (view::HitTest(m, wx, wy, dialog.View().Tolerance()) != int64_t(k)) continue;
                best = d;
                chain = k;
                at = p;
            }
        }
        QVERIFY(best > 0);
        QTest::mouseClick(surface, Qt::LeftButton, Qt::ShiftModifier, at);

        Tdbx table(shp_ + "TGR08901ALL.DBF", Tdbx::kRead);
        QVERIFY(table.ReadRecord(int64_t(chain) + 1));
        const QAbstractItemModel* rows = list->model();
        QCOMPARE(rows->rowCount(), table.FieldCount() + 1);
        QCOMPARE(rows->index(0, 0).data().toString(), QStringLiteral(" Feature Attributes"));
        QCOMPARE(rows->index(2, 0).data(ui::AttributeListModel::kNameRole).toString(), QStringLiteral("TLID"));
        QCOMPARE(rows->index(2, 0).data().toString(), Q(table.GetFieldText(2)));
        QCOMPARE(rows->index(1, 0).data().toString(), QString::number(chain + 1)); // NUM

        // Moving over it shows its row in the status line; the marker is drawn over the picture.
        QTest::mouseMove(surface, at);
        QVERIFY(dialog.findChild<QLabel*>(QStringLiteral("Row"))->text().contains(Q(table.GetFieldText(2))));
        QVERIFY(dialog.findChild<QLabel*>(QStringLiteral("Position"))->text().startsWith(QStringLiteral("Lon/Lat: -")));
    }

    void dragDrawsOnlyTheBand()
    {
        ui::TViewDlg dialog;
        dialog.resize(900, 700);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QVERIFY(dialog.OpenFiles({Q(shp_ + "TGR08901ALL.SHP")}));
        ui::TDrawingSurface* surface = dialog.Surface();
        surface->repaint();
        const int renders = surface->RenderCount();
        const view::WorldWindow before = dialog.View().Window();
        QTest::mousePress(surface, Qt::LeftButton, Qt::NoModifier, QPoint(50, 50));
        for (int i = 1; i <= 20; ++i) {
            QTest::mouseMove(surface, QPoint(50 + 10 * i, 50 + 8 * i));
            surface->repaint();
        }
        QCOMPARE(surface->RenderCount(), renders);
        QTest::mouseRelease(surface, Qt::LeftButton, Qt::NoModifier, QPoint(250, 210));
        QVERIFY(dialog.View().Window().Width() < before.Width() / 2);
        surface->repaint();
        QCOMPARE(surface->RenderCount(), renders + 1);
        // Zoom All comes back to the files' extent.
        dialog.findChild<QToolButton*>(QStringLiteral("ZoomAllButton"))->click();
        QVERIFY(dialog.View().Window() == before);
    }

    void snapshot()
    {
        const QString zalor = QString::fromUtf8(ZALOR_BINARY_DIR) + QStringLiteral("/zalor");
        const std::string dir = ScratchDir("ui-snapshot");
        const QString png = Q(dir + "s.png");
        QProcess p;
        p.start(zalor, {QStringLiteral("--view"), Q(shp_ + "TGR08901ALL.SHP"), Q(shp_ + "TGR08901W.SHP"),
                        QStringLiteral("--snapshot"), png, QStringLiteral("--size"), QStringLiteral("320x200")});
        QVERIFY(p.waitForFinished(120000));
        QCOMPARE(p.exitCode(), 0);
        QImage image(png);
        QCOMPARE(image.size(), QSize(320, 200));
        QVERIFY(Marked(image, image.rect()) > 500);
        QCOMPARE(image.pixel(319, 0), qRgb(192, 192, 192)); // the county is wider than high: room above

        // A damaged file and a missing one: exit status 1, the message, a picture anyway.
        const std::string all = Slurp(shp_ + "TGR08901ALL.SHP");
        Spill(dir + "cut.SHP", all.substr(0, all.size() / 2));
        p.start(zalor, {QStringLiteral("--view"), Q(dir + "cut.SHP"), Q(dir + "missing.MIF"), QStringLiteral("--snapshot"),
                        png});
        QVERIFY(p.waitForFinished(120000));
        QCOMPARE(p.exitCode(), 1);
        const QString err = QString::fromLocal8Bit(p.readAllStandardError());
        QVERIFY2(err.contains(QStringLiteral("cut.SHP")) && err.contains(QStringLiteral("missing.MIF")), qPrintable(err));
        image = QImage(png);
        QCOMPARE(image.size(), QSize(1000, 800));
        QVERIFY(Marked(image, image.rect()) > 500);

        p.start(zalor, {QStringLiteral("--view"), QStringLiteral("--snapshot"), png, QStringLiteral("--size"),
                        QStringLiteral("0x5")});
        QVERIFY(p.waitForFinished(120000));
        QCOMPARE(p.exitCode(), 2);
    }

private:
    std::string shp_;
};

QTEST_MAIN(ViewerTest)
#include "viewer_test.moc"
