#include "rescue/RescueLog.h"

#include "rescue/RescueText.h"
#include "rescue/ToolFiles.h"

namespace rilvane::rescue {

bool RescueLog::openFile(const std::string& path, std::string& problem)
{
    platform::FileProblem trouble;
    file_ = platform::openAppendFile(platform::FilePath::fromUtf8(path), trouble);
    if (!file_) problem = fileProblemText(trouble, 0, "lässt sich nicht anlegen");
    return file_ != nullptr;
}

void RescueLog::fileLine(const std::string& line)
{
    if (!file_) return;
    // One write a line: a line is in the file whole or not at all.
    const std::string text = line + '\n';
    if (!file_->append(text.data(), text.size())) fileFailed_ = true;
}

void RescueLog::closeFile()
{
    if (!file_) return;
    if (!file_->close()) fileFailed_ = true;
    file_.reset();
}

void RescueLog::put(LineKind kind, const std::string& text, bool fileOnly)
{
    LogLine line;
    line.kind = kind;
    line.sector = inPass_ ? readingSector_ : -1;
    line.fileOnly = fileOnly;
    line.text = inPass_ ? placeText(starts_, readingSector_) + text : text;
    fileLine(line.text);
    observer_.logLine(line);
}

void RescueLog::logLine(const std::string& text)
{
    if (holding_) {
        held_.push_back(text);
        return;
    }
    put(LineKind::Setup, text, false);
}

void RescueLog::line(LineKind kind, const std::string& text)
{
    if (holding_) {
        held_.push_back(text);
        return;
    }
    put(kind, text, false);
}

void RescueLog::release(bool drop, bool quiet)
{
    holding_ = false;
    std::vector<std::string> lines;
    lines.swap(held_);
    if (drop) return;
    for (const std::string& text : lines) put(LineKind::Drive, text, quiet);
}

void RescueLog::passStarted(PassId pass, Round round, int64_t sectors)
{
    inPass_ = true;
    pass_ = pass;
    name_ = std::string(passName(pass)) + roundLabel(round);
    total_ = sectors;
    done_ = 0;
    started_ = Clock::now();
    observer_.passStarted(pass, round, sectors);
}

void RescueLog::reading(int32_t sector)
{
    readingSector_ = sector;
    observer_.reading(sector);
}

void RescueLog::progress(int64_t done, int64_t failed)
{
    done_ = done;
    observer_.progress(done, total_, failed);
}

void RescueLog::passFinished(int64_t reads, int64_t failed, bool complete)
{
    // A pass that ran to its end has done all of its sectors, whatever the
    // last progress said; one that was stopped says where it stood.
    if (complete) progress(total_, failed);
    const double seconds = std::chrono::duration<double>(Clock::now() - started_).count();
    const std::string text = passDoneLine(passLine(pass_, name_, done_, total_, seconds, failed), reads);
    fileLine(text);
    inPass_ = false;
    observer_.passFinished(pass_, reads, failed);
}

}  // namespace rilvane::rescue
