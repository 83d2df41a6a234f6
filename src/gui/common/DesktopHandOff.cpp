#include "gui/common/DesktopHandOff.h"

#include "gui/common/Prompts.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QProcess>
#include <QUrl>
#include <QWidget>

namespace vextral::gui {

namespace {

// How long after its start a program's failure is still the hand-off's: a
// desktop opener fails at once, and an editor that ends later with an error
// is the user's own business.
constexpr qint64 kHandOffMilliseconds = 10000;

// Hand-offs are made and ended on the GUI thread alone.
int& underWay()
{
    static int count = 0;
    return count;
}

// The last line the program wrote on standard error, at most a few hundred
// characters of it.
QString lastWords(QProcess& process)
{
    const QStringList lines =
        QString::fromLocal8Bit(process.readAllStandardError()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (auto line = lines.crbegin(); line != lines.crend(); ++line) {
        const QString text = line->trimmed();
        if (!text.isEmpty()) return text.left(300);
    }
    return {};
}

} // namespace

void handOff(QWidget* window, Prompts& prompts, const QString& program, const QStringList& arguments,
             const QString& failure)
{
    // Not a child of the window: closing the window must not end the program.
    auto* process = new QProcess;
    ++underWay();
    QObject::connect(process, &QObject::destroyed, [] { --underWay(); });
    process->setProgram(program);
    process->setArguments(arguments);
    process->setStandardInputFile(QProcess::nullDevice());
    process->setStandardOutputFile(QProcess::nullDevice());
    const QPointer<QWidget> owner(window);
    QElapsedTimer started;
    started.start();
    const auto tell = [owner, &prompts, failure](const QString& reason) {
        if (owner) prompts.error(owner, failure + QStringLiteral(": ") + reason);
    };
    QObject::connect(process, &QProcess::errorOccurred, process, [process, tell](QProcess::ProcessError error) {
        if (error != QProcess::FailedToStart) return;
        tell(process->errorString());
        process->deleteLater();
    });
    QObject::connect(process, &QProcess::finished, process,
                     [process, started, tell, program](int code, QProcess::ExitStatus status) {
                         const bool soon = started.elapsed() < kHandOffMilliseconds;
                         if (soon && (status != QProcess::NormalExit || code != 0)) {
                             QString reason = lastWords(*process);
                             if (reason.isEmpty()) {
                                 reason = status == QProcess::NormalExit
                                              ? QStringLiteral("%1 ended with exit status %2").arg(program).arg(code)
                                              : QStringLiteral("%1 ended abnormally").arg(program);
                             }
                             tell(reason);
                         }
                         process->deleteLater();
                     });
    process->start();
}

int handOffsUnderWay() { return underWay(); }

void openWithDesktop(QWidget* window, Prompts& prompts, const QUrl& url)
{
    const QString target = url.isLocalFile() ? url.toLocalFile() : url.toString();
    handOff(window, prompts, QStringLiteral("xdg-open"), {target}, QStringLiteral("Cannot open %1").arg(target));
}

} // namespace vextral::gui
