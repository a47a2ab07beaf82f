#include "RescueWindow.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QGuiApplication>
#include <QScreen>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QSplitter>
#include <QStatusBar>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

#include "rescue/RescueSession.h"
#include "DiscView.h"
#include "RescueRun.h"
#include "RipToolArguments.h"
#include "StateLegend.h"
#include "drive/DriveDiscovery.h"
#include "drive/DriveListEntry.h"

Q_LOGGING_CATEGORY(lcRescueLog, "rilvane.log", QtWarningMsg)

namespace rilvane::rescuewin {

namespace {

QString number(int64_t n)
{
    return QString::number(n);
}

}  // namespace

QString durationText(double seconds)
{
    const auto s = static_cast<int64_t>(seconds + 0.5);
    if (s >= 3600) return QStringLiteral("%1:%2:%3").arg(s / 3600).arg(s / 60 % 60, 2, 10, QChar('0')).arg(s % 60, 2, 10, QChar('0'));
    return QStringLiteral("%1:%2").arg(s / 60).arg(s % 60, 2, 10, QChar('0'));
}

RescueWindow::RescueWindow(const RescueArguments& args, QWidget* parent) : QMainWindow(parent)
{
    setWindowTitle(QStringLiteral("Rilvane – CD retten"));
    buildControls();
    connect(&watcher_, &MapWatcher::mapChanged, this, &RescueWindow::takeMap);
    connect(&tick_, &QTimer::timeout, this, &RescueWindow::takeNews);
    connect(start_, &QPushButton::clicked, this, &RescueWindow::startRescue);
    connect(stop_, &QPushButton::clicked, this, &RescueWindow::stopRescue);
    connect(&watcher_, &MapWatcher::mapUnreadable, this, [this](const QString& reason) {
        logLine(QStringLiteral("Die Karte %1 ist nicht lesbar: %2").arg(watcher_.mapPath(), reason));
    });
    findDrives();
    if (args.drive) {
        if (*args.drive < drives_->count()) drives_->setCurrentIndex(*args.drive);
        else logLine(QStringLiteral("Laufwerk %1 gibt es nicht (gefunden: %2)").arg(*args.drive).arg(drives_->count()));
    }
    if (!args.outDir.empty()) output_->setText(QString::fromStdString(args.outDir));
    if (!args.folder.empty()) openFolder(QString::fromStdString(args.folder));
}

RescueWindow::~RescueWindow() = default;

void RescueWindow::buildControls()
{
    auto* central = new QWidget(this);
    auto* top = new QVBoxLayout(central);

    auto* choose = new QGroupBox(QStringLiteral("CD und Ziel"), central);
    auto* chooseForm = new QFormLayout(choose);
    drives_ = new QComboBox(choose);
    drives_->setMinimumContentsLength(24);
    chooseForm->addRow(QStringLiteral("&Laufwerk:"), drives_);
    auto* outRow = new QHBoxLayout;
    output_ = new QLineEdit(choose);
    output_->setPlaceholderText(QStringLiteral("Ordner für Arbeitskopie, Karte, Protokoll und Tracks"));
    outButton_ = new QPushButton(QStringLiteral("&Wählen …"), choose);
    openButton_ = new QPushButton(QStringLiteral("Rettung ö&ffnen …"), choose);
    outRow->addWidget(output_, 1);
    outRow->addWidget(outButton_);
    outRow->addWidget(openButton_);
    auto* outLabel = new QLabel(QStringLiteral("&Zielordner:"), choose);
    outLabel->setBuddy(output_);
    chooseForm->addRow(outLabel, outRow);
    connect(outButton_, &QPushButton::clicked, this, &RescueWindow::chooseOutput);
    connect(openButton_, &QPushButton::clicked, this, &RescueWindow::chooseFolderToOpen);

    auto* options = new QGroupBox(QStringLiteral("Optionen"), central);
    auto* optionsRow = new QHBoxLayout(options);
    retries_ = new QSpinBox(options);
    retries_->setRange(0, 1000);
    retries_->setValue(10);
    retries_->setToolTip(QStringLiteral("Weitere Leseversuche je fehlendem Sektor"));
    verify_ = new QCheckBox(QStringLiteral("&Prüflesen"), options);
    verify_->setToolTip(QStringLiteral("Jeden gelesenen Sektor ein zweites Mal lesen und vergleichen"));
    flac_ = new QCheckBox(QStringLiteral("&FLAC"), options);
    flac_->setToolTip(QStringLiteral("FLAC-Dateien statt WAV"));
    offset_ = new QSpinBox(options);
    offset_->setRange(-riptool::kMaxOffset, riptool::kMaxOffset);
    offset_->setToolTip(QStringLiteral("Leseversatz des Laufwerks in Samples, wie in den Listen von AccurateRip"));
    accurateRip_ = new QLineEdit(options);
    accurateRip_->setPlaceholderText(QStringLiteral("dBAR-….bin (freiwillig)"));
    arButton_ = new QPushButton(QStringLiteral("…"), options);
    arButton_->setFixedWidth(28);
    connect(arButton_, &QPushButton::clicked, this, &RescueWindow::chooseAccurateRip);
    optionsRow->addWidget(new QLabel(QStringLiteral("Wiederholungen:"), options));
    optionsRow->addWidget(retries_);
    optionsRow->addWidget(verify_);
    optionsRow->addWidget(flac_);
    optionsRow->addWidget(new QLabel(QStringLiteral("Leseversatz:"), options));
    optionsRow->addWidget(offset_);
    optionsRow->addWidget(new QLabel(QStringLiteral("AccurateRip:"), options));
    optionsRow->addWidget(accurateRip_, 1);
    optionsRow->addWidget(arButton_);

    auto* buttons = new QHBoxLayout;
    start_ = new QPushButton(QStringLiteral("&Start"), central);
    stop_ = new QPushButton(QStringLiteral("S&topp"), central);
    stop_->setEnabled(false);
    start_->setMinimumWidth(110);
    stop_->setMinimumWidth(110);
    progress_ = new QProgressBar(central);
    progress_->setRange(0, 1000);
    progress_->setValue(0);
    progress_->setFormat(QStringLiteral("%p %"));
    buttons->addWidget(start_);
    buttons->addWidget(stop_);
    buttons->addWidget(progress_, 1);

    auto* split = new QSplitter(Qt::Horizontal, central);
    auto* left = new QWidget(split);
    auto* leftColumn = new QVBoxLayout(left);
    leftColumn->setContentsMargins(0, 0, 0, 0);
    discView_ = new DiscView(left);
    legend_ = new StateLegend(left);
    hover_ = new QLabel(left);
    hover_->setMinimumHeight(hover_->fontMetrics().height());
    leftColumn->addWidget(discView_, 1);
    leftColumn->addWidget(legend_);
    leftColumn->addWidget(hover_);
    connect(discView_, &DiscView::hovered, hover_, &QLabel::setText);

    auto* rightSplit = new QSplitter(Qt::Vertical, split);
    tracks_ = new QTableWidget(0, ColCount, rightSplit);
    tracks_->setHorizontalHeaderLabels({QStringLiteral("Track"), QStringLiteral("Länge"), QStringLiteral("Gut"),
                                        QStringLiteral("Geprüft"), QStringLiteral("Verdächtig"),
                                        QStringLiteral("Fehlt"), QStringLiteral("CRC32"),
                                        QStringLiteral("AccurateRip"), QStringLiteral("Datei")});
    tracks_->verticalHeader()->hide();
    tracks_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tracks_->setSelectionMode(QAbstractItemView::NoSelection);
    tracks_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    tracks_->horizontalHeader()->setStretchLastSection(true);
    log_ = new QPlainTextEdit(rightSplit);
    log_->setReadOnly(true);
    log_->setMaximumBlockCount(20000);
    rightSplit->addWidget(tracks_);
    rightSplit->addWidget(log_);
    rightSplit->setStretchFactor(0, 3);
    rightSplit->setStretchFactor(1, 2);
    split->addWidget(left);
    split->addWidget(rightSplit);
    split->setStretchFactor(0, 2);
    split->setStretchFactor(1, 3);
    split->setSizes({390, 610});

    top->addWidget(choose);
    top->addWidget(options);
    top->addLayout(buttons);
    top->addWidget(split, 1);
    setCentralWidget(central);

    passLabel_ = new QLabel(QStringLiteral("Bereit"), this);
    speedLabel_ = new QLabel(this);
    leftLabel_ = new QLabel(this);
    failedLabel_ = new QLabel(this);
    statusBar()->addWidget(passLabel_, 1);
    statusBar()->addPermanentWidget(speedLabel_);
    statusBar()->addPermanentWidget(leftLabel_);
    statusBar()->addPermanentWidget(failedLabel_);
    // As large as is comfortable, but never larger than the screen.
    QSize size(1000, 700);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        size = size.boundedTo(screen->availableSize() - QSize(24, 48));
    resize(size);

    auto* quit = new QAction(this);
    quit->setShortcut(QKeySequence::Quit);
    quit->setShortcutContext(Qt::ApplicationShortcut);
    connect(quit, &QAction::triggered, this, &QWidget::close);
    addAction(quit);
}

void RescueWindow::findDrives()
{
    findAllCDDrives(driveTable_, transportMode_, *this);
    drives_->clear();
    const int count = std::min<int32_t>(driveTable_.count, kDriveTableSize);
    for (int i = 0; i < count; ++i)
        drives_->addItem(QString::fromStdString(driveListEntry(driveTable_.records[static_cast<size_t>(i)], transportMode_)));
    if (count < 1) {
        logLine(QStringLiteral("Es wurden keine CD-Laufwerke gefunden!"));
        for (const std::string& line : unusableDriveLines()) logLine(line);
    }
}

void RescueWindow::logLine(const std::string& line)
{
    logLine(QString::fromStdString(line));
}

void RescueWindow::logLine(const QString& line)
{
    log_->appendPlainText(line);
    QScrollBar* bar = log_->verticalScrollBar();
    bar->setValue(bar->maximum());
    qCInfo(lcRescueLog).noquote() << line;
}

bool RescueWindow::openFolder(const QString& folder)
{
    const QString map = QDir(folder).filePath(QString::fromLatin1(rescue::RescueFiles::kMap));
    folder_ = folder;
    output_->setText(folder);
    lastDone_ = -1;
    sectorsPerSecond_ = 0;
    if (!QFileInfo::exists(map)) {
        logLine(QStringLiteral("In %1 ist noch keine Rettung (keine Karte %2); sobald eine beginnt, zeigt das Fenster sie.")
                    .arg(folder, QString::fromLatin1(rescue::RescueFiles::kMap)));
        disc_ = DiscState();
        discView_->clear();
        watcher_.watch(folder);
        return false;
    }
    logLine(QStringLiteral("Rettung in %1 geöffnet").arg(folder));
    watcher_.watch(folder);
    return !disc_.empty();
}

void RescueWindow::takeMap(const DiscState& disc)
{
    showDisc(disc);
    // What the map says now, once per new version of it: the log of a
    // rescue followed from outside.
    const StateCounts c = disc.counts();
    logLine(QStringLiteral("Stand der Karte: %1 gelesen, %2 verdächtig, %3 fehlen, %4 ungelesen")
                .arg(c.read())
                .arg(c.of(SectorState::Suspect))
                .arg(c.missing())
                .arg(c.of(SectorState::Untried)));
}

void RescueWindow::showDisc(const DiscState& disc)
{
    const bool first = disc_.empty() || !disc_.sameDisc(disc);
    const StateCounts counts = disc.counts();
    const int64_t done = counts.audio() - counts.of(SectorState::Untried) - counts.of(SectorState::Narrow);
    if (lastDone_ >= 0 && sinceLast_.isValid()) {
        const double seconds = sinceLast_.nsecsElapsed() / 1e9;
        if (seconds > 0.05) sectorsPerSecond_ = std::max<int64_t>(0, done - lastDone_) / seconds;
    }
    lastDone_ = done;
    sinceLast_.restart();
    disc_ = disc;
    discView_->setDisc(disc_);
    legend_->setCounts(counts);
    if (first) {
        logLine(QStringLiteral("CD mit %1 Tracks, %2 Sektoren (%3)")
                    .arg(disc_.tracks().size())
                    .arg(disc_.sectors())
                    .arg(QString::fromStdString(discTime(disc_.sectors()))));
    }
    fillTracks();
    showProgress();
}

QString RescueWindow::trackFile(int number) const
{
    if (folder_.isEmpty()) return {};
    const QDir dir(folder_);
    for (const char* ext : {"wav", "flac"}) {
        const QString name = QStringLiteral("track%1.%2").arg(number, 2, 10, QChar('0')).arg(QLatin1String(ext));
        if (dir.exists(name)) return name;
    }
    return {};
}

void RescueWindow::fillTracks()
{
    const auto& spans = disc_.tracks();
    tracks_->setRowCount(static_cast<int>(spans.size()));
    auto put = [this](int row, int column, const QString& text) {
        QTableWidgetItem* item = tracks_->item(row, column);
        if (!item) {
            item = new QTableWidgetItem;
            if (column != ColFile) item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            tracks_->setItem(row, column, item);
        }
        if (item->text() != text) item->setText(text);
    };
    for (size_t t = 0; t < spans.size(); ++t) {
        const TrackSpan& span = spans[t];
        const int row = static_cast<int>(t);
        put(row, ColTrack, number(span.number));
        put(row, ColLength, QString::fromStdString(discTime(span.end - span.first)));
        if (span.data) {
            for (int c : {ColGood, ColVerified, ColSuspect, ColMissing, ColCrc, ColAccurateRip}) put(row, c, QString());
            put(row, ColFile, QStringLiteral("Datentrack, nicht gelesen"));
            continue;
        }
        const StateCounts c = disc_.counts(span.first, span.end);
        put(row, ColGood, number(c.of(SectorState::Good)));
        put(row, ColVerified, number(c.of(SectorState::Verified)));
        put(row, ColSuspect, number(c.of(SectorState::Suspect)));
        put(row, ColMissing, number(c.missing()));
        if (!tracks_->item(row, ColCrc)) put(row, ColCrc, QString());
        if (!tracks_->item(row, ColAccurateRip)) put(row, ColAccurateRip, QString());
        put(row, ColFile, trackFile(span.number));
    }
}

void RescueWindow::showProgress()
{
    const StateCounts c = disc_.counts();
    const int64_t audio = c.audio();
    const int64_t open = c.of(SectorState::Untried) + c.of(SectorState::Narrow);
    const int64_t done = audio - open;
    progress_->setValue(audio > 0 ? static_cast<int>(done * 1000 / audio) : 0);
    progress_->setFormat(audio > 0 ? QStringLiteral("%1 %").arg(QString::number(done * 100.0 / audio, 'f', 1))
                                   : QStringLiteral("–"));
    QString pass;
    if (c.of(SectorState::Untried) > 0) pass = QStringLiteral("Durchgang 1: Kopieren");
    else if (c.of(SectorState::Narrow) > 0) pass = QStringLiteral("Durchgang 2: Eingrenzen");
    else if (c.missing() > 0) pass = QStringLiteral("Fehlende Sektoren: %1").arg(c.missing());
    else if (c.of(SectorState::Suspect) > 0) pass = QStringLiteral("Verdächtige Sektoren: %1").arg(c.of(SectorState::Suspect));
    else pass = QStringLiteral("Vollständig gelesen");
    if (watcher_.watching()) pass += QStringLiteral(" (nach der Karte)");
    passLabel_->setText(pass);
    speedLabel_->setText(sectorsPerSecond_ > 0 ? QStringLiteral("%1×").arg(QString::number(sectorsPerSecond_ / 75.0, 'f', 1))
                                                : QString());
    leftLabel_->setText(sectorsPerSecond_ > 0 && open > 0
                            ? QStringLiteral("noch etwa %1").arg(durationText(static_cast<double>(open) / sectorsPerSecond_))
                            : QString());
    failedLabel_->setText(QStringLiteral("Fehlversuche: %1").arg(disc_.failedTries()));
}

int RescueWindow::exitStatus() const
{
    if (runStatus_) return *runStatus_;
    if (disc_.empty()) return 0;
    const StateCounts c = disc_.counts();
    return c.missing() == 0 && c.of(SectorState::Suspect) == 0 ? 0 : 1;
}

void RescueWindow::chooseOutput()
{
    const QString dir = QFileDialog::getExistingDirectory(this, QStringLiteral("Zielordner wählen"), output_->text());
    if (!dir.isEmpty()) output_->setText(dir);
}

void RescueWindow::chooseFolderToOpen()
{
    const QString dir = QFileDialog::getExistingDirectory(this, QStringLiteral("Ordner mit einer Rettung öffnen"), output_->text());
    if (!dir.isEmpty()) openFolder(dir);
}

void RescueWindow::chooseAccurateRip()
{
    const QString file = QFileDialog::getOpenFileName(this, QStringLiteral("Datei aus der AccurateRip-Datenbank"),
                                                      QString(), QStringLiteral("AccurateRip (*.bin);;Alle Dateien (*)"));
    if (!file.isEmpty()) accurateRip_->setText(file);
}

}  // namespace rilvane::rescuewin
