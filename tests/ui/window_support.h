// What the main window's tests share: a window on a scratch directory, the
// sample configuration writing where a test wants, and short names.
#pragma once

#include "ui/main_window.h"
#include "view/sample_files.h"

#include <QLabel>
#include <QString>
#include <QTest>

#include <memory>
#include <string>

namespace zalor::test::window {

using zalor::test::view::ScratchDir;
using zalor::test::view::Slurp;
using zalor::test::view::Spill;

inline QString Q(const std::string& s) { return QString::fromStdString(s); }
inline const std::string kSource = ZALOR_SOURCE_DIR;
inline const std::string kBinary = ZALOR_BINARY_DIR;

// The window on `dir` (its data, output and current directory), with
// `config` loaded instead of the default configuration; shown.
inline std::unique_ptr<ui::TMainWindow> MakeWindow(const std::string& dir, const std::string& config = {},
                                                   ui::WindowOptions o = {})
{
    o.dataDirectory = Q(dir);
    o.outputDirectory = Q(dir);
    o.currentDirectory = Q(dir);
    o.configFile = Q(config);
    auto w = std::make_unique<ui::TMainWindow>(o);
    w->show();
    if (!QTest::qWaitForWindowExposed(w.get())) return nullptr;
    return w;
}

// The sample configuration writing under `output`, with `lines` added
// after it (a later line wins) and the sample county (or `input`) to convert.
inline std::string SampleConfig(const std::string& path, const std::string& output, const std::string& lines = {},
                                const std::string& input = kSource + "/samples/TGR08901.ZIP")
{
    std::string text = Slurp(kSource + "/samples/SAMPLE.CFG");
    text = text.substr(0, text.find("[Files]"));
    Spill(path, text + "Output=" + output + "\r\n" + lines + "[Files]\r\nFile2=" + input + "\r\n");
    return path;
}

inline QString Field(ui::TMainWindow& w, const char* name) { return w.findChild<QLabel*>(QLatin1String(name))->text(); }
inline QString StatusLine(ui::TMainWindow& w) { return Field(w, "StatusLine"); }

} // namespace zalor::test::window
