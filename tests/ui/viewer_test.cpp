// The viewer window, offscreen: opening files (GeoPackages too), the layer
// list, the query, the empty drawing, where "All", clicks, drags, the wheel
// and the keys put the map, and the snapshot of the zalor executable.
#include "ui/attribute_list.h"
#include "ui/drawing_surface.h"
#include "ui/layer_list.h"
#include "ui/view_dlg.h"
#include "view/sample_files.h"

#include "formats/shp/dbf.h"

#include <QImage>
#include <QLabel>
#include <QListView>
#include <QProcess>
#include <QTest>
#include <QToolButton>
#include <QTreeView>
#include <QWheelEvent>

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

// Where the world position is on the surface.
QPointF Screen(const ui::TViewDlg& dialog, double x, double y)
{
    const view::ScreenPoint s = dialog.View().ToScreen(x, y);
    return {s.x, s.y};
}

// The extent's centre is at the surface's centre, within a pixel.
bool Centred(const ui::TViewDlg& dialog, const view::Box& e)
{
    const QPointF c = Screen(dialog, (double(e.minX) + e.maxX) / 2, (double(e.minY) + e.maxY) / 2);
    const QSize size = dialog.Surface()->size();
    return std::abs(c.x() - (size.width() - 1) / 2.0) <= 1 && std::abs(c.y() - (size.height() - 1) / 2.0) <= 1;
}

void Wheel(QWidget* w, QPointF at, int angle)
{
    QWheelEvent e(at, w->mapToGlobal(at), QPoint(), QPoint(0, angle), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase,
                  false);
    QApplication::sendEvent(w, &e);
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
        QVERIFY(Centred(dialog, e));
        QVERIFY(Marked(dialog.Surface()->Picture(), dialog.Surface()->rect()) > 1000);
        QCOMPARE(dialog.windowTitle(), QStringLiteral("View - TGR08901ALL.SHP, TGR08901W.SHP"));
        // The layer list: a line per file with its colour and system, a box each.
        auto* layers = dialog.findChild<QTreeView*>(QStringLiteral("LayerList"));
        QVERIFY(layers && layers->isVisible());
        QAbstractItemModel* list = layers->model();
        QCOMPARE(list->rowCount(), 2);
        QCOMPARE(list->index(1, 0).data().toString(), QStringLiteral("TGR08901W.SHP"));
        QCOMPARE(list->index(1, 0).data(Qt::DecorationRole).value<QColor>(), QColor(0, 255, 255));
        QCOMPARE(list->index(1, 1).data().toString(), QStringLiteral("Longitude/latitude, NAD83"));
        QCOMPARE(list->index(0, 0).data(Qt::CheckStateRole).toInt(), int(Qt::Checked));
        // Hiding the chains: the title names the water alone, All fits it.
        const QPointF before = Screen(dialog, e.minX, e.minY);
        QVERIFY(list->setData(list->index(0, 0), Qt::Unchecked, Qt::CheckStateRole));
        QVERIFY(!dialog.Model().Files()[0].shown);
        QCOMPARE(dialog.windowTitle(), QStringLiteral("View - TGR08901W.SHP"));
        QCOMPARE(Screen(dialog, e.minX, e.minY), before);
        dialog.ZoomAll();
        QVERIFY(Centred(dialog, dialog.Model().Files()[1].extent));
        QVERIFY(dialog.CoordSysWarning().isEmpty());
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
        // Values wider than their column are whole in the tooltip.
        QVERIFY(rows->index(2, 0).data(Qt::ToolTipRole).toString().contains(Q(table.GetFieldText(2))));

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
        const double scale = dialog.View().Scale(), cx = dialog.View().CentreX(), cy = dialog.View().CentreY();
        QTest::mousePress(surface, Qt::LeftButton, Qt::NoModifier, QPoint(50, 50));
        for (int i = 1; i <= 20; ++i) {
            QTest::mouseMove(surface, QPoint(50 + 10 * i, 50 + 8 * i));
            surface->repaint();
        }
        QCOMPARE(surface->RenderCount(), renders);
        QTest::mouseRelease(surface, Qt::LeftButton, Qt::NoModifier, QPoint(250, 210));
        QVERIFY(dialog.View().Scale() > scale * 2);
        surface->repaint();
        QCOMPARE(surface->RenderCount(), renders + 1);
        // Zoom All comes back to the files' extent.
        dialog.findChild<QToolButton*>(QStringLiteral("ZoomAllButton"))->click();
        QCOMPARE(dialog.View().Scale(), scale);
        QCOMPARE(dialog.View().CentreX(), cx);
        QCOMPARE(dialog.View().CentreY(), cy);
    }

    // A click leaves the map where it is; a short drag moves it with the
    // mouse, shown moving while the button is held.
    void clicksAndShortDrags()
    {
        ui::TViewDlg dialog;
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QVERIFY(dialog.OpenFiles({Q(shp_ + "TGR08901ALL.SHP")}));
        ui::TDrawingSurface* surface = dialog.Surface();
        const QImage picture = surface->Picture().copy();
        const uint64_t generation = dialog.View().Generation();
        for (int i = 0; i < 3; ++i) QTest::mouseClick(surface, Qt::LeftButton, Qt::NoModifier, QPoint(300, 200));
        QCOMPARE(dialog.View().Generation(), generation);
        QVERIFY(surface->Picture() == picture);

        double x = 0, y = 0;
        dialog.View().ToWorld({300, 200}, x, y);
        QTest::mousePress(surface, Qt::LeftButton, Qt::NoModifier, QPoint(300, 200));
        QTest::mouseMove(surface, QPoint(312, 190));
        const QImage moving = surface->grab().toImage().convertToFormat(QImage::Format_RGB32);
        QCOMPARE(moving.pixel(312 + 40, 190 + 40), picture.pixel(300 + 40, 200 + 40));
        QTest::mouseRelease(surface, Qt::LeftButton, Qt::NoModifier, QPoint(312, 190));
        QCOMPARE(Screen(dialog, x, y), QPointF(312, 190));
    }

    // The wheel zooms about the cursor; +, - and Home zoom too.
    void wheelAndKeys()
    {
        ui::TViewDlg dialog;
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QVERIFY(dialog.OpenFiles({Q(shp_ + "TGR08901ALL.SHP")}));
        ui::TDrawingSurface* surface = dialog.Surface();
        const double scale = dialog.View().Scale();
        const QPointF at(surface->width() * 0.3, surface->height() * 0.7);
        double x = 0, y = 0;
        dialog.View().ToWorld({at.x(), at.y()}, x, y);
        Wheel(surface, at, 120);
        QVERIFY(std::abs(dialog.View().Scale() / scale - std::sqrt(2.0)) < 1e-9);
        QPointF now = Screen(dialog, x, y);
        QVERIFY2(std::abs(now.x() - at.x()) < 1e-6 && std::abs(now.y() - at.y()) < 1e-6, qPrintable(QString::number(now.x())));
        Wheel(surface, at, -240);
        QVERIFY(std::abs(dialog.View().Scale() / scale - std::sqrt(0.5)) < 1e-9);
        now = Screen(dialog, x, y);
        QVERIFY(std::abs(now.x() - at.x()) < 1e-6 && std::abs(now.y() - at.y()) < 1e-6);

        QTest::keyClick(&dialog, Qt::Key_Home);
        QCOMPARE(dialog.View().Scale(), scale);
        QTest::keyClick(&dialog, Qt::Key_Plus);
        QCOMPARE(dialog.View().Scale(), scale * 2);
        QTest::keyClick(&dialog, Qt::Key_Minus);
        QTest::keyClick(&dialog, Qt::Key_Minus);
        QCOMPARE(dialog.View().Scale(), scale / 2);
        QTest::keyClick(&dialog, Qt::Key_Home);
        QCOMPARE(dialog.View().Scale(), scale);
        QVERIFY(Centred(dialog, dialog.Model().Extent()));
    }

    // A GeoPackage: a layer per table, each in a colour of its own; the
    // query finds a row of a table and highlights its object.
    void geoPackage()
    {
        const std::string gpkg = SampleOutput("gpkg") + "TGR08901.gpkg";
        ui::TViewDlg dialog;
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QVERIFY2(dialog.OpenFiles({Q(gpkg)}), qPrintable(dialog.StatusMessage()));
        QCOMPARE(dialog.windowTitle(), QStringLiteral("View - TGR08901.gpkg"));
        const view::DrawingModel& m = dialog.Model();
        QVERIFY(m.Files().size() > 3);
        QAbstractItemModel* list = dialog.findChild<QTreeView*>(QStringLiteral("LayerList"))->model();
        QCOMPARE(list->rowCount(), int(m.Files().size()));
        QVERIFY(list->index(0, 0).data().toString().startsWith(QStringLiteral("TGR08901.gpkg:")));
        QVERIFY(list->index(0, 0).data(Qt::DecorationRole).value<QColor>() !=
                list->index(1, 0).data(Qt::DecorationRole).value<QColor>());
        QVERIFY(Centred(dialog, m.Extent()));
        QVERIFY(Marked(dialog.Surface()->Picture(), dialog.Surface()->rect()) > 1000);

        // Only the chains shown; a query on the middle of a chain.
        std::size_t all = 0;
        for (std::size_t i = 0; i < m.Files().size(); ++i) {
            const bool chains = m.Files()[i].table == "ALL";
            if (chains) all = i;
            list->setData(list->index(int(i), 0), chains ? Qt::Checked : Qt::Unchecked, Qt::CheckStateRole);
        }
        dialog.findChild<QToolButton*>(QStringLiteral("QueryModeButton"))->click();
        QApplication::processEvents();
        const view::DrawingObject& o = m.Objects()[m.Files()[all].firstObject];
        const auto pts = m.PointsOf(o);
        const QPointF mid = Screen(dialog, (double(pts[0].x) + pts[1].x) / 2, (double(pts[0].y) + pts[1].y) / 2);
        QTest::mouseClick(dialog.Surface(), Qt::LeftButton, Qt::ShiftModifier, mid.toPoint());
        QVERIFY(dialog.Queried() >= 0);
        QCOMPARE(m.Objects()[std::size_t(dialog.Queried())].file, uint16_t(all));
        const QAbstractItemModel* rows = dialog.findChild<QListView*>(QStringLiteral("AttributeList"))->model();
        QCOMPARE(rows->rowCount(), int(m.Files()[all].columns.size()) + 1);
        // The queried chain is drawn highlighted over the picture.
        const QImage shown = dialog.Surface()->grab().toImage().convertToFormat(QImage::Format_RGB32);
        int yellow = 0;
        for (int yy = 0; yy < shown.height(); ++yy)
            for (int xx = 0; xx < shown.width(); ++xx) yellow += shown.pixel(xx, yy) == qRgb(255, 255, 0);
        QVERIFY(yellow > 5);
    }

    // Layers of different coordinate systems shown together: a warning
    // under the list, which goes when one of them is hidden.
    void coordinateSystemWarning()
    {
        const std::string dir = ScratchDir("ui-systems");
        Spill(dir + "a.MIF", "Version 300\nCoordsys Earth Projection 1,74\nDATA\nPLINE\n2\n-89.7 40.3\n-89.5 40.4\n");
        Spill(dir + "b.MIF", "Version 300\nCoordsys Earth Projection 1,62\nDATA\nPLINE\n2\n-89.7 40.3\n-89.6 40.5\n");
        ui::TViewDlg dialog;
        dialog.show();
        QVERIFY(dialog.OpenFiles({Q(dir + "a.MIF"), Q(dir + "b.MIF")}));
        QVERIFY(dialog.CoordSysWarning().contains(QStringLiteral("NAD27")));
        QAbstractItemModel* list = dialog.findChild<QTreeView*>(QStringLiteral("LayerList"))->model();
        QCOMPARE(list->index(1, 1).data().toString(), QStringLiteral("Longitude/latitude, NAD27"));
        list->setData(list->index(1, 0), Qt::Unchecked, Qt::CheckStateRole);
        QVERIFY(dialog.CoordSysWarning().isEmpty());
        QCOMPARE(dialog.windowTitle(), QStringLiteral("View - a.MIF"));
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
        QCOMPARE(image.pixel(319, 199), qRgb(192, 192, 192)); // and as much below

        // A north-south railroad stands in the middle, not against an edge.
        Spill(dir + "rail.MIF", "Version 300\nCoordsys Earth Projection 1,74\nDATA\nPLINE\n3\n-89.5 40.3\n"
                                "-89.5 40.4\n-89.5 40.5\n");
        p.start(zalor, {QStringLiteral("--view"), Q(dir + "rail.MIF"), QStringLiteral("--snapshot"), png,
                        QStringLiteral("--size"), QStringLiteral("320x200")});
        QVERIFY(p.waitForFinished(120000));
        QCOMPARE(p.exitCode(), 0);
        image = QImage(png);
        QCOMPARE(Marked(image, QRect(0, 0, 150, 200)) + Marked(image, QRect(170, 0, 150, 200)), 0);
        QVERIFY(Marked(image, QRect(150, 20, 20, 160)) >= 160);
        QCOMPARE(Marked(image, QRect(0, 0, 320, 8)) + Marked(image, QRect(0, 192, 320, 8)), 0); // the margin

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
