#include "ProbeArguments.h"

#include "WholeNumber.h"

namespace rilvane::probe {

namespace {

using tools::wholeNumber;

}  // namespace

std::optional<ProbeArguments> ProbeArguments::parse(const std::vector<std::string>& args)
{
    ProbeArguments result;
    if (args.empty())
        return result;

    if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
        result.action = Action::Help;
        return result;
    }
    if (args.size() == 1 && args[0] == "--version") {
        result.action = Action::Version;
        return result;
    }
    if (args[0] == "--toc" && args.size() == 2) {
        const auto drive = wholeNumber<int>(args[1], 0, 31);
        if (!drive)
            return std::nullopt;
        result.action = Action::Toc;
        result.drive = drive.value();
        return result;
    }
    if (args[0] == "--read" && args.size() == 4) {
        const auto drive = wholeNumber<int>(args[1], 0, 31);
        const auto sector = wholeNumber<int32_t>(args[2], INT32_MIN, INT32_MAX);
        const auto blocks = wholeNumber<int64_t>(args[3], 0, INT64_MAX);
        if (!drive || !sector || !blocks)
            return std::nullopt;
        result.action = Action::Read;
        result.drive = drive.value();
        result.sector = sector.value();
        result.blocks = blocks.value();
        return result;
    }
    return std::nullopt;
}

const char* ProbeArguments::usage()
{
    return "Aufruf: rilvane-probe                          listet die CD-Laufwerke\n"
           "        rilvane-probe --toc N                  liest das Inhaltsverzeichnis von Laufwerk N\n"
           "        rilvane-probe --read N SEKTOR BLÖCKE   liest BLÖCKE Blöcke zu zehn Sektoren ab SEKTOR\n"
           "        rilvane-probe --help | --version\n"
           "N ist die Stelle des Laufwerks in der Liste, von 0 an gezählt.\n";
}

}  // namespace rilvane::probe
