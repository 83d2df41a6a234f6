#include "support/CliRun.h"

#include <fstream>
#include <iterator>
#include <sstream>

namespace vextral::test {

CliResult runCli(CliCommand command, const std::vector<std::string>& args)
{
    std::ostringstream out, err;
    CliResult r;
    r.status = command(args, out, err, false);
    r.out = out.str();
    r.err = err.str();
    return r;
}

std::string settingsIn(const TempDir& home)
{
    const std::filesystem::path ini = home / "Option.ini";
    std::ofstream(ini, std::ios::app).flush();
    return ini.string();
}

CliResult runCliIn(const TempDir& home, CliCommand command, std::vector<std::string> args)
{
    args.insert(args.begin(), {"--settings", settingsIn(home)});
    return runCli(command, args);
}

CliResult runCliProgram(const std::vector<std::string>& args, const std::string& before)
{
    const TempDir scratch;
    std::string command = before + shellQuote(VEXTRAL_CLI);
    for (const std::string& a : args) command += " " + shellQuote(a);
    const std::filesystem::path errFile = scratch / "stderr.txt";
    CliResult r;
    r.status = runCommand(command + " 2>" + shellQuote(errFile.string()), &r.out);
    std::ifstream in(errFile);
    r.err.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return r;
}

} // namespace vextral::test
