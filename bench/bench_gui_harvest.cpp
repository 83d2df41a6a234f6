// Two measures of what the window adds to a harvest.
//
//   bench_gui_harvest [--icons N] [FILE]
//     harvests about 10,000 icons twice: with the engine alone (no view, no
//     pump) and through the main window (offscreen); the window must cost at
//     most twice the engine.
//
//   bench_gui_harvest --folder DIR
//     harvests DIR with every file type on, through the main window
//     (offscreen, start-up included: application, window, run, until idle)
//     and through vextral-cli beside this program (a process of its own, so
//     its start-up is included too); the window must take at most 1.3 times
//     the command line.
#include "gui/app/MainWindow.h"
#include "harvest/HarvestRun.h"
#include "platform/IconExtractor.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>
#include <filesystem>
#include <memory>

#include "BenchSupport.h"

namespace {

using vextral::bench::NoView;
using vextral::bench::Paths;
using vextral::bench::SilentPrompts;

void settle(int ms)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

} // namespace

// The best of three runs of vextral-cli harvest over folder, in seconds.
double commandLineSeconds(const QString& folder, QString& summary)
{
    const QString cli = QCoreApplication::applicationDirPath() + QStringLiteral("/vextral-cli");
    double best = 1e300;
    for (int round = 0; round < 3; ++round) {
        QProcess process;
        QElapsedTimer t;
        t.start();
        process.start(cli, {QStringLiteral("harvest"), QStringLiteral("--settings"), QStringLiteral("/dev/null"),
                            QStringLiteral("--types"), QStringLiteral("all"), folder});
        if (!process.waitForFinished(600000)) return -1;
        best = std::min(best, t.nsecsElapsed() / 1e9);
        summary = QString::fromLocal8Bit(process.readAllStandardOutput()).trimmed();
    }
    return best;
}

int folderBenchmark(const QString& folder, double appStartSeconds)
{
    QString summary;
    const double cli = commandLineSeconds(folder, summary);
    if (cli < 0) {
        std::fprintf(stderr, "vextral-cli did not run\n");
        return 2;
    }
    double best = 1e300;
    int icons = 0;
    const QTemporaryDir programFolder; // no Option.ini: every file type on
    for (int round = 0; round < 3; ++round) {
        QElapsedTimer t;
        t.start();
        SilentPrompts prompts;
        auto window = std::make_unique<vextral::gui::MainWindow>(prompts, programFolder.path().toStdString());
        window->show();
        window->addDroppedNames({folder});
        window->harvestCommands().startHarvest();
        QCoreApplication::processEvents(); // the view lays out and paints the result
        best = std::min(best, t.nsecsElapsed() / 1e9 + appStartSeconds);
        icons = window->catalogue().itemCount();
    }
    const double ratio = best / cli;
    std::printf("folder %s, every file type\n", folder.toUtf8().constData());
    std::printf("vextral-cli: %.3f s (%s)\n", cli, summary.toUtf8().constData());
    std::printf("window: %.3f s, %d icons (application start-up %.3f s included)\n", best, icons, appStartSeconds);
    std::printf("ratio window / command line %.2f (limit 1.30)\n", ratio);
    return ratio <= 1.3 ? 0 : 1;
}

int main(int argc, char** argv)
{
    QElapsedTimer sinceStart;
    sinceStart.start();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const double appStartSeconds = sinceStart.nsecsElapsed() / 1e9;
    int target = 10000;
    std::string file;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--icons" && i + 1 < argc)
            target = std::atoi(argv[++i]);
        else if (a == "--folder" && i + 1 < argc)
            return folderBenchmark(QString::fromLocal8Bit(argv[++i]), appStartSeconds);
        else
            file = a;
    }
    if (file.empty()) file = vextral::bench::iconLibrary(VEXTRAL_SOURCE_DIR "/tests/fixtures/icons64.dll");
    const int perFile = vextral::platform::extractIconCount(file);
    if (perFile <= 0) {
        std::fprintf(stderr, "%s carries no icons\n", file.c_str());
        return 2;
    }
    Paths files, folders;
    files.paths.assign(static_cast<std::size_t>((target + perFile - 1) / perFile), file);

    double engineBest = 1e300, guiBest = 1e300;
    int engineIcons = 0, guiIcons = 0;
    for (int round = 0; round < 3; ++round) {
        vextral::IconCatalogue catalogue;
        NoView view;
        vextral::HarvestRun run(catalogue, view, files, folders, [] {});
        QElapsedTimer t;
        t.start();
        run.start(true, false);
        engineBest = std::min(engineBest, t.nsecsElapsed() / 1e9);
        engineIcons = catalogue.itemCount();
    }
    if (qEnvironmentVariableIsSet("VEXTRAL_BENCH_PUMP")) {
        vextral::IconCatalogue catalogue;
        NoView view;
        vextral::HarvestRun run(catalogue, view, files, folders, [] { QCoreApplication::processEvents(); });
        QElapsedTimer t;
        t.start();
        run.start(true, false);
        std::printf("engine with event pump: %.3f s\n", t.nsecsElapsed() / 1e9);
    }
    QStringList names;
    for (const std::string& p : files.paths) names << QString::fromStdString(p);
    for (int round = 0; round < 3; ++round) {
        SilentPrompts prompts;
        vextral::gui::MainWindow window(prompts, QDir::tempPath().toStdString());
        window.show();
        settle(200); // the start-up timer passes with empty lists
        window.addDroppedNames(names);
        QElapsedTimer t;
        t.start();
        window.harvestCommands().startHarvest();
        QCoreApplication::processEvents(); // the view lays out and paints the result
        guiBest = std::min(guiBest, t.nsecsElapsed() / 1e9);
        guiIcons = window.catalogue().itemCount();
    }
    const double ratio = guiBest / engineBest;
    std::printf("%s: %d entries x %d icons\n", QFileInfo(QString::fromStdString(file)).fileName().toUtf8().constData(),
                files.count(), perFile);
    std::printf("engine %d icons in %.3f s; window %d icons in %.3f s; ratio %.2f (limit 2.00)\n", engineIcons,
                engineBest, guiIcons, guiBest, ratio);
    return ratio <= 2.0 ? 0 : 1;
}
