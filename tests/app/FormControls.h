// The main window's controls as the tests reach them: by object name, the
// way a user's tools see the window, not through its members. Each is looked
// up anew, so a test sees the control as the window has it now.
#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QPlainTextEdit>
#include <QScrollArea>
#include <QTabWidget>
#include <QToolButton>
#include <QWidget>

#include "app/BevelPanel.h"
#include "app/PaintBox.h"
#include "app/SpinEdit.h"
#include "app/StatusBar.h"
#include "controls/ButtonsXP.h"
#include "controls/ImageBtnUnit.h"

namespace rilvane::test::ui {

// The child of `form` named `name`, of type T. A missing or different control
// ends the test program: every check after it would only fail on a null.
template <typename T>
T* control(const QWidget& form, const char* name)
{
    auto* found = dynamic_cast<T*>(form.findChild<QWidget*>(QString::fromLatin1(name)));
    if (!found) qFatal("The window has no control %s of the expected type", name);
    return found;
}

// The window's controls, in creation order.
inline StatusBar* StatusBar1(const QWidget& form) { return control<StatusBar>(form, "StatusBar1"); }
inline BevelPanel* Panel7(const QWidget& form) { return control<BevelPanel>(form, "Panel7"); }
inline QToolButton* wwwBtn(const QWidget& form) { return control<QToolButton>(form, "wwwBtn"); }
inline BevelPanel* Panel8(const QWidget& form) { return control<BevelPanel>(form, "Panel8"); }
inline TImageBtn* ueberbtn(const QWidget& form) { return control<TImageBtn>(form, "ueberbtn"); }
inline TImageBtn* endebtn(const QWidget& form) { return control<TImageBtn>(form, "endebtn"); }
inline BevelPanel* OuterPanel(const QWidget& form) { return control<BevelPanel>(form, "OuterPanel"); }
inline QTabWidget* PageControl2(const QWidget& form) { return control<QTabWidget>(form, "PageControl2"); }
inline QWidget* TabSheet3(const QWidget& form) { return control<QWidget>(form, "TabSheet3"); }
inline BevelPanel* Panel2(const QWidget& form) { return control<BevelPanel>(form, "Panel2"); }
inline QLabel* RxLabel2(const QWidget& form) { return control<QLabel>(form, "RxLabel2"); }
inline BevelPanel* Panel6(const QWidget& form) { return control<BevelPanel>(form, "Panel6"); }
inline BevelPanel* Panel9(const QWidget& form) { return control<BevelPanel>(form, "Panel9"); }
inline QLabel* Image1(const QWidget& form) { return control<QLabel>(form, "Image1"); }
inline BevelPanel* Panel12(const QWidget& form) { return control<BevelPanel>(form, "Panel12"); }
inline QLabel* RxLabel5(const QWidget& form) { return control<QLabel>(form, "RxLabel5"); }
inline BevelPanel* Panel1(const QWidget& form) { return control<BevelPanel>(form, "Panel1"); }
inline QPlainTextEdit* Memo1(const QWidget& form) { return control<QPlainTextEdit>(form, "Memo1"); }
inline QScrollArea* ScrollBox1(const QWidget& form) { return control<QScrollArea>(form, "ScrollBox1"); }
inline PaintBox* PaintBox1(const QWidget& form) { return control<PaintBox>(form, "PaintBox1"); }
inline BevelPanel* Panel3(const QWidget& form) { return control<BevelPanel>(form, "Panel3"); }
inline BevelPanel* Panel4(const QWidget& form) { return control<BevelPanel>(form, "Panel4"); }
inline QLabel* Label2(const QWidget& form) { return control<QLabel>(form, "Label2"); }
inline QComboBox* DriveBox(const QWidget& form) { return control<QComboBox>(form, "DriveBox"); }
inline QLabel* Label1(const QWidget& form) { return control<QLabel>(form, "Label1"); }
inline SpinEdit* StartSec(const QWidget& form) { return control<SpinEdit>(form, "StartSec"); }
inline QLabel* Label3(const QWidget& form) { return control<QLabel>(form, "Label3"); }
inline QCheckBox* KaraokeCheck(const QWidget& form) { return control<QCheckBox>(form, "KaraokeCheck"); }
inline TBitBtnXP* PlayBtn(const QWidget& form) { return control<TBitBtnXP>(form, "PlayBtn"); }
inline TBitBtnXP* StopBtn(const QWidget& form) { return control<TBitBtnXP>(form, "StopBtn"); }
inline TBitBtnXP* RewBtn(const QWidget& form) { return control<TBitBtnXP>(form, "RewBtn"); }
inline TBitBtnXP* FwdBtn(const QWidget& form) { return control<TBitBtnXP>(form, "FwdBtn"); }
inline TBitBtnXP* LastBtn(const QWidget& form) { return control<TBitBtnXP>(form, "LastBtn"); }
inline TBitBtnXP* NextBtn(const QWidget& form) { return control<TBitBtnXP>(form, "NextBtn"); }
inline QLabel* Label4(const QWidget& form) { return control<QLabel>(form, "Label4"); }
inline SpinEdit* STrackEd(const QWidget& form) { return control<SpinEdit>(form, "STrackEd"); }
inline TBitBtnXP* SaveTrack(const QWidget& form) { return control<TBitBtnXP>(form, "SaveTrack"); }
inline QFileDialog* SaveDialog1(const QWidget& form) { return control<QFileDialog>(form, "SaveDialog1"); }

}  // namespace rilvane::test::ui
