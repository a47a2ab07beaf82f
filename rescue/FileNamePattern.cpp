#include "rescue/FileNamePattern.h"

namespace rilvane::rescue {

std::optional<FileNamePattern> FileNamePattern::parse(const std::string& text, std::string& error)
{
    FileNamePattern pattern;
    std::string literal;
    const auto flush = [&] {
        if (!literal.empty()) pattern.pieces_.push_back({Kind::Text, literal});
        literal.clear();
    };
    bool haveNumber = false;
    for (size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == '/') {
            error = "Der Dateiname darf keinen '/' enthalten (den Ordner wählt --out)";
            return std::nullopt;
        }
        if (c < 0x20 || c == 0x7F) {
            error = "Der Dateiname enthält ein Steuerzeichen";
            return std::nullopt;
        }
        if (c != '%') {
            literal.push_back(static_cast<char>(c));
            continue;
        }
        if (i + 1 < text.size() && text[i + 1] == '%') {
            literal.push_back('%');
            ++i;
            continue;
        }
        if (i + 1 < text.size() && (text[i + 1] == 't' || text[i + 1] == 'a')) {
            flush();
            pattern.pieces_.push_back({text[i + 1] == 't' ? Kind::Title : Kind::Performer, {}});
            pattern.usesText_ = true;
            ++i;
            continue;
        }
        // %[0][width]d
        size_t j = i + 1;
        bool zero = false;
        if (j < text.size() && text[j] == '0') {
            zero = true;
            ++j;
        }
        int width = 0;
        const size_t digitsFrom = j;
        while (j < text.size() && text[j] >= '0' && text[j] <= '9' && j - digitsFrom < 2)
            width = width * 10 + (text[j++] - '0');
        if (j >= text.size() || text[j] != 'd' || (zero && width == 0) || width > 9) {
            error = "Im Dateinamen ist nur %d, %2d, %02d (Breite 1 bis 9), %t (Titel), %a (Interpret) oder %% erlaubt: '" +
                    text + "'";
            return std::nullopt;
        }
        if (haveNumber) {
            error = "Der Dateiname darf die Tracknummer nur einmal enthalten: '" + text + "'";
            return std::nullopt;
        }
        haveNumber = true;
        pattern.zeroPad_ = zero;
        pattern.width_ = width;
        flush();
        pattern.pieces_.push_back({Kind::Number, {}});
        i = j;
    }
    flush();
    if (!haveNumber) {
        error = "Der Dateiname braucht eine Stelle für die Tracknummer, z. B. track%02d.wav: '" + text + "'";
        return std::nullopt;
    }
    return pattern;
}

std::string FileNamePattern::number(int track) const
{
    std::string number = std::to_string(track);
    if (number.size() < static_cast<size_t>(width_))
        number.insert(0, static_cast<size_t>(width_) - number.size(), zeroPad_ ? '0' : ' ');
    return number;
}

namespace {

// A text of the disc as part of a file name.
std::string fileNameText(const std::string& text)
{
    constexpr size_t kMaxBytes = 100;
    std::string out;
    for (const char c : text) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x20 || b == 0x7F) continue;
        out += c == '/' ? '-' : c;
    }
    while (!out.empty() && out.front() == '.') out.erase(0, 1);
    if (out.size() > kMaxBytes) {
        size_t cut = kMaxBytes;
        // Not inside a UTF-8 sequence.
        while (cut > 0 && (static_cast<unsigned char>(out[cut]) & 0xC0) == 0x80) --cut;
        out.resize(cut);
    }
    return out;
}

}  // namespace

std::string FileNamePattern::fileName(int track, const std::string& title, const std::string& performer) const
{
    std::string name;
    for (const Piece& p : pieces_) {
        switch (p.kind) {
        case Kind::Text: name += p.text; break;
        case Kind::Number: name += number(track); break;
        case Kind::Title: {
            const std::string t = fileNameText(title);
            name += t.empty() ? "Track " + number(track) : t;
            break;
        }
        case Kind::Performer: name += fileNameText(performer); break;
        }
    }
    return name;
}

}  // namespace rilvane::rescue
