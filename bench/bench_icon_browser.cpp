// What a large icon list costs the main window, in memory and in time.
//
//   bench_icon_browser [FILE]
//     harvests FILE (shell32.dll of wine by default) many times through the
//     window (offscreen unless QT_QPA_PLATFORM says otherwise):
//     - the resident memory before anything, with the window built, after
//       300 copies, after Clean (it must come back near the figure before the
//       harvest) and after 900 copies, with the kilobytes each icon costs;
//     - at about 100,000 icons in a 1280 x 900 window, the time of a page
//       scrolled and painted in the icon view and in the details view, and of
//       each zoom step painted; no step may take more than 100 ms.
//   Exits 1 when a limit is passed.
#include "gui/app/MainWindow.h"
#include "gui/iconlist/IconBrowser.h"
#include "platform/IconExtractor.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QListView>
#include <QScrollBar>
#include <QTreeView>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "BenchSupport.h"

namespace {

using vextral::gui::IconLayout;
using vextral::gui::MainWindow;

constexpr double kStepLimitMs = 100.0;

double residentMegabytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (!line.startsWith("VmRSS:")) continue;
        return line.mid(6).trimmed().split(' ').front().toDouble() / 1024.0;
    }
    return -1;
}

void settle(int ms)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

void printRss(const char* when) { std::printf("RSS %-34s %8.1f MB\n", when, residentMegabytes()); }

// Harvests copies of file into the window, the file list replaced; returns seconds.
double harvest(MainWindow& window, const QString& file, int copies)
{
    window.fileList().clear();
    window.addDroppedNames(QStringList(copies, file));
    QElapsedTimer t;
    t.start();
    window.harvestCommands().startHarvest();
    QCoreApplication::processEvents(); // the view lays out and paints the result
    return t.nsecsElapsed() / 1e9;
}

struct Steps {
    std::vector<double> ms;
    double after = 0; // the longest wait for the events a step left behind
    double median() const
    {
        std::vector<double> sorted = ms;
        std::sort(sorted.begin(), sorted.end());
        return sorted.empty() ? 0 : sorted[sorted.size() / 2];
    }
    double max() const { return ms.empty() ? 0 : *std::max_element(ms.begin(), ms.end()); }
};

// Times step followed by a synchronous paint of view; the events it leaves
// (pictures decoded on the thread arriving) are let through untimed, and
// their longest wait is reported apart.
template <typename Step>
void timeStep(Steps& steps, QAbstractItemView& view, Step step)
{
    QElapsedTimer t;
    t.start();
    step();
    view.viewport()->repaint();
    steps.ms.push_back(t.nsecsElapsed() / 1e6);
    t.restart();
    QCoreApplication::processEvents();
    steps.after = std::max(steps.after, t.nsecsElapsed() / 1e6);
    settle(20);
}

Steps scrollPages(QAbstractItemView& view, int pages)
{
    Steps steps;
    QScrollBar* bar = view.verticalScrollBar();
    bar->setValue(bar->minimum());
    settle(100);
    for (int i = 0; i < pages; ++i) timeStep(steps, view, [bar] { bar->setValue(bar->value() + bar->pageStep()); });
    return steps;
}

bool report(const char* what, const Steps& steps)
{
    const bool pass = steps.max() <= kStepLimitMs;
    std::printf("%s %-30s %3zu steps, median %6.2f ms, max %6.2f ms (limit %.0f); events after a step up to %.2f ms\n",
                pass ? "PASS" : "FAIL", what, steps.ms.size(), steps.median(), steps.max(), kStepLimitMs, steps.after);
    return pass;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    const double rssStart = residentMegabytes();
    QApplication app(argc, argv);
    std::string file = argc > 1 ? argv[1] : "";
    if (file.empty()) file = vextral::bench::iconLibrary(VEXTRAL_SOURCE_DIR "/tests/fixtures/icons64.dll");
    const int perFile = vextral::platform::extractIconCount(file);
    if (perFile <= 0) {
        std::fprintf(stderr, "%s carries no icons\n", file.c_str());
        return 2;
    }
    const QString path = QString::fromStdString(file);
    std::printf("%s, %d icons a copy\n", file.c_str(), perFile);
    std::printf("RSS %-34s %8.1f MB\n", "before anything", rssStart);

    vextral::bench::SilentPrompts prompts;
    MainWindow window(prompts, QDir::tempPath().toStdString());
    window.resize(1280, 900);
    window.show();
    settle(300); // the start-up timer passes with empty lists
    const double rssWindow = residentMegabytes();
    printRss("window built");

    bool pass = true;
    const auto harvestAndReport = [&](int copies) {
        const double seconds = harvest(window, path, copies);
        const int icons = window.catalogue().itemCount();
        const double rss = residentMegabytes();
        char when[64];
        std::snprintf(when, sizeof when, "after %d copies (%d icons)", copies, icons);
        std::printf("RSS %-34s %8.1f MB, harvest %.2f s, %.2f KB an icon, catalogue %.0f bytes an icon\n", when, rss,
                    seconds, icons > 0 ? (rss - rssWindow) * 1024.0 / icons : 0.0,
                    icons > 0 ? static_cast<double>(window.catalogue().memoryBytes()) / icons : 0.0);
        return rss;
    };

    const double rss300 = harvestAndReport(300);
    QAction* clean = window.findChild<QAction*>(QStringLiteral("menuClean"));
    if (clean == nullptr) {
        std::fprintf(stderr, "no menuClean action\n");
        return 2;
    }
    clean->trigger();
    QCoreApplication::processEvents();
    settle(200);
    const double rssClean = residentMegabytes();
    // Near means: at most a tenth of what the harvest took, or 10 MB, is kept.
    const double kept = rssClean - rssWindow;
    const bool returned = kept <= std::max(10.0, (rss300 - rssWindow) / 10);
    std::printf("RSS %-34s %8.1f MB (%.1f MB above the window built)\n", "after Clean", rssClean, kept);
    std::printf("%s memory returned by Clean (%.1f MB of %.1f MB kept)\n", returned ? "PASS" : "FAIL", kept,
                rss300 - rssWindow);
    pass = pass && returned;
    harvestAndReport(900);

    clean->trigger();
    QCoreApplication::processEvents();
    // About 100,000 icons: 545 copies of shell32.dll.
    const int copies = (545 * 184 + perFile - 1) / perFile;
    harvestAndReport(copies);
    window.resize(1280, 900);
    window.showIcons(IconLayout::LargeIcon);
    settle(300);
    QListView& list = *window.iconBrowser().listView();
    std::printf("icon view %dx%d at zoom %d\n", list.viewport()->width(), list.viewport()->height(),
                window.iconBrowser().zoom());
    pass = report("icon view, a page scrolled", scrollPages(list, 50)) && pass;

    Steps zoom;
    const int sides[] = {16, 24, 32, 48, 64, 96, 128, 256};
    std::vector<int> order(std::begin(sides), std::end(sides));
    for (int i = static_cast<int>(std::size(sides)) - 2; i >= 0; --i) order.push_back(sides[i]);
    for (int side : order) timeStep(zoom, list, [&window, side] { window.setIconZoom(side); });
    std::printf("zoom steps:");
    for (std::size_t i = 0; i < order.size(); ++i) std::printf(" %d:%.1f", order[i], zoom.ms[i]);
    std::printf(" ms\n");
    pass = report("icon view, a zoom step", zoom) && pass;
    window.setIconZoom(32);

    window.showIcons(IconLayout::Details);
    settle(300);
    pass = report("details view, a page scrolled", scrollPages(*window.iconBrowser().detailsView(), 50)) && pass;
    std::printf("%s\n", pass ? "PASS all" : "FAIL");
    return pass ? 0 : 1;
}
