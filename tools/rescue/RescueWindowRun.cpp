// The rescue window's own rescue: started on a worker thread, shown from
// what it reports, stopped on request or when the window closes.
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QCheckBox>
#include <QTableWidget>

#include "DiscView.h"
#include "RescueRun.h"
#include "RescueWindow.h"
#include "RipToolArguments.h"
#include "StateLegend.h"
#include "rescue/RescueMap.h"

#include <algorithm>

namespace rilvane::rescuewin {

namespace {

constexpr int kTickMs = 100;

QString passText(const RunNews& news)
{
    QString text;
    switch (news.pass) {
    case rescue::PassId::Copy: text = QStringLiteral("Durchgang 1: Kopieren"); break;
    case rescue::PassId::Narrow: text = QStringLiteral("Durchgang 2: Eingrenzen"); break;
    case rescue::PassId::Retry: text = QStringLiteral("Durchgang 3: Wiederholen"); break;
    case rescue::PassId::Verify: text = QStringLiteral("Prüflesen"); break;
    }
    if (news.round.kind == rescue::RoundKind::Confirm) text += QStringLiteral(", Bestätigen");
    if (news.round.kind == rescue::RoundKind::Retry) text += QStringLiteral(", Runde %1").arg(news.round.number);
    return text;
}

}  // namespace

std::optional<rescue::RescueRequest> RescueWindow::requestFromControls(QString& problem) const
{
    const QString out = output_->text().trimmed();
    if (out.isEmpty()) {
        problem = QStringLiteral("Bitte einen Zielordner wählen.");
        return std::nullopt;
    }
    if (drives_->currentIndex() < 0) {
        problem = QStringLiteral("Es gibt kein CD-Laufwerk, von dem gelesen werden könnte.");
        return std::nullopt;
    }
    // The same options as rilvane-rip's command line, read by its own
    // parser: a rescue begun in one program goes on in the other, and both
    // write the same files.
    std::vector<std::string> args = {"--drive", std::to_string(drives_->currentIndex()), "--out", out.toStdString(),
                                     "--retries", std::to_string(retries_->value()), "--offset",
                                     std::to_string(offset_->value())};
    if (verify_->isChecked()) args.push_back("--verify");
    if (flac_->isChecked()) args.push_back("--flac");
    if (!accurateRip_->text().trimmed().isEmpty()) {
        args.push_back("--accuraterip-file");
        args.push_back(accurateRip_->text().trimmed().toStdString());
    }
    std::string error;
    const auto parsed = riptool::RipToolArguments::parse(args, error);
    if (!parsed) {
        problem = QString::fromStdString(error);
        return std::nullopt;
    }
    rescue::RescueRequest r;
    r.drive = parsed->drive;
    r.tracks = parsed->tracks;
    r.outDir = parsed->outDir;
    r.name = parsed->name;
    r.offset = parsed->offset;
    r.flac = parsed->flac;
    r.accurateRipFile = parsed->accurateRipFile;
    r.retries = parsed->retries;
    r.passes = parsed->passes;
    // As rilvane-rip maps them: what nothing else proves is always read a
    // second time; the box asks for every sector to be read twice.
    r.verify = !parsed->noVerify;
    r.verifyAll = parsed->verify;
    r.cacheSectorsGiven = parsed->cacheSectorsGiven;
    r.retrySpeed = parsed->retrySpeed;
    r.cacheSectors = parsed->cacheSectors;
    r.program = std::string("rilvane-rescue ") + RILVANE_VERSION;
    r.options = riptool::describeOptions(*parsed);
    return r;
}

bool RescueWindow::startRescue()
{
    if (run_) return false;
    QString problem;
    const auto request = requestFromControls(problem);
    // A rescue asked for but not begun has not rescued the disc: the exit
    // status says so (a script's --start must not end in success).
    if (!request) {
        logLine(problem);
        runStatus_ = 1;
        return false;
    }
    const QString out = QString::fromStdString(request->outDir);
    if (!QDir().mkpath(out)) {
        logLine(QStringLiteral("Konnte den Zielordner %1 nicht anlegen").arg(out));
        runStatus_ = 1;
        return false;
    }
    watcher_.stop();
    folder_ = out;
    // Failed tries from an earlier run; this run's are counted as they come.
    baseTries_.reset();
    std::string error;
    if (const auto earlier = DiscState::load(QDir(out).filePath(QString::fromLatin1(rescue::RescueFiles::kMap)).toStdString(), error))
        baseTries_ = *earlier;
    failedReads_ = 0;
    lastDone_ = -1;
    sectorsPerSecond_ = 0;
    runStatus_.reset();
    lastStates_.clear();
    // Checksums of an earlier run no longer describe what this one writes.
    for (int row = 0; row < tracks_->rowCount(); ++row)
        for (const int column : {ColCrc, ColAccurateRip})
            if (QTableWidgetItem* item = tracks_->item(row, column)) item->setText(QString());
    run_ = std::make_unique<RescueRun>(*request, this);
    connect(run_.get(), &RescueRun::finished, this, &RescueWindow::rescueFinished);
    logLine(QStringLiteral("Rettung beginnt: Laufwerk %1, Zielordner %2").arg(drives_->currentText().trimmed(), out));
    run_->start();
    tick_.start(kTickMs);
    setRunning(true);
    return true;
}

void RescueWindow::stopRescue()
{
    if (!run_ || run_->stopRequested()) return;
    run_->requestStop();
    stop_->setEnabled(false);
    passLabel_->setText(QStringLiteral("Wird nach dem laufenden Lesevorgang angehalten …"));
    logLine(QStringLiteral("Anhalten: die Rettung endet nach dem laufenden Lesevorgang, alles Gelesene bleibt."));
}

void RescueWindow::setRunning(bool running)
{
    start_->setEnabled(!running);
    stop_->setEnabled(running);
    for (QWidget* w : std::initializer_list<QWidget*>{drives_, output_, outButton_, openButton_, retries_, verify_, flac_,
                                                     offset_, accurateRip_, arButton_})
        w->setEnabled(!running);
}

void RescueWindow::takeNews()
{
    if (!run_) return;
    RunNews news = run_->take();
    for (const std::string& line : news.lines) logLine(line);
    if (news.layout && !news.states.empty()) {
        if (disc_.empty() || disc_.layout().trackStarts != news.layout->trackStarts ||
            disc_.layout().leadOut != news.layout->leadOut) {
            disc_ = baseTries_ && baseTries_->layout() == *news.layout ? *baseTries_ : DiscState(*news.layout);
            logLine(QStringLiteral("CD mit %1 Tracks, %2 Sektoren (%3)")
                        .arg(disc_.tracks().size())
                        .arg(disc_.sectors())
                        .arg(QString::fromStdString(discTime(disc_.sectors()))));
        }
        // Nothing to redo while the states stand still (a slow read).
        if (news.states != lastStates_ || !news.failedSingles.empty()) {
            const auto n = std::min<size_t>(news.states.size(), static_cast<size_t>(disc_.sectors()));
            for (size_t s = 0; s < n; ++s)
                disc_.set(static_cast<int32_t>(s), news.states[s], disc_.tries(static_cast<int32_t>(s)));
            for (const int32_t s : news.failedSingles)
                if (s >= 0 && s < disc_.sectors())
                    disc_.set(s, disc_.state(s), static_cast<uint16_t>(std::min(0xFFFF, disc_.tries(s) + 1)));
            discView_->setDisc(disc_);
            legend_->setCounts(disc_.counts());
            fillTracks();
            lastStates_ = std::move(news.states);
        }
    }
    if (news.position) discView_->setPosition(news.position);
    failedReads_ = news.failedReads;
    if (!news.passKnown) return;
    // Speed from the sectors handled in this round.
    if (lastDone_ >= 0 && news.done >= lastDone_ && sinceLast_.isValid()) {
        const double seconds = sinceLast_.nsecsElapsed() / 1e9;
        if (seconds >= 0.5) {
            const double rate = (news.done - lastDone_) / seconds;
            sectorsPerSecond_ = sectorsPerSecond_ > 0 ? 0.7 * sectorsPerSecond_ + 0.3 * rate : rate;
            lastDone_ = news.done;
            sinceLast_.restart();
        }
    } else {
        lastDone_ = news.done;
        sinceLast_.restart();
    }
    const int64_t total = std::max<int64_t>(news.total, 1);
    progress_->setValue(static_cast<int>(std::clamp<int64_t>(news.done * 1000 / total, 0, 1000)));
    progress_->setFormat(QStringLiteral("%1 %").arg(QString::number(news.done * 100.0 / total, 'f', 1)));
    if (!run_->stopRequested()) passLabel_->setText(passText(news));
    speedLabel_->setText(sectorsPerSecond_ > 0 ? QStringLiteral("%1×").arg(QString::number(sectorsPerSecond_ / 75.0, 'f', 1))
                                                : QString());
    const int64_t left = news.total - news.done;
    leftLabel_->setText(sectorsPerSecond_ > 0 && left > 0
                            ? QStringLiteral("Runde noch etwa %1").arg(durationText(left / sectorsPerSecond_))
                            : QString());
    failedLabel_->setText(QStringLiteral("Fehlgeschlagene Lesevorgänge: %1").arg(failedReads_));
}

void RescueWindow::rescueFinished()
{
    tick_.stop();
    takeNews();
    const rescue::RescueOutcome outcome = run_->outcome();
    run_.reset();
    setRunning(false);
    sectorsPerSecond_ = 0;
    lastDone_ = -1;
    discView_->setPosition(std::nullopt);
    // The map on the disk has the exact tries.
    std::string error;
    const QString map = QDir(folder_).filePath(QString::fromLatin1(rescue::RescueFiles::kMap));
    if (QFileInfo::exists(map)) {
        if (const auto done = DiscState::load(map.toStdString(), error)) showDisc(*done);
    }
    for (const rescue::TrackReport& track : outcome.report.tracks) {
        int row = -1;
        for (size_t t = 0; t < disc_.tracks().size(); ++t)
            if (disc_.tracks()[t].first == track.firstSector) row = static_cast<int>(t);
        if (row < 0 || track.dataTrack) continue;
        auto put = [&](int column, const QString& text) {
            if (QTableWidgetItem* item = tracks_->item(row, column)) item->setText(text);
        };
        if (track.checksums) put(ColCrc, QStringLiteral("%1").arg(track.checksums->crc, 8, 16, QChar('0')));
        put(ColAccurateRip, QString::fromStdString(track.accurateRip));
        if (!track.file.empty()) put(ColFile, QFileInfo(QString::fromStdString(track.file)).fileName());
        else if (track.fileFailed) put(ColFile, QStringLiteral("nicht geschrieben"));
    }
    QString result;
    switch (outcome.result) {
    case rescue::RescueResult::Complete: result = QStringLiteral("Die CD ist vollständig gerettet."); break;
    case rescue::RescueResult::Incomplete: result = QStringLiteral("Die CD ist nicht vollständig gerettet."); break;
    case rescue::RescueResult::BadRequest: result = QStringLiteral("Die Rettung wurde abgelehnt."); break;
    case rescue::RescueResult::NoDisc: result = QStringLiteral("Keine CD, kein Laufwerk oder eine andere CD als im Zielordner."); break;
    case rescue::RescueResult::Stopped: result = QStringLiteral("Angehalten; fortsetzen mit Start."); break;
    }
    if (!outcome.report.problem.empty()) logLine(QString::fromStdString(outcome.report.problem));
    logLine(result);
    passLabel_->setText(result);
    runStatus_ = outcome.result == rescue::RescueResult::Complete ? 0 : 1;
    emit rescueEnded(*runStatus_);
    if (closeWhenStopped_) close();
}

void RescueWindow::closeEvent(QCloseEvent* event)
{
    if (!run_) {
        event->accept();
        return;
    }
    event->ignore();
    if (closeWhenStopped_) return;
    QMessageBox ask(QMessageBox::Question, QStringLiteral("Rettung läuft"),
                    QStringLiteral("Die Rettung läuft noch. Anhalten und das Fenster schließen?\n\n"
                                   "Alles bisher Gelesene bleibt im Zielordner; die Rettung lässt sich "
                                   "später fortsetzen."),
                    QMessageBox::NoButton, this);
    QPushButton* stop = ask.addButton(QStringLiteral("Anhalten und schließen"), QMessageBox::AcceptRole);
    ask.addButton(QStringLiteral("Weiterlesen"), QMessageBox::RejectRole);
    ask.setDefaultButton(stop);
    ask.exec();
    if (ask.clickedButton() != stop || !run_) {
        if (!run_) close();
        return;
    }
    closeWhenStopped_ = true;
    stopRescue();
}

}  // namespace rilvane::rescuewin
