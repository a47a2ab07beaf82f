#include "app/AboutBoxUnit.h"

#include <QScreen>

#include "app/BevelPanel.h"
#include "app/Buttons.h"
#include "app/UiFonts.h"
#include "app/WebSite.h"
#include "controls/ButtonsXP.h"
#include "platform/Win32.h"

#include <QKeyEvent>
#include <QLabel>
#include <QPixmap>

#include <utility>

namespace {

const QColor kPeach(240, 202, 166);

std::function<QDateTime()>& clockFunction()
{
    static std::function<QDateTime()> clock;
    return clock;
}

QDateTime now()
{
    return clockFunction() ? clockFunction()() : QDateTime::currentDateTime();
}

QLabel* label(QWidget* parent, const char* name, const QString& text, const QRect& place, bool wordWrap)
{
    auto* result = new QLabel(text, parent);
    result->setObjectName(QString::fromLatin1(name));
    result->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    result->setWordWrap(wordWrap);
    if (place.size().isValid()) {
        result->setGeometry(place);
    } else {
        result->move(place.topLeft());
        result->adjustSize();
    }
    return result;
}

// A place at (x, y) whose label sizes itself to its text.
QRect at(int x, int y)
{
    return QRect(QPoint(x, y), QSize(-1, -1));
}

}  // namespace

TAboutBox::TAboutBox(QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                         Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("AboutBox"));
    setWindowTitle(QStringLiteral("Info"));
    setFont(rilvane::formFont());
    setFixedSize(664, 453);
    setSizeGripEnabled(false);

    Panel1 = new rilvane::BevelPanel(this, rilvane::Bevel::Raised, rilvane::Bevel::Lowered, kPeach);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setGeometry(8, 8, 649, 385);

    ProgramIcon = new QLabel(Panel1);
    ProgramIcon->setObjectName(QStringLiteral("ProgramIcon"));
    ProgramIcon->setGeometry(16, 40, 306, 322);
    ProgramIcon->setScaledContents(true);
    ProgramIcon->setPixmap(QPixmap(QStringLiteral(":/rilvane/images/logo-large.png")));

    ProductName = label(Panel1, "ProductName", QStringLiteral("Garantiert ein Original Tormend Programm"), at(8, 8),
                        false);
    ProductName->setFont(rilvane::arialNarrowFont(24, true));
    QPalette black = ProductName->palette();
    black.setColor(QPalette::WindowText, Qt::black);
    ProductName->setPalette(black);
    ProductName->adjustSize();

    Comments = label(Panel1, "Comments",
                     QStringLiteral("Dies ist eine Tormend Computersoftware Produktion. (") +
                         QString::fromLatin1(rilvane::kMakerMail) + QStringLiteral(")"),
                     QRect(336, 56, 257, 33), true);

    Label1 = label(Panel1, "Label1", QStringLiteral("Musik, die Kratzer überlebt."), at(336, 96), false);
    Label1->setFont(rilvane::boldFormFont());
    Label1->adjustSize();

    Label2 = label(Panel1, "Label2",
                   QStringLiteral("Wir bauen Werkzeuge für alle, die Musik lieben."), at(336, 112), false);

    Label3 = label(Panel1, "Label3",
                   QStringLiteral("Mehr über unsere Programme erfahren Sie auf unserer Homepage ") +
                       QString::fromLatin1(rilvane::webAddress()) +
                       QStringLiteral("\nUnterstützen Sie uns und kaufen Sie unsere Software!"),
                   QRect(336, 128, 238, 121), true);

    Copyright = label(Panel1, "Copyright",
                      QStringLiteral("Copyright © XXXX Tormend Software. Alle Rechte vorbehalten."), at(336, 336),
                      false);

    BitBtnXP1 = rilvane::makeGlyphButton(Panel1, "BitBtnXP1", QString::fromLatin1(rilvane::webAddress()),
                                         QStringLiteral(":/rilvane/images/glyph-globe.png"),
                                         QRect(336, 240, 169, 25), [this] { BitBtnXP1Click(); });
    BitBtnXP1->raise();  // drawn over the last lines of Label3

    BitBtn1 = rilvane::makeOkButton(this, "BitBtn1", QRect(241, 404, 181, 37));

    QWidget::setTabOrder(BitBtnXP1, BitBtn1);

    FormCreate();
}

void TAboutBox::FormCreate()
{
    Copyright->setText(withYear(Copyright->text(), now().date().year()));
    Copyright->adjustSize();
}

QString TAboutBox::withYear(QString text, int year)
{
    const qsizetype at = text.indexOf(QStringLiteral("XXXX"));
    if (at >= 0)
        text.replace(at, 4, QString::number(year));
    return text;
}

void TAboutBox::setClock(std::function<QDateTime()> clock)
{
    clockFunction() = std::move(clock);
}

void TAboutBox::BitBtnXP1Click()
{
    const auto owner = reinterpret_cast<HWND>(static_cast<uintptr_t>(winId()));
    ShellExecuteA(owner, "open", rilvane::webAddress(), "", "", SW_SHOWNORMAL);
}

void TAboutBox::keyPressEvent(QKeyEvent* event)
{
    // There is no Cancel button, so Escape does nothing.
    if (event->matches(QKeySequence::Cancel)) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TAboutBox::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!m_centred) {
        // Centred on the screen, not over the main window.
        m_centred = true;
        if (const QScreen* s = screen()) {
            QRect frame = frameGeometry();
            frame.moveCenter(s->availableGeometry().center());
            move(frame.topLeft());
        }
    }
    BitBtnXP1->setFocus(Qt::TabFocusReason);
}
