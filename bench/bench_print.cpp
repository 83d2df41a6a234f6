// Printing an icon sheet against saving the same icons.
//
//   bench_print [--icons N] [FILE...]
//     fills a catalogue with N icons (10,000 unless told) taken in turn from
//     the icons of the FILEs (six icon fixtures of the tests unless told), saves them all as PNG
//     with the engine's save all, then prints them all to a PDF file through
//     the Print icons dialog (offscreen, start values, the printer's default
//     page). Printing must take at most twice as long as saving, and the PDF
//     must be at most twice the bytes of the PNG files.
#include "codecs/OutputFormats.h"
#include "export/SaveAll.h"
#include "gui/common/Prompts.h"
#include "gui/print/PrintDialog.h"
#include "platform/IconExtractor.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPrinter>
#include <QPushButton>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "BenchSupport.h"

namespace {

using vextral::bench::NoView;
using vextral::bench::Paths;
using vextral::bench::SilentPrompts;

std::uintmax_t bytesUnder(const std::filesystem::path& folder)
{
    std::uintmax_t total = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        if (entry.is_regular_file()) total += entry.file_size();
    return total;
}

} // namespace

int main(int argc, char** argv)
{
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    int icons = 10000;
    std::vector<std::string> files;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--icons" && i + 1 < argc)
            icons = std::atoi(argv[++i]);
        else
            files.push_back(arg);
    }
    if (files.empty())
        for (const char* name : {"icons32.dll", "icons64.dll", "library.icl", "multi.ico", "tie.ico", "mask.ico"})
            files.push_back(std::string(VEXTRAL_SOURCE_DIR "/tests/fixtures/") + name);
    if (icons <= 0) {
        std::fprintf(stderr, "bench_print: --icons wants a positive number\n");
        return 2;
    }
    std::vector<std::pair<vextral::Icon, std::string>> pool;
    vextral::IconCatalogue catalogue;
    try {
        for (const std::string& file : files) {
            const auto source = vextral::platform::IconSource::open(file);
            for (int k = 0; k < source.count(); ++k)
                if (const auto icon = source.icon(k)) pool.emplace_back(*icon, file);
        }
        if (pool.empty()) throw std::runtime_error("no icons in the files given");
        for (int k = 0; k < icons; ++k) {
            const auto& [icon, file] = pool[static_cast<std::size_t>(k) % pool.size()];
            catalogue.add(icon, k, file); // index k: every saved name differs, no renaming
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_print: %s\n", e.what());
        return 2;
    }
    std::printf("%zu different icons from %zu files\n", pool.size(), files.size());
    QTemporaryDir dir;
    const std::filesystem::path root = dir.path().toStdString();
    std::filesystem::create_directory(root / "png");

    QElapsedTimer timer;
    timer.start();
    vextral::exporting::SaveAllJob job;
    job.format = vextral::codecs::OutputFormat::Png;
    vextral::exporting::saveAll(catalogue, (root / "png").string(), job);
    const double saveSeconds = timer.nsecsElapsed() / 1e9;
    const std::uintmax_t pngBytes = bytesUnder(root / "png");

    SilentPrompts prompts;
    vextral::gui::PrintDialog dialog(catalogue, prompts);
    dialog.printer().setOutputFormat(QPrinter::PdfFormat);
    dialog.printer().setOutputFileName(QString::fromStdString((root / "sheet.pdf").string()));
    timer.restart();
    dialog.findChild<QPushButton*>(QStringLiteral("SpeedButton1"))->click();
    const double printSeconds = timer.nsecsElapsed() / 1e9;
    const std::uintmax_t pdfBytes =
        std::filesystem::exists(root / "sheet.pdf") ? std::filesystem::file_size(root / "sheet.pdf") : 0;

    const double timeRatio = printSeconds / saveSeconds;
    const double sizeRatio = static_cast<double>(pdfBytes) / static_cast<double>(pngBytes);
    std::printf("%d icons: save all as PNG %.3f s, %ju bytes; print to PDF %.3f s, %ju bytes\n", icons, saveSeconds,
                pngBytes, printSeconds, pdfBytes);
    std::printf("print / save: %.2f times the time (at most 2), %.2f times the bytes (at most 2)\n", timeRatio,
                sizeRatio);
    return pdfBytes > 0 && timeRatio <= 2.0 && sizeRatio <= 2.0 ? 0 : 1;
}
