#include "app/NativePath.h"

#include "platform/FolderNames.h"

#include <QFile>
#include <QStringList>

namespace rilvane {

std::optional<std::string> nativePath(const QString& path)
{
    constexpr QChar kReplacement(0xFFFD);
    if (!path.contains(kReplacement)) return path.toStdString();

    const QStringList parts = path.split(QLatin1Char('/'));
    std::string native;
    for (qsizetype i = 0; i < parts.size(); ++i) {
        // The folder this part lies in, as built so far.
        const std::string folder = i == 0 ? std::string(".") : native.empty() ? std::string("/") : native;
        if (i > 0) native += '/';
        const QString& part = parts[i];
        if (!part.contains(kReplacement)) {
            native += part.toStdString();
            continue;
        }
        std::optional<std::string> match;
        for (const std::string& name : platform::folderEntryNames(folder)) {
            if (QFile::decodeName(QByteArray::fromStdString(name)) != part) continue;
            if (match) return std::nullopt;
            match = name;
        }
        native += match ? *match : part.toStdString();
    }
    return native;
}

}  // namespace rilvane
