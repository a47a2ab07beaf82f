#include "LogCheck.h"

#include <filesystem>

#include "platform/OwnFiles.h"
#include "rescue/RescueMap.h"
#include "rescue/RescueSession.h"
#include "rescue/ToolFiles.h"
#include "proof/RipLog.h"

namespace rilvane::riptool {

using rescue::FileLimits;
using rescue::readToolFile;

namespace {

std::string runs(int n)
{
    return n == 1 ? "1 Lauf" : std::to_string(n) + " Läufe";
}

std::string lines(size_t n)
{
    return n == 1 ? "1 Zeile" : std::to_string(n) + " Zeilen";
}

}  // namespace

int checkLog(const std::string& path, std::ostream& out, std::ostream& err)
{
    using proof::RipLog;
    std::string text;
    std::string problem;
    if (!readToolFile(path, FileLimits::kLog, text, problem)) {
        err << "rilvane-rip: " << path << " " << problem << "\n";
        return 2;
    }
    const RipLog::SealReport report = RipLog::inspect(text);
    // The map beside the log counts the runs that sealed it.
    int runsInMap = 0;
    {
        std::string mapText;
        std::string ignored;
        const std::string mapPath = (std::filesystem::path(path).parent_path() / rescue::RescueFiles::kMap).string();
        if (readToolFile(mapPath, FileLimits::kMap, mapText, ignored, platform::Links::Refuse))
            if (const auto map = rescue::RescueMap::parse(mapText, ignored)) runsInMap = map->runs();
    }
    if (report.seal == RipLog::Seal::Valid && runsInMap > report.sealedRuns) {
        out << path << ": GEKÜRZT: die Karte daneben zählt " << runs(runsInMap)
            << " mit Prüfsumme, das Protokoll endet nach " << runs(report.sealedRuns)
            << (report.lastDate.empty() ? "" : " (der letzte vom " + report.lastDate + ")") << "\n";
        return 1;
    }
    const std::string sealedUpTo = runs(report.sealedRuns) + (report.lastDate.empty() ? "" : ", der letzte vom " + report.lastDate);
    switch (report.seal) {
    case RipLog::Seal::Broken:
        out << path << ": VERÄNDERT (die Prüfsumme nach " << runs(report.sealedRuns)
            << " stimmt nicht mit dem Text davor überein)\n";
        return 1;
    case RipLog::Seal::Missing:
        if (report.tail == RipLog::Tail::Run) {
            out << path << ": ohne Prüfsumme: der erste Lauf kam nicht zu Ende (abgebrochen, etwa durch kill -9 "
                << "oder einen Stromausfall); seine " << lines(report.tailLines) << " belegt nichts\n";
            return 1;
        }
        out << path << ": kein Protokoll von rilvane-rip (keine Prüfsumme)\n";
        return 1;
    case RipLog::Seal::Valid: break;
    }
    switch (report.tail) {
    case RipLog::Tail::None:
        out << path << ": unverändert (" << sealedUpTo << ")\n";
        if (runsInMap == 0)
            out << "  Ohne die Karte der Rettung daneben zeigt das Protokoll nicht, ob hinten ganze Läufe "
                   "abgeschnitten wurden\n";
        return 0;
    case RipLog::Tail::Run:
        out << path << ": unverändert bis zur letzten Prüfsumme (" << sealedUpTo
            << "); danach ein Lauf, der nicht zu Ende kam (abgebrochen, etwa durch kill -9 oder einen "
               "Stromausfall): seine "
            << lines(report.tailLines) << " deckt keine Prüfsumme\n";
        return 1;
    case RipLog::Tail::Lines:
        out << path << ": VERÄNDERT: nach der letzten Prüfsumme (" << sealedUpTo << ") stehen "
            << lines(report.tailLines) << ", die keine Prüfsumme deckt\n";
        return 1;
    }
    return 1;
}

}  // namespace rilvane::riptool
