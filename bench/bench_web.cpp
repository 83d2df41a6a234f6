// The web gallery through the dialog against the command line.
//
//   bench_web [--icons N] [FILE]
//     builds a gallery of about 10,000 icons (GIF, 32 x 32; the icons of
//     FILE, library.icl of the test fixtures by default, named again and
//     again) twice: harvested by the engine and written through the "Create
//     Web Page" dialog (offscreen, its events pumped after every picture), and
//     by "vextral-cli web" beside this program (a process of its own, harvest
//     and start-up included). The dialog must take at most 1.5 times the
//     command line.
#include "gui/common/Prompts.h"
#include "gui/webpage/WebPageDialog.h"
#include "harvest/HarvestRun.h"
#include "platform/IconExtractor.h"
#include "settings/Settings.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "BenchSupport.h"

namespace {

using vextral::bench::NoView;
using vextral::bench::Paths;
using vextral::bench::SilentPrompts;

int filesIn(const QString& folder)
{
    int n = 0;
    for (const auto& e : std::filesystem::directory_iterator(folder.toStdString())) n += e.is_regular_file() ? 1 : 0;
    return n;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    int target = 10000;
    std::string file = VEXTRAL_SOURCE_DIR "/tests/fixtures/library.icl";
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--icons" && i + 1 < argc)
            target = std::max(1, std::atoi(argv[++i]));
        else
            file = a;
    }
    const int perFile = vextral::platform::IconSource::open(file).count();
    if (perFile < 1) {
        std::fprintf(stderr, "%s holds no icon\n", file.c_str());
        return 2;
    }
    Paths files;
    files.paths.assign(static_cast<std::size_t>((target + perFile - 1) / perFile),
                       std::filesystem::absolute(file).string());

    double dialogBest = 1e9, cliBest = 1e9;
    int icons = 0;
    const QString cli = QCoreApplication::applicationDirPath() + QStringLiteral("/vextral-cli");
    QStringList cliArgs = {QStringLiteral("web"), QStringLiteral("--settings"), QStringLiteral("/dev/null")};
    for (const std::string& p : files.paths) cliArgs << QString::fromStdString(p);
    for (int round = 0; round < 3; ++round) {
        QTemporaryDir out;
        QElapsedTimer t;
        t.start();
        vextral::IconCatalogue catalogue;
        NoView view;
        Paths none;
        vextral::HarvestRun run(catalogue, view, files, none, nullptr);
        run.start(true, true);
        const vextral::settings::Settings settings;
        SilentPrompts prompts;
        vextral::gui::WebPageDialog dialog(catalogue, settings, prompts);
        dialog.show();
        dialog.findChild<QLineEdit*>(QStringLiteral("editFile"))->setText(out.path());
        dialog.findChild<QPushButton*>(QStringLiteral("SpeedButton5"))->click();
        dialogBest = std::min(dialogBest, t.nsecsElapsed() / 1e9);
        icons = catalogue.imageCount();
        if (!prompts.messages.isEmpty() || filesIn(out.path()) != icons + 1) {
            std::fprintf(stderr, "the dialog did not write the gallery: %s\n",
                         prompts.messages.join(QStringLiteral("; ")).toUtf8().constData());
            return 1;
        }

        QTemporaryDir cliOut;
        QProcess process;
        t.restart();
        process.start(cli, cliArgs + QStringList {QStringLiteral("--out"), cliOut.path()});
        if (!process.waitForFinished(600000) || process.exitCode() != 0) {
            std::fprintf(stderr, "vextral-cli web failed: %s\n", process.readAllStandardError().constData());
            return 1;
        }
        cliBest = std::min(cliBest, t.nsecsElapsed() / 1e9);
        if (filesIn(cliOut.path()) != icons + 1) {
            std::fprintf(stderr, "vextral-cli web did not write the gallery\n");
            return 1;
        }
    }
    const double ratio = dialogBest / cliBest;
    std::printf("gallery of %d icons, GIF 32 x 32, best of 3\n", icons);
    std::printf("vextral-cli web: %.3f s (harvest and start-up included)\n", cliBest);
    std::printf("dialog: %.3f s (harvest included)\n", dialogBest);
    std::printf("ratio dialog / command line %.2f (limit 1.50)\n", ratio);
    return ratio <= 1.5 ? 0 : 1;
}
