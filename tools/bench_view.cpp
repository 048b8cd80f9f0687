// zalor-bench-view: times the viewer on its files.
//
//   zalor-bench-view [--runs N] [--size WxH] [--zoom K] FILE...
//
// Prints the median of N runs (default 5) of:
//   - reading the bytes of the files and of their MID/DBF companions from
//     the page cache (read() in 1 MiB blocks), the baseline;
//   - reading them into the viewer's drawing model;
//   - a full redraw at Zoom All of a WxH picture (default 1000x800), and
//     one after K Zoom Ins (default 6) on the centre;
//   - one query under a random position;
//   - a mouse move during a drag over the viewer window (the band alone is
//     drawn: the count of full redraws must not grow).
#include "ui/drawing_surface.h"
#include "ui/render.h"
#include "ui/view_dlg.h"
#include "view/drawing.h"
#include "view/object_grid.h"
#include "view/readers.h"
#include "view/view_state.h"

#include <CLI/CLI.hpp>

#include <QApplication>
#include <QMouseEvent>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

// Median milliseconds of `runs` calls.
double Time(int runs, const std::function<void()>& f)
{
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        auto t0 = Clock::now();
        f();
        ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
    }
    return Median(ms);
}

int64_t ReadAll(const std::string& path)
{
    static std::unique_ptr<char[]> buf(new char[1 << 20]);
    int fd = ::open(path.c_str(), O_RDONLY);
    if (fd < 0) return 0;
    int64_t total = 0;
    ssize_t n;
    while ((n = ::read(fd, buf.get(), 1 << 20)) > 0) total += n;
    ::close(fd);
    return total;
}

} // namespace

int main(int argc, char** argv)
{
    CLI::App app{"Times the viewer's reading and drawing"};
    std::vector<std::string> files;
    int runs = 5, zoom = 6;
    std::string size = "1000x800";
    app.add_option("files", files, "MIF or SHP files")->required();
    app.add_option("--runs", runs, "runs of each measurement")->check(CLI::Range(1, 100));
    app.add_option("--size", size, "picture size WxH");
    app.add_option("--zoom", zoom, "Zoom Ins for the zoomed redraw")->check(CLI::Range(0, 30));
    CLI11_PARSE(app, argc, argv);
    int w = 1000, h = 800;
    if (std::sscanf(size.c_str(), "%dx%d", &w, &h) != 2 || w < 1 || h < 1) {
        std::fprintf(stderr, "--size wants WxH\n");
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    int qargc = 1;
    QApplication qapp(qargc, argv);

    using namespace zalor;
    std::vector<std::string> all = files, mains = files;
    for (const std::string& f : files) {
        for (const char* ext : {".DBF", ".MID"}) {
            std::string c = view::CompanionFile(f, ext);
            if (!c.empty()) all.push_back(c);
        }
    }
    int64_t bytes = 0, mainBytes = 0;
    for (const std::string& f : all) bytes += ReadAll(f); // also warms the page cache
    for (const std::string& f : mains) mainBytes += ReadAll(f);
    const double readAll = Time(runs, [&] { for (const std::string& f : all) ReadAll(f); });
    const double readMain = Time(runs, [&] { for (const std::string& f : mains) ReadAll(f); });

    view::DrawingModel model;
    view::LoadResult result;
    const double load = Time(runs, [&] { result = model.Load(files); });
    if (!result.whole) std::fprintf(stderr, "%s\n", result.message.c_str());

    const double grid = Time(runs, [&] { view::ObjectGrid g(model); });

    view::ViewState state;
    state.SetSurface(w, h);
    state.ZoomAll(model.Extent());
    QImage picture(w, h, QImage::Format_RGB32);
    ui::RenderStats stats;
    const double full = Time(runs, [&] { ui::RenderDrawing(picture, model, state, &stats); });
    const std::size_t fullDrawn = stats.drawn;
    for (int i = 0; i < zoom; ++i) state.ZoomIn();
    const double zoomed = Time(runs, [&] { ui::RenderDrawing(picture, model, state, &stats); });
    const std::size_t zoomedDrawn = stats.drawn;

    state.ZoomAll(model.Extent());
    std::mt19937 rng(7);
    std::vector<double> hit;
    int hits = 0;
    for (int i = 0; i < 200; ++i) {
        const view::ScreenPoint s{double(rng() % unsigned(w)), double(rng() % unsigned(h))};
        double x = 0, y = 0;
        state.ToWorld(s, x, y);
        auto t0 = Clock::now();
        hits += view::HitTest(model, x, y, state.Tolerance()) >= 0;
        hit.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
    }

    // Mouse moves during a drag over a real window (offscreen).
    ui::TViewDlg dialog;
    dialog.resize(w + 40, h + 80);
    dialog.show();
    QStringList qfiles;
    for (const std::string& f : files) qfiles << QString::fromLocal8Bit(f.c_str());
    dialog.OpenFiles(qfiles);
    QApplication::processEvents();
    ui::TDrawingSurface* surface = dialog.Surface();
    surface->repaint();
    const int rendersBefore = surface->RenderCount();
    const QPointF anchor(surface->width() / 4.0, surface->height() / 4.0);
    auto send = [&](QEvent::Type type, QPointF at, Qt::MouseButtons buttons) {
        QMouseEvent e(type, at, surface->mapToGlobal(at), type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton,
                      buttons, Qt::NoModifier);
        QApplication::sendEvent(surface, &e);
    };
    send(QEvent::MouseButtonPress, anchor, Qt::LeftButton);
    const int moves = 200;
    auto t0 = Clock::now();
    for (int i = 0; i < moves; ++i) {
        send(QEvent::MouseMove, anchor + QPointF(i * 2, i), Qt::LeftButton);
        surface->repaint(); // paints what the move asked for, now
    }
    const double perMove = std::chrono::duration<double, std::milli>(Clock::now() - t0).count() / moves;
    const int rendersDuring = surface->RenderCount() - rendersBefore;

    std::printf("files: %zu, %zu objects, %zu points\n", files.size(), model.Objects().size(), model.Points().size());
    std::printf("median of %d runs, milliseconds\n", runs);
    std::printf("%-58s %9.1f  (%.1f MB)\n", "read the bytes of files and MID/DBF (page cache)", readAll, bytes / 1e6);
    std::printf("%-58s %9.1f  (%.1f MB)\n", "read the bytes of the files alone (page cache)", readMain, mainBytes / 1e6);
    std::printf("%-58s %9.1f  (%.2fx the files and MID/DBF)\n", "read into the drawing model", load,
                readAll > 0 ? load / readAll : 0.0);
    std::printf("%-58s %9.1f\n", "grid over the boxes (made at the first redraw)", grid);
    std::printf("%-58s %9.1f  (%zu objects drawn)\n", ("full redraw at Zoom All, " + size).c_str(), full, fullDrawn);
    std::printf("%-58s %9.1f  (%zu objects drawn)\n", ("redraw after " + std::to_string(zoom) + " Zoom Ins").c_str(),
                zoomed, zoomedDrawn);
    std::printf("%-58s %9.3f  (%d of 200 hit)\n", "query at a random position", Median(hit), hits);
    std::printf("%-58s %9.3f  (%d full redraws in %d moves)\n", "mouse move with the drag band", perMove, rendersDuring,
                moves);
    return result.whole ? 0 : 1;
}
