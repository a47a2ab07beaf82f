#include "MakeDiscOptions.h"

#include "vdrive/TextInput.h"

namespace rilvane::makedisc {

namespace {

constexpr int64_t kNumberLimit = 100'000'000;

bool readNumber(const std::string& option, const std::string& text, int64_t& value, std::string& error)
{
    const auto parsed = vdrive::parseDecimal(text, kNumberLimit);
    if (!parsed) {
        error = option + " needs a whole number, not '" + text + "'";
        return false;
    }
    value = *parsed;
    return true;
}

std::vector<std::string> split(const std::string& text, char separator)
{
    std::vector<std::string> parts;
    size_t start = 0;
    while (true) {
        const size_t end = text.find(separator, start);
        parts.push_back(text.substr(start, end - start));
        if (end == std::string::npos)
            return parts;
        start = end + 1;
    }
}

}  // namespace

std::string usageText()
{
    return "Usage: rilvane-make-disc --out DIR/NAME [options]\n"
           "Writes a test disc for the virtual drives: DIR/NAME.cue with DIR/NAME.bin and,\n"
           "when --defects or --name is given, DIR/NAME.defects.\n"
           "\n"
           "  --out DIR/NAME        where to write (the folder is created)\n"
           "  --tracks N            number of tracks (default 3)\n"
           "  --lengths L1,L2,...   length of each track in sectors, from INDEX 01 to the\n"
           "                        next track (default 1500 each; sets the track count)\n"
           "  --first-track K       number of the first track (default 1)\n"
           "  --data-track          make the first track a MODE1/2352 data track\n"
           "  --data-last           make the last track a MODE1/2352 data track\n"
           "  --pregap SECTORS      silent sectors before every track, as INDEX 00\n"
           "                        (the first track then starts at sector SECTORS)\n"
           "  --defects \"LINE;...\"  defect map lines, e.g. \"1000-1009 03/11/00 50;2000 gone;toc 05/24/00\"\n"
           "  --name TEXT           product name the drive reports in INQUIRY\n"
           "  --pre-emphasis N,...  flag these audio tracks (by number) with pre-emphasis\n"
           "  --stamp               put the sector number in the first frame of every audio\n"
           "                        sector (left: low 16 bits, right: high 16 bits)\n"
           "  --split-files         one BIN per track (NAME-01.bin, ...) instead of one\n"
           "  --hidden-track SECTORS  sound before the first track's INDEX 01 (a hidden track)\n"
           "  --index2 SECTORS      INDEX 02 this many sectors into every audio track\n"
           "  --catalog DIGITS      the disc's catalogue number (13 digits)\n"
           "  --isrc C1,C2,...      ISRC of each track in order (empty: none)\n"
           "  --title TEXT          CD-Text: the disc's title (also --performer, --songwriter)\n"
           "  --track-titles \"T1;T2;...\"  CD-Text: each track's title (also --track-performers,\n"
           "                        --track-songwriters)\n"
           "  --help                show this text\n"
           "  --version             show the version\n"
           "\n"
           "Audio track n holds a sine of 110*(n+1) Hz on the left channel and 165*(n+1) Hz\n"
           "on the right, at -12 dBFS, continuous from INDEX 01 to the end of the track.\n"
           "Data tracks hold Mode 1 sectors with zero user data. The output is the same\n"
           "for the same options.\n";
}

ParseResult parseArguments(const std::vector<std::string>& args, DiscPlan& plan, std::string& error)
{
    bool tracksGiven = false;
    for (size_t i = 0; i < args.size(); ++i) {
        std::string option = args[i];
        std::string value;
        bool hasValue = false;
        const size_t equals = option.find('=');
        if (option.rfind("--", 0) == 0 && equals != std::string::npos) {
            value = option.substr(equals + 1);
            option.erase(equals);
            hasValue = true;
        }
        auto takeValue = [&]() -> bool {
            if (hasValue)
                return true;
            if (i + 1 >= args.size()) {
                error = option + " needs a value";
                return false;
            }
            value = args[++i];
            return true;
        };
        auto noValue = [&]() -> bool {
            if (hasValue)
                error = option + " takes no value";
            return !hasValue;
        };

        if (option == "--help" || option == "-h") {
            return ParseResult::Help;
        } else if (option == "--version") {
            return ParseResult::Version;
        } else if (option == "--out") {
            if (!takeValue())
                return ParseResult::Error;
            plan.out = value;
        } else if (option == "--tracks") {
            int64_t n = 0;
            if (!takeValue() || !readNumber(option, value, n, error))
                return ParseResult::Error;
            plan.tracks = static_cast<int>(std::min<int64_t>(n, 1000));
            tracksGiven = true;
        } else if (option == "--lengths") {
            if (!takeValue())
                return ParseResult::Error;
            plan.lengths.clear();
            for (const std::string& part : split(value, ',')) {
                int64_t n = 0;
                if (!readNumber(option, part, n, error))
                    return ParseResult::Error;
                plan.lengths.push_back(n);
            }
        } else if (option == "--first-track") {
            int64_t n = 0;
            if (!takeValue() || !readNumber(option, value, n, error))
                return ParseResult::Error;
            plan.firstTrack = static_cast<int>(std::min<int64_t>(n, 1000));
        } else if (option == "--data-track") {
            if (!noValue())
                return ParseResult::Error;
            plan.dataTrack = DataTrack::First;
        } else if (option == "--data-last") {
            if (!noValue())
                return ParseResult::Error;
            plan.dataTrack = DataTrack::Last;
        } else if (option == "--pregap") {
            if (!takeValue() || !readNumber(option, value, plan.pregap, error))
                return ParseResult::Error;
        } else if (option == "--defects") {
            if (!takeValue())
                return ParseResult::Error;
            for (const std::string& part : split(value, ';')) {
                const std::string line(vdrive::trimBlanks(part));
                if (!line.empty())
                    plan.defects.push_back(line);
            }
        } else if (option == "--name") {
            if (!takeValue())
                return ParseResult::Error;
            plan.name = value;
        } else if (option == "--pre-emphasis") {
            if (!takeValue())
                return ParseResult::Error;
            for (const std::string& part : split(value, ',')) {
                int64_t n = 0;
                if (!readNumber(option, part, n, error))
                    return ParseResult::Error;
                plan.preEmphasis.push_back(static_cast<int>(std::min<int64_t>(n, 1000)));
            }
        } else if (option == "--hidden-track" || option == "--index2") {
            if (!takeValue() || !readNumber(option, value, option == "--index2" ? plan.index2 : plan.hiddenTrack, error))
                return ParseResult::Error;
        } else if (option == "--catalog") {
            if (!takeValue())
                return ParseResult::Error;
            plan.catalog = value;
        } else if (option == "--isrc") {
            if (!takeValue())
                return ParseResult::Error;
            plan.isrcs = split(value, ',');
        } else if (option == "--title" || option == "--performer" || option == "--songwriter") {
            if (!takeValue())
                return ParseResult::Error;
            (option == "--title" ? plan.title : option == "--performer" ? plan.performer : plan.songwriter) = value;
        } else if (option == "--track-titles" || option == "--track-performers" || option == "--track-songwriters") {
            if (!takeValue())
                return ParseResult::Error;
            (option == "--track-titles"       ? plan.trackTitles
             : option == "--track-performers" ? plan.trackPerformers
                                              : plan.trackSongwriters) = split(value, ';');
        } else if (option == "--stamp") {
            if (!noValue())
                return ParseResult::Error;
            plan.stamp = true;
        } else if (option == "--split-files") {
            if (!noValue())
                return ParseResult::Error;
            plan.splitFiles = true;
        } else {
            error = "unknown option '" + args[i] + "' (see --help)";
            return ParseResult::Error;
        }
    }
    if (plan.out.empty()) {
        error = "--out DIR/NAME is required (see --help)";
        return ParseResult::Error;
    }
    // --lengths alone sets the number of tracks.
    if (!plan.lengths.empty()) {
        const auto count = static_cast<int>(plan.lengths.size());
        if (tracksGiven && plan.tracks != count) {
            error = "--tracks " + std::to_string(plan.tracks) + " does not match the " + std::to_string(count) +
                    " lengths of --lengths";
            return ParseResult::Error;
        }
        plan.tracks = count;
    }
    return ParseResult::Run;
}

}  // namespace rilvane::makedisc
