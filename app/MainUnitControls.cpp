// The main window's control tree, built in creation order.

#include "app/MainUnit.h"

#include "app/BevelPanel.h"
#include "app/Buttons.h"
#include "app/DockLayout.h"
#include "app/FramePacer.h"
#include "app/PaintBox.h"
#include "app/SaveDialog.h"
#include "app/SpinEdit.h"
#include "app/StatusBar.h"
#include "app/UiFonts.h"
#include "app/WebSite.h"
#include "drive/CdAudio.h"
#include "controls/ButtonsXP.h"
#include "controls/ImageBtnUnit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QLabel>
#include <QPainter>
#include <QPlainTextEdit>
#include <QScrollArea>
#include <QTabWidget>
#include <QToolButton>

using rilvane::Bevel;
using rilvane::BevelPanel;
using rilvane::Dock;

namespace {

const QColor kPeach(240, 202, 166);
const QColor kSage(192, 220, 192);
const QColor kMaroon(128, 0, 0);

QString image(const char* file)
{
    return QStringLiteral(":/rilvane/images/") + QString::fromLatin1(file);
}

BevelPanel* plainPanel(QWidget* parent, const char* name)
{
    auto* panel = new BevelPanel(parent, Bevel::None, Bevel::None);
    panel->setObjectName(QString::fromLatin1(name));
    return panel;
}

BevelPanel* framedPanel(QWidget* parent, const char* name, const QColor& colour)
{
    auto* panel = new BevelPanel(parent, Bevel::Raised, Bevel::Lowered, colour);
    panel->setObjectName(QString::fromLatin1(name));
    return panel;
}

QLabel* label(QWidget* parent, const char* name, const QString& text, QPoint position)
{
    auto* result = new QLabel(text, parent);
    result->setObjectName(QString::fromLatin1(name));
    result->move(position);
    result->adjustSize();
    return result;
}

// The save dialog lives as long as the window. Its folder listing watches the
// folder for changes, and a hidden dialog would go on following every write
// of the file being saved there (each one a file look-up on the window's
// thread, between two reads). It watches only while it is shown, and reads
// its folder anew when it is shown again, so that what changed meanwhile (the
// file just saved) is listed.
class WatchWhileShown : public QObject {
public:
    WatchWhileShown(QFileDialog* dialog, QFileSystemModel* model) : QObject(dialog), m_model(model)
    {
        m_model->setOption(QFileSystemModel::DontWatchForChanges, !dialog->isVisible());
        dialog->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Show) {
            m_model->setOption(QFileSystemModel::DontWatchForChanges, false);
            readFolderAgain();
        } else if (event->type() == QEvent::Hide) {
            m_model->setOption(QFileSystemModel::DontWatchForChanges, true);
        }
        return false;
    }

private:
    // The listing reads a folder once and then follows its changes. Leaving
    // the folder and coming back marks it as not read, and coming back reads
    // it (in the background). The dialog itself goes there and back, so that
    // its view, its completion and the listing stay in step.
    void readFolderAgain()
    {
        auto* dialog = static_cast<QFileDialog*>(parent());
        const QString folder = dialog->directory().absolutePath();
        const QString above = QFileInfo(folder).absolutePath();
        if (folder.isEmpty() || above == folder) return;
        dialog->setDirectory(above);
        dialog->setDirectory(folder);
    }

    QFileSystemModel* m_model;
};

}  // namespace

void TMainForm::createControls()
{
    setObjectName(QStringLiteral("MainForm"));
    setWindowTitle(QStringLiteral("Tormend Rilvane 1.0"));
    setWindowIcon(QIcon(image("app-icon.png")));
    setFont(rilvane::formFont());
    QPalette pal = palette();
    pal.setColor(QPalette::Window, pal.color(QPalette::Button));
    setPalette(pal);
    setAutoFillBackground(true);
    // The read loops pump messages after every block; the window is brought
    // to the screen at most once a frame however often they change it.
    new rilvane::FramePacer(this);

    auto* layout = new rilvane::DockLayout(this);

    StatusBar1 = new rilvane::StatusBar(this);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->addPanel(250, false);
    StatusBar1->addPanel(50, true);
    StatusBar1->onDrawPanel = [this](rilvane::StatusBar* bar, int panel, QPainter& canvas, const QRect& rect) {
        StatusBar1DrawPanel(bar, panel, canvas, rect);
    };
    layout->addDocked(StatusBar1, Dock::Bottom, 19);

    createBottomBar();
    layout->addDocked(Panel7, Dock::Bottom, 41);

    OuterPanel = plainPanel(this, "OuterPanel");
    layout->addDocked(OuterPanel, Dock::Fill);
    createPage();

    // Non-visual: the save dialog of the save button.
    SaveDialog1 = rilvane::createSaveDialog(this);
    // Qt's own dialog has a folder listing; a dialog of the desktop has none.
    if (auto* listing = SaveDialog1->findChild<QFileSystemModel*>())
        new WatchWhileShown(SaveDialog1, listing);

    arrangeTabOrder();
}

void TMainForm::createBottomBar()
{
    Panel7 = plainPanel(this, "Panel7");

    wwwBtn = rilvane::makeFlatButton(Panel7, "wwwBtn", QString::fromLatin1(rilvane::kWebHost), image("logo-small.png"),
                                     QStringLiteral("Auf zur Tormend Homepage..."), QRect(5, 5, 137, 33),
                                     [this] { wwwBtnClick(); });

    Panel8 = plainPanel(Panel7, "Panel8");
    Panel7->dockLayout()->addDocked(Panel8, Dock::Right, 214);
    ueberbtn = rilvane::makeImageButton(Panel8, "ueberbtn", image("ueber-normal.png"), image("ueber-pressed.png"),
                                        QStringLiteral("Informationen über das Programm"), QPoint(0, 8),
                                        [this] { ueberbtnClick(); });
    endebtn = rilvane::makeImageButton(Panel8, "endebtn", image("ende-normal.png"), image("ende-pressed.png"),
                                       QStringLiteral("Hiermit verlassen Sie das Programm"), QPoint(104, 8),
                                       [this] { EndeBtnClick(); });
}

void TMainForm::createPage()
{
    PageControl2 = new QTabWidget(OuterPanel);
    PageControl2->setObjectName(QStringLiteral("PageControl2"));
    PageControl2->setIconSize(QSize(16, 16));
    PageControl2->tabBar()->setAttribute(Qt::WA_Hover);
    OuterPanel->dockLayout()->addDocked(PageControl2, Dock::Fill);

    TabSheet3 = new QWidget;
    TabSheet3->setObjectName(QStringLiteral("TabSheet3"));
    auto* sheetLayout = new rilvane::DockLayout(TabSheet3);
    PageControl2->addTab(TabSheet3, QIcon(image("tab2.png")), QStringLiteral("Audio CD wiedergeben"));

    Panel2 = framedPanel(TabSheet3, "Panel2", kPeach);
    sheetLayout->addDocked(Panel2, Dock::Top, 33);
    RxLabel2 = label(Panel2, "RxLabel2",
                     QStringLiteral("Zerkratzte Audio CD wiedergeben - Wählen Sie das Laufwerk und klicken Sie auf Play"),
                     QPoint(16, 10));
    RxLabel2->setFont(rilvane::boldFormFont());
    RxLabel2->adjustSize();

    Panel6 = framedPanel(TabSheet3, "Panel6", kSage);
    sheetLayout->addDocked(Panel6, Dock::Left, 209);
    Panel9 = new BevelPanel(Panel6, Bevel::None, Bevel::Lowered);
    Panel9->setObjectName(QStringLiteral("Panel9"));
    Panel9->setGeometry(7, 7, 195, 284);
    Image1 = new QLabel(Panel9);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(1, 1, 193, 281);
    Image1->setPixmap(QPixmap(image("image1.png")));
    Panel12 = framedPanel(Panel9, "Panel12", kPeach);
    Panel12->setGeometry(8, 8, 177, 73);
    RxLabel5 = new QLabel(QStringLiteral("Audio CD wiedergeben"), Panel12);
    RxLabel5->setObjectName(QStringLiteral("RxLabel5"));
    RxLabel5->setGeometry(8, 8, 161, 57);
    RxLabel5->setWordWrap(true);
    RxLabel5->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    RxLabel5->setFont(rilvane::arialBlackFont(19));
    QPalette maroon = RxLabel5->palette();
    maroon.setColor(QPalette::WindowText, kMaroon);
    RxLabel5->setPalette(maroon);

    Panel1 = plainPanel(TabSheet3, "Panel1");
    sheetLayout->addDocked(Panel1, Dock::Fill);

    Memo1 = new QPlainTextEdit(Panel1);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setReadOnly(true);
    Memo1->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    QPalette info = Memo1->palette();
    info.setColor(QPalette::Base, info.color(QPalette::ToolTipBase));
    info.setColor(QPalette::Text, info.color(QPalette::ToolTipText));
    Memo1->setPalette(info);
    Panel1->dockLayout()->addDocked(Memo1, Dock::Bottom, 45);

    ScrollBox1 = new QScrollArea(Panel1);
    ScrollBox1->setObjectName(QStringLiteral("ScrollBox1"));
    ScrollBox1->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    ScrollBox1->setWidgetResizable(true);
    ScrollBox1->setBackgroundRole(QPalette::Dark);  // the application-workspace colour
    ScrollBox1->setFocusPolicy(Qt::NoFocus);
    Panel1->dockLayout()->addDocked(ScrollBox1, Dock::Fill);
    PaintBox1 = new rilvane::PaintBox;
    PaintBox1->setObjectName(QStringLiteral("PaintBox1"));
    PaintBox1->onPaint = [this](QPainter& canvas) { PaintBox1Paint(canvas); };
    ScrollBox1->setWidget(PaintBox1);

    Panel3 = plainPanel(Panel1, "Panel3");
    Panel1->dockLayout()->addDocked(Panel3, Dock::Top, 129);
    createTransportArea();

    Panel4 = plainPanel(Panel1, "Panel4");
    Panel1->dockLayout()->addDocked(Panel4, Dock::Bottom, 32);
    createSaveArea();
}

void TMainForm::createTransportArea()
{
    Label2 = label(Panel3, "Label2", QStringLiteral("Laufwerk:"), QPoint(8, 8));

    DriveBox = new QComboBox(Panel3);
    DriveBox->setObjectName(QStringLiteral("DriveBox"));
    DriveBox->setEditable(false);
    DriveBox->setGeometry(96, 8, 145, 21);

    Label1 = label(Panel3, "Label1", QStringLiteral("Aktueller Sektor:"), QPoint(8, 32));

    StartSec = new rilvane::SpinEdit(Panel3);
    StartSec->setObjectName(QStringLiteral("StartSec"));
    StartSec->setGeometry(96, 32, 121, 21);
    StartSec->setBounds(0, 0);  // no bounds
    StartSec->setIncrement(1);
    StartSec->setValue(rilvane::cd::kDefaultFirstTrack);

    // The position label changes with every second played or saved. It keeps
    // one size, wide enough for any track and time and ending before the
    // buttons on its right, and paints its own background: a new text
    // repaints the label alone, never the panels or the page beneath it, and
    // asks for no new layout.
    // (Measured with a caption of the kind it shows; FormCreate sets the
    // first real one.)
    Label3 = label(Panel3, "Label3", QStringLiteral("Track no. 1 Time 00:00:00 s"), QPoint(8, 56));
    Label3->setFixedSize(248 - 8 - 8, Label3->height());
    Label3->clear();
    Label3->setAutoFillBackground(true);

    KaraokeCheck = new QCheckBox(QStringLiteral("Karaoke Modus (nur Hintergrundmusik)"), Panel3);
    KaraokeCheck->setObjectName(QStringLiteral("KaraokeCheck"));
    KaraokeCheck->setGeometry(8, 72, 217, 17);
    KaraokeCheck->setChecked(false);

    PlayBtn = rilvane::makeGlyphButton(Panel3, "PlayBtn", QStringLiteral("Play"), image("glyph-play.png"),
                                       QRect(8, 96, 73, 25), [this] { PlayBtnClick(); });
    StopBtn = rilvane::makeGlyphButton(Panel3, "StopBtn", QStringLiteral("Stop"), image("glyph-stop.png"),
                                       QRect(88, 96, 65, 25), [this] { StopBtnClick(); });
    RewBtn = rilvane::makeGlyphButton(Panel3, "RewBtn", QStringLiteral("<<<Rew"), image("glyph-rew.png"),
                                      QRect(160, 96, 81, 25), [this] { RewBtnClick(); });
    FwdBtn = rilvane::makeGlyphButton(Panel3, "FwdBtn", QStringLiteral("Fwd>>>"), image("glyph-fwd.png"),
                                      QRect(248, 96, 81, 25), [this] { FwdBtnClick(); });
    LastBtn = rilvane::makeGlyphButton(Panel3, "LastBtn", QStringLiteral("Last Track"), image("glyph-last.png"),
                                       QRect(248, 32, 112, 25), [this] { LastBtnClick(); });
    NextBtn = rilvane::makeGlyphButton(Panel3, "NextBtn", QStringLiteral("Next Track"), image("glyph-next.png"),
                                       QRect(248, 64, 112, 25), [this] { NextBtnClick(); });

    // Connected last, so that setting the start value above runs no handler
    // before the window is complete.
    connect(StartSec, &rilvane::SpinEdit::changed, this, &TMainForm::StartSecChange);
}

void TMainForm::createSaveArea()
{
    Label4 = label(Panel4, "Label4", QStringLiteral("Track zum Speichern:"), QPoint(8, 4));

    STrackEd = new rilvane::SpinEdit(Panel4);
    STrackEd->setObjectName(QStringLiteral("STrackEd"));
    STrackEd->setGeometry(120, 4, 65, 21);
    STrackEd->setBounds(1, 256);
    STrackEd->setValue(1);

    SaveTrack = rilvane::makeGlyphButton(Panel4, "SaveTrack", QStringLiteral("Track in WAV Datei speichern"),
                                         image("glyph-save.png"), QRect(192, 4, 185, 25),
                                         [this] { SaveTrackClick(); });
}

void TMainForm::arrangeTabOrder()
{
    // The page, the log pane, then the transport area and the save area in
    // their designed order.
    const QList<QWidget*> chain = {PageControl2, Memo1,   StartSec, KaraokeCheck, PlayBtn,  StopBtn,  RewBtn,
                                   FwdBtn,       LastBtn, NextBtn,  DriveBox,     STrackEd, SaveTrack};
    for (qsizetype i = 1; i < chain.size(); ++i)
        QWidget::setTabOrder(chain[i - 1], chain[i]);
}
