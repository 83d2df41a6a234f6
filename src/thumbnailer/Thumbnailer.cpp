#include "thumbnailer/Thumbnailer.h"

#include "codecs/Writers.h"
#include "core/Error.h"
#include "core/Sink.h"
#include "export/BestImage.h"

#include <signal.h>
#include <sys/resource.h>
#include <sys/time.h>
#include <unistd.h>

#include <exception>
#include <new>

namespace vextral::thumbnailer {

namespace {

std::optional<int> parseSize(const std::string& text)
{
    if (text.empty() || text.size() > 5) return std::nullopt;
    int value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + (c - '0');
    }
    if (value < 1 || value > kMaxThumbnailSize) return std::nullopt;
    return value;
}

extern "C" void onTimeLimit(int)
{
    static const char message[] = "vextral-thumbnailer: time limit reached\n";
    [[maybe_unused]] const ssize_t n = ::write(2, message, sizeof message - 1);
    ::_exit(3);
}

} // namespace

std::optional<Arguments> parseArguments(const std::vector<std::string>& args, std::string& error)
{
    Arguments result;
    std::vector<std::string> names;
    std::optional<std::string> sizeText;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "-s" || a == "--size") {
            if (i + 1 == args.size()) {
                error = "option " + a + " needs a size";
                return std::nullopt;
            }
            sizeText = args[++i];
        } else if (a.rfind("--size=", 0) == 0) {
            sizeText = a.substr(7);
        } else if (a.size() > 2 && a.rfind("-s", 0) == 0) {
            sizeText = a.substr(2);
        } else if (a.size() > 1 && a[0] == '-') {
            error = "unknown option " + a;
            return std::nullopt;
        } else {
            names.push_back(a);
        }
    }
    if (!sizeText) {
        error = "no size given (-s SIZE)";
        return std::nullopt;
    }
    const std::optional<int> size = parseSize(*sizeText);
    if (!size) {
        error = "'" + *sizeText + "' is not a size from 1 to " + std::to_string(kMaxThumbnailSize);
        return std::nullopt;
    }
    if (names.size() != 2) {
        error = "expected INPUT and OUTPUT";
        return std::nullopt;
    }
    result.size = *size;
    result.input = names[0];
    result.output = names[1];
    return result;
}

std::optional<Rgba> renderThumbnail(const std::string& input, int size)
{
    const std::optional<codecs::IconPicture> picture = exporting::renderBestImage(input, 0, size, size);
    if (!picture || picture->width <= 0 || picture->height <= 0) return std::nullopt;
    return Rgba {picture->width, picture->height, picture->argb()};
}

bool applyLimits()
{
    bool ok = true;
    const rlimit memory {kMemoryLimit, kMemoryLimit};
    if (kMemoryLimited) ok = ::setrlimit(RLIMIT_AS, &memory) == 0 && ok;
    // The soft limit raises SIGXCPU, which ends the process quietly; the
    // hard one a second later is the kernel's SIGKILL should that not work.
    const rlimit cpu {kTimeLimitSeconds, kTimeLimitSeconds + 1};
    ok = ::setrlimit(RLIMIT_CPU, &cpu) == 0 && ok;
    struct sigaction action {};
    action.sa_handler = onTimeLimit;
    ok = ::sigaction(SIGXCPU, &action, nullptr) == 0 && ok;
    ok = ::sigaction(SIGALRM, &action, nullptr) == 0 && ok;
    // Reading a file can block where computing cannot: real time is capped too.
    itimerval wall {};
    wall.it_value.tv_sec = kTimeLimitSeconds;
    ok = ::setitimer(ITIMER_REAL, &wall, nullptr) == 0 && ok;
    return ok;
}

int run(const std::vector<std::string>& args, std::string& err)
{
    std::string error;
    const std::optional<Arguments> parsed = parseArguments(args, error);
    if (!parsed) {
        err = error + "\nUsage: vextral-thumbnailer -s SIZE INPUT OUTPUT\n";
        return 2;
    }
    try {
        const std::optional<Rgba> picture = renderThumbnail(parsed->input, parsed->size);
        if (!picture) {
            err = parsed->input + ": no icon to show\n";
            return 1;
        }
        // The file appears whole or not at all; its messages name it.
        try {
            FileSink file(parsed->output);
            codecs::writePngArgb(picture->width, picture->height, picture->pixels, file);
            file.commit();
        } catch (const Error& e) {
            err = std::string(e.what()) + "\n";
            return 1;
        }
        return 0;
    } catch (const std::bad_alloc&) {
        err = parsed->input + ": out of memory\n";
    } catch (const std::exception& e) {
        err = parsed->input + ": " + e.what() + "\n";
    }
    return 1;
}

} // namespace vextral::thumbnailer
