#include "DefectMap.h"

#include "TextInput.h"

#include <limits>

namespace rilvane::vdrive {

namespace {

constexpr size_t kProductNameLength = 16;
constexpr int64_t kMaxSector = std::numeric_limits<int32_t>::max();
constexpr int64_t kMaxCount = std::numeric_limits<int32_t>::max();

std::optional<SenseCode> parseSense(std::string_view s)
{
    const size_t s1 = s.find('/');
    if (s1 == std::string_view::npos)
        return std::nullopt;
    const size_t s2 = s.find('/', s1 + 1);
    if (s2 == std::string_view::npos)
        return std::nullopt;
    const auto key = parseHexByte(s.substr(0, s1));
    const auto asc = parseHexByte(s.substr(s1 + 1, s2 - s1 - 1));
    const auto ascq = parseHexByte(s.substr(s2 + 1));
    if (!key || !asc || !ascq || *key > 0x0F)
        return std::nullopt;
    return SenseCode{*key, *asc, *ascq};
}

}  // namespace

std::optional<DefectMap> DefectMap::parse(std::string_view text, const std::string& name, std::string& error)
{
    DefectMap map;
    bool nameSeen = false;
    const std::vector<std::string_view> lines = splitLines(text);

    auto fail = [&](size_t line, const std::string& message) {
        error = lineError(name, line, message);
        return std::nullopt;
    };

    for (size_t i = 0; i < lines.size(); ++i) {
        const size_t lineNo = i + 1;
        std::string_view line = trimBlanks(lines[i]);
        if (line.empty() || line.front() == '#')
            continue;

        const size_t blank = line.find_first_of(" \t");
        const std::string_view keyword = line.substr(0, blank);
        if (equalsIgnoreCase(keyword, "name")) {
            const std::string_view value =
                blank == std::string_view::npos ? std::string_view{} : trimBlanks(line.substr(blank));
            if (nameSeen)
                return fail(lineNo, "second 'name' line");
            if (value.empty())
                return fail(lineNo, "'name' needs a text");
            for (char c : value)
                if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) > 0x7E)
                    return fail(lineNo, "the name may only hold printable ASCII characters");
            map.productName_ = std::string(value.substr(0, kProductNameLength));
            nameSeen = true;
            continue;
        }

        const size_t hash = line.find('#');
        if (hash != std::string_view::npos)
            line = trimBlanks(line.substr(0, hash));
        const auto tokens = tokenize(line);
        if (!tokens || tokens->empty())
            return fail(lineNo, "cannot read this line");
        const std::vector<std::string>& t = *tokens;

        auto parseAction = [&](size_t at, bool delayAllowed) -> std::optional<DefectAction> {
            DefectAction action;
            if (equalsIgnoreCase(t[at], "gone")) {
                action.gone = true;
                if (t.size() != at + 1) {
                    error = lineError(name, lineNo, "nothing may follow 'gone'");
                    return std::nullopt;
                }
                return action;
            }
            if (equalsIgnoreCase(t[at], "short")) {
                const auto bytes = t.size() == at + 2 ? parseDecimal(t[at + 1], kMaxCount) : std::nullopt;
                if (!delayAllowed || !bytes) {
                    error = lineError(name, lineNo, "'short' belongs to a sector range and needs a byte count");
                    return std::nullopt;
                }
                action.shortTransfer = true;
                action.shortBytes = static_cast<uint32_t>(*bytes);
                return action;
            }
            const auto sense = parseSense(t[at]);
            if (!sense) {
                error = lineError(name, lineNo, "bad sense '" + t[at] + "' (hex K/AA/QQ, e.g. 03/11/00, or 'gone')");
                return std::nullopt;
            }
            action.sense = *sense;
            if (t.size() == at + 2 && delayAllowed) {
                const auto delay = parseDecimal(t[at + 1], kMaxDefectDelayMs);
                if (!delay) {
                    error = lineError(name, lineNo, "bad delay '" + t[at + 1] + "' (milliseconds, 0 to " +
                                                        std::to_string(kMaxDefectDelayMs) + ")");
                    return std::nullopt;
                }
                action.delayMs = static_cast<uint32_t>(*delay);
            } else if (t.size() != at + 1) {
                error = lineError(name, lineNo, "too many fields");
                return std::nullopt;
            }
            return action;
        };

        if (equalsIgnoreCase(t[0], "sense")) {
            if (t.size() != 2 || (!equalsIgnoreCase(t[1], "descriptor") && !equalsIgnoreCase(t[1], "fixed")))
                return fail(lineNo, "'sense' needs 'descriptor' or 'fixed'");
            map.descriptorSense_ = equalsIgnoreCase(t[1], "descriptor");
            continue;
        }
        if (equalsIgnoreCase(t[0], "startup")) {
            const auto sense = t.size() >= 2 ? parseSense(t[1]) : std::nullopt;
            const auto count = t.size() == 3 ? parseDecimal(t[2], kMaxCount) : std::optional<int64_t>(0);
            if (!sense || !count || t.size() > 3 || (t.size() == 3 && *count == 0))
                return fail(lineNo, "'startup' needs a sense K/AA/QQ and optionally a count of commands (1 or more)");
            if (!map.startup_.empty() && map.startup_.back().count == 0)
                return fail(lineNo, "a 'startup' line without a count must be the last one");
            map.startup_.push_back({*sense, static_cast<uint32_t>(*count)});
            continue;
        }

        if (equalsIgnoreCase(t[0], "c2")) {
            static const struct {
                const char* word;
                C2Support support;
            } kinds[] = {{"yes", C2Support::Both},
                         {"no", C2Support::None},
                         {"294", C2Support::Only294},
                         {"296", C2Support::Only296},
                         {"lies", C2Support::Lies}};
            bool known = false;
            for (const auto& kind : kinds)
                if (t.size() == 2 && equalsIgnoreCase(t[1], kind.word)) {
                    map.c2_ = kind.support;
                    known = true;
                }
            if (!known)
                return fail(lineNo, "'c2' needs 'yes', 'no', '294', '296' or 'lies'");
            continue;
        }
        if (equalsIgnoreCase(t[0], "cache")) {
            const auto sectors =
                t.size() == 2 || t.size() == 3 ? parseDecimal(t[1], kMaxCacheSectors) : std::nullopt;
            if (!sectors || (t.size() == 3 && !equalsIgnoreCase(t[2], "fua")))
                return fail(lineNo, "'cache' needs a number of sectors (0 to " + std::to_string(kMaxCacheSectors) +
                                        "), then optionally 'fua'");
            map.cacheSectors_ = static_cast<uint32_t>(*sectors);
            map.cacheFua_ = t.size() == 3;
            continue;
        }
        if (equalsIgnoreCase(t[0], "speed")) {
            const auto speed = t.size() == 2 ? parseDecimal(t[1], kMaxSpeed) : std::nullopt;
            if (!speed || *speed == 0)
                return fail(lineNo, "'speed' needs the top speed (1 to " + std::to_string(kMaxSpeed) + ")");
            map.timedSpeed_ = static_cast<uint32_t>(*speed);
            continue;
        }

        const bool isInquiry = equalsIgnoreCase(t[0], "inquiry");
        if (isInquiry || equalsIgnoreCase(t[0], "toc")) {
            std::optional<DefectAction>& slot = isInquiry ? map.inquiry_ : map.toc_;
            if (t.size() < 2)
                return fail(lineNo, "'" + t[0] + "' needs a sense K/AA/QQ or 'gone'");
            if (slot)
                return fail(lineNo, "second '" + t[0] + "' line");
            const auto action = parseAction(1, false);
            if (!action)
                return std::nullopt;
            slot = action;
            continue;
        }

        if (t[0].empty() || t[0][0] < '0' || t[0][0] > '9')
            return fail(lineNo, "unknown directive '" + t[0] +
                                    "' (name, inquiry, toc, startup, sense, c2, cache, speed or a sector range)");
        const size_t dash = t[0].find('-');
        const auto first = parseDecimal(std::string_view(t[0]).substr(0, dash), kMaxSector);
        const auto last = dash == std::string::npos ? first
                                                    : parseDecimal(std::string_view(t[0]).substr(dash + 1), kMaxSector);
        if (!first || !last)
            return fail(lineNo, "bad sector range '" + t[0] + "' (FIRST or FIRST-LAST, decimal)");
        if (*last < *first)
            return fail(lineNo, "sector range '" + t[0] + "' ends before it starts");
        if (t.size() < 2)
            return fail(lineNo, "the sector range needs a sense K/AA/QQ or 'gone'");
        if (equalsIgnoreCase(t[1], "flaky")) {
            const auto failures = t.size() >= 3 ? parseDecimal(t[2], kMaxCount) : std::nullopt;
            if (!failures || *failures == 0 || t.size() > 5)
                return fail(lineNo, "'flaky' needs a number of failing reads (1 or more), then optionally a sense "
                                    "K/AA/QQ and a delay in ms");
            FlakyRange flaky{*first, *last, static_cast<uint32_t>(*failures), SenseCode{0x03, 0x11, 0x00}, 0};
            if (t.size() >= 4) {
                const auto sense = parseSense(t[3]);
                if (!sense)
                    return fail(lineNo, "bad sense '" + t[3] + "' (hex K/AA/QQ, e.g. 03/11/00)");
                flaky.sense = *sense;
            }
            if (t.size() == 5) {
                const auto delay = parseDecimal(t[4], kMaxDefectDelayMs);
                if (!delay)
                    return fail(lineNo, "bad delay '" + t[4] + "' (milliseconds, 0 to " +
                                            std::to_string(kMaxDefectDelayMs) + ")");
                flaky.delayMs = static_cast<uint32_t>(*delay);
            }
            map.flaky_.push_back(flaky);
            continue;
        }
        if (equalsIgnoreCase(t[1], "slow")) {
            const auto speed = t.size() == 3 ? parseDecimal(t[2], kMaxSpeed) : std::nullopt;
            if (!speed || *speed == 0)
                return fail(lineNo, "'slow' needs the highest speed at which the sectors read (1 to " +
                                        std::to_string(kMaxSpeed) + ")");
            map.slow_.push_back({*first, *last, static_cast<uint32_t>(*speed)});
            continue;
        }
        if (equalsIgnoreCase(t[1], "corrupt")) {
            const auto reads = t.size() == 3 ? parseDecimal(t[2], kMaxCount) : std::nullopt;
            if (!reads || *reads == 0)
                return fail(lineNo, "'corrupt' needs the number of wrong reads (1 or more)");
            map.corrupt_.push_back({*first, *last, static_cast<uint32_t>(*reads)});
            continue;
        }
        const auto action = parseAction(1, true);
        if (!action)
            return std::nullopt;
        map.ranges_.push_back({*first, *last, *action, lineNo});
    }
    return map;
}

std::optional<DefectMap> DefectMap::load(const std::string& path, std::string& error)
{
    std::string text;
    if (!readTextFile(path, text, error))
        return std::nullopt;
    return parse(text, path, error);
}

const DefectRange* DefectMap::find(int64_t first, int64_t count) const
{
    if (count <= 0)
        return nullptr;
    const int64_t last = first + count - 1;
    for (const DefectRange& range : ranges_)
        if (range.first <= last && first <= range.last)
            return &range;
    return nullptr;
}

}  // namespace rilvane::vdrive
