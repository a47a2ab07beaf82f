// Renders the program's buttons in their states into a PNG, to look at them:
//   controls_gallery [out.png]      (default /tmp/rilvane-buttons.png)
// Also writes a 3x enlargement beside it (-x3.png).
#include "controls/ButtonsXP.h"
#include "controls/ImageBtnUnit.h"
#include "controls/ThemeBinding.h"

#include <QApplication>
#include <QFile>
#include <QPainter>
#include <QTest>

#include <functional>
#include <vector>

namespace {

QImage fallbackPlayStrip()
{
    QImage img(32, 16, QImage::Format_ARGB32);
    img.fill(QColor(128, 128, 0));
    QPainter p(&img);
    const QPolygon tri({QPoint(5, 3), QPoint(12, 8), QPoint(5, 13)});
    p.setPen(Qt::black);
    p.setBrush(QColor(0, 128, 0));
    p.drawPolygon(tri);
    p.setPen(QColor(128, 128, 128));
    p.setBrush(QColor(128, 128, 128));
    p.drawPolygon(tri.translated(16, 0));
    return img;
}

QImage glyph(const char* name)
{
    QImage img(QStringLiteral(":/rilvane/images/%1.png").arg(QLatin1String(name)));
    return img.isNull() ? fallbackPlayStrip() : img;
}

struct Cell {
    QString label;
    QImage image;
};

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("/tmp/rilvane-buttons.png");
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPixelSize(11);
    QApplication::setFont(font);

    std::vector<std::vector<Cell>> rows;
    for (bool themed : {true, false}) {
        ThemeBinding::setAppThemed(themed);
        const QString path = themed ? QStringLiteral("themed") : QStringLiteral("classic");
        QWidget window;
        window.resize(700, 200);
        auto make = [&](const QString& text, const char* glyphName, QSize size) {
            auto* b = new TBitBtnXP(&window);
            b->setText(text);
            if (glyphName)
                b->setGlyph(glyph(glyphName));
            b->resize(size);
            return b;
        };
        auto* normal = make(QStringLiteral("Play"), "glyph-play", {73, 25});
        auto* pressed = make(QStringLiteral("Stop"), "glyph-stop", {65, 25});
        auto* disabled = make(QStringLiteral("Track in WAV Datei speichern"), "glyph-save", {185, 25});
        auto* focused = make(QStringLiteral("Next Track"), "glyph-next", {112, 25});
        auto* ok = new TBitBtnXP(&window);
        ok->setKind(bkOK);
        ok->resize(181, 37);
        auto* single = make(QStringLiteral("Einzelbild"), nullptr, {110, 25});
        {
            QImage one = fallbackPlayStrip().copy(0, 0, 16, 16);
            single->setGlyph(one);
        }
        auto* singleDisabled = make(QStringLiteral("Einzelbild"), nullptr, {110, 25});
        singleDisabled->setGlyph(fallbackPlayStrip().copy(0, 0, 16, 16));
        singleDisabled->setEnabled(false);
        disabled->setEnabled(false);
        window.show();
        window.activateWindow();
        if (!QTest::qWaitForWindowActive(&window))
            qWarning("window did not become active; focus is not shown");
        window.setFocus();

        std::vector<Cell> row;
        row.push_back({path + " normal", normal->grab().toImage()});
        pressed->setDown(true);
        focused->setFocus();
        row.push_back({path + " pressed", pressed->grab().toImage()});
        row.push_back({path + " focused", focused->grab().toImage()});
        row.push_back({path + " disabled", disabled->grab().toImage()});
        window.setFocus();
        row.push_back({path + " default OK", ok->grab().toImage()});
        ok->setDown(true);
        ok->setFocus();
        row.push_back({path + " OK pressed", ok->grab().toImage()});
        row.push_back({path + " 1 image", single->grab().toImage()});
        row.push_back({path + " 1 image off", singleDisabled->grab().toImage()});
        rows.push_back(row);
    }

    // The image buttons, normal and pressed.
    {
        std::vector<Cell> row;
        for (const char* word : {"ueber", "ende"}) {
            TImageBtn b;
            b.setPicture(QPixmap(QStringLiteral(":/rilvane/images/%1-normal.png").arg(QLatin1String(word))));
            b.setPicture2(QPixmap(QStringLiteral(":/rilvane/images/%1-pressed.png").arg(QLatin1String(word))));
            if (b.Picture().isNull())
                continue;
            row.push_back({QString::fromLatin1(word) + " normal", b.grab().toImage()});
            QMouseEvent press(QEvent::MouseButtonPress, QPointF(5, 5), QPointF(5, 5), Qt::LeftButton,
                              Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(&b, &press);
            row.push_back({QString::fromLatin1(word) + " pressed", b.grab().toImage()});
        }
        if (!row.empty())
            rows.push_back(row);
    }

    const int colWidth = 200;
    const int rowHeight = 70;
    int cols = 0;
    for (const auto& r : rows)
        cols = std::max(cols, static_cast<int>(r.size()));
    QImage sheet(cols * colWidth + 10, static_cast<int>(rows.size()) * rowHeight + 10, QImage::Format_RGB32);
    sheet.fill(QApplication::palette().color(QPalette::Window));
    QPainter p(&sheet);
    QFont small = font;
    p.setFont(small);
    for (std::size_t r = 0; r < rows.size(); ++r) {
        for (std::size_t c = 0; c < rows[r].size(); ++c) {
            const int x = 10 + static_cast<int>(c) * colWidth;
            const int y = 10 + static_cast<int>(r) * rowHeight;
            p.setPen(Qt::darkGray);
            p.drawText(x, y + 10, rows[r][c].label);
            p.drawImage(x, y + 16, rows[r][c].image);
        }
    }
    p.end();
    const bool saved = sheet.save(out);
    QString big = out;
    big.replace(QStringLiteral(".png"), QStringLiteral("-x3.png"));
    sheet.scaled(sheet.size() * 3, Qt::IgnoreAspectRatio, Qt::FastTransformation).save(big);
    return saved ? 0 : 1;
}
