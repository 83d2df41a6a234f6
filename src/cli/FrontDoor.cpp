#include "cli/FrontDoor.h"

#include "cli/CliSupport.h"
#include "core/FileDescriptor.h"
#include "platform/ProgramFolder.h"
#include "settings/ProfileFile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vextral::cli {

namespace {

// What the walk of the arguments decided.
enum class Door { Run, Help, Version };

// Walks args into options; settingsFile, when given, takes "--settings".
Door walk(const std::vector<std::string>& args, CommandOptions& options, std::optional<std::string>* settingsFile)
{
    Arguments a(args);
    while (a.next()) {
        const std::string& name = a.name();
        if (!a.isOption()) {
            options.operands.push_back(name);
        } else if (const CommonOption common = a.commonOption(); common != CommonOption::None) {
            return common == CommonOption::Help ? Door::Help : Door::Version;
        } else if (settingsFile && name == "--settings") {
            *settingsFile = a.value();
        } else if (!options.option(a)) {
            throw UsageError("unknown option " + name);
        }
    }
    options.check();
    return Door::Run;
}

// The door itself: the status when the command ends there.
std::optional<int> enter(const char* name, const char* help, const std::vector<std::string>& args,
                         CommandOptions& options, const CommandIo& io, std::optional<std::string>* settingsFile)
{
    try {
        switch (walk(args, options, settingsFile)) {
        case Door::Run: return std::nullopt;
        case Door::Help: io.out << help; return 0;
        case Door::Version: io.out << versionLine(); return 0;
        }
    } catch (const UsageError& e) {
        printUsageError(io.err, name, e.what());
    }
    return 2;
}

// Why a settings file cannot be read, if it cannot; never blocks on a FIFO.
std::optional<std::string> settingsFileProblem(const std::string& path)
{
    const FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!fd) return std::string(std::strerror(errno));
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) return std::string(std::strerror(errno));
    if (S_ISDIR(st.st_mode)) return std::string(std::strerror(EISDIR));
    return std::nullopt;
}

} // namespace

int runCommand(const char* name, const char* help, const std::vector<std::string>& args, CommandOptions& options,
               const CommandIo& io, const std::function<int()>& body)
{
    if (const auto status = enter(name, help, args, options, io, nullptr)) return *status;
    return body();
}

int runCommand(const char* name, const char* help, const std::vector<std::string>& args, CommandOptions& options,
               const CommandIo& io, const std::function<int(settings::Settings&)>& body)
{
    std::optional<std::string> settingsFile;
    if (const auto status = enter(name, help, args, options, io, &settingsFile)) return *status;
    auto settings = loadCommandSettings(settingsFile, io.err, std::string("vextral-cli ") + name);
    if (!settings) return 2;
    return body(*settings);
}

std::optional<settings::Settings> loadCommandSettings(const std::optional<std::string>& file, std::ostream& err,
                                                      const std::string& command)
{
    if (file) {
        if (const auto problem = settingsFileProblem(*file)) {
            err << command << ": --settings " << *file << ": " << *problem << "\n";
            return std::nullopt;
        }
    }
    const std::string ini = file ? *file : platform::programFolder() + "/" + settings::kSettingsFileName;
    settings::Settings settings;
    if (const auto problem = settings.load(settings::ProfileFile(ini))) {
        err << command << ": " << *problem << " (in " << ini << "); using white\n";
    }
    return settings;
}

} // namespace vextral::cli
