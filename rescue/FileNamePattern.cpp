#include "rescue/FileNamePattern.h"

namespace rilvane::rescue {

std::optional<FileNamePattern> FileNamePattern::parse(const std::string& text, std::string& error)
{
    FileNamePattern pattern;
    std::string* part = &pattern.before_;
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
            part->push_back(static_cast<char>(c));
            continue;
        }
        if (i + 1 < text.size() && text[i + 1] == '%') {
            part->push_back('%');
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
            error = "Im Dateinamen ist nur %d, %2d, %02d (Breite 1 bis 9) oder %% erlaubt: '" + text + "'";
            return std::nullopt;
        }
        if (haveNumber) {
            error = "Der Dateiname darf die Tracknummer nur einmal enthalten: '" + text + "'";
            return std::nullopt;
        }
        haveNumber = true;
        pattern.zeroPad_ = zero;
        pattern.width_ = width;
        part = &pattern.after_;
        i = j;
    }
    if (!haveNumber) {
        error = "Der Dateiname braucht eine Stelle für die Tracknummer, z. B. track%02d.wav: '" + text + "'";
        return std::nullopt;
    }
    return pattern;
}

std::string FileNamePattern::fileName(int track) const
{
    std::string number = std::to_string(track);
    if (number.size() < static_cast<size_t>(width_))
        number.insert(0, static_cast<size_t>(width_) - number.size(), zeroPad_ ? '0' : ' ');
    return before_ + number + after_;
}

}  // namespace rilvane::rescue
