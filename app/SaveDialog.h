// The save button's file dialog: Qt's own dialog (the same on every
// desktop), large enough for its columns, with dates and sizes written the
// German way like the rest of the window.
#pragma once

class QFileDialog;
class QWidget;

namespace rilvane {

// Makes the dialog for saving a track as a WAV file; parent owns it.
QFileDialog* createSaveDialog(QWidget* parent);

}  // namespace rilvane
