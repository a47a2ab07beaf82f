// The save button's file dialog: Qt's own dialog (the same on every
// desktop), large enough for its columns, with dates and sizes written the
// German way like the rest of the window.
#pragma once

class QFileDialog;
class QString;
class QWidget;

namespace rilvane {

// Makes the dialog for saving a track as a WAV file; parent owns it.
QFileDialog* createSaveDialog(QWidget* parent);

// The file an accepted save dialog chose: the name exactly as typed where
// Qt's dialog would have read it otherwise (a name with '"', which it takes
// for a list of quoted names), else the dialog's own choice.
QString chosenSaveFile(const QFileDialog& dialog);

}  // namespace rilvane
