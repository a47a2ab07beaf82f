// The information dialog, opened from the main window.

#include "FormControls.h"
#include "MainWindowTest.h"
#include "WindowTestSupport.h"
#include "app/AboutBoxUnit.h"
#include "app/BevelPanel.h"
#include "app/MainUnit.h"
#include "controls/ButtonsXP.h"
#include "controls/ImageBtnUnit.h"

#include <QLabel>
#include <QTimer>

#include <functional>

namespace ui = rilvane::test::ui;

namespace {

// Runs `inspect` on the information dialog while it is shown modally by a
// click on the main window's information button.
void whileAboutBoxIsOpen(TMainForm& form, const std::function<void(TAboutBox&)>& inspect)
{
    QTimer::singleShot(0, &form, [inspect] {
        auto* box = qobject_cast<TAboutBox*>(QApplication::activeModalWidget());
        if (box == nullptr) {
            QApplication::activeModalWidget()->close();
            return;
        }
        inspect(*box);
    });
    QTest::mouseClick(ui::ueberbtn(form), Qt::LeftButton);
}

QDateTime dayOf(int year)
{
    return QDateTime(QDate(year, 3, 14), QTime(12, 0));
}

}  // namespace

class AboutBoxTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void cleanup() { TAboutBox::setClock({}); }
    void everyOpeningShowsTheCurrentYear();
    void enterOpensTheSiteAndEscapeDoesNothing();
    void dialogFollowsTheDesign();
};

void AboutBoxTest::everyOpeningShowsTheCurrentYear()
{
    TMainForm form(rilvane::test::soundLibrary());
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));

    QStringList shown;
    QList<int> results;
    for (int year : {2031, 2032}) {
        TAboutBox::setClock([year] { return dayOf(year); });
        bool opened = false;
        whileAboutBoxIsOpen(form, [&](TAboutBox& box) {
            opened = true;
            shown << box.Copyright->text();
            QObject::connect(&box, &QDialog::finished, &box, [&](int result) { results << result; });
            box.BitBtn1->click();
        });
        QVERIFY(opened);
    }
    QCOMPARE(shown, (QStringList{QStringLiteral("Copyright © 2031 Tormend Software. Alle Rechte vorbehalten."),
                                 QStringLiteral("Copyright © 2032 Tormend Software. Alle Rechte vorbehalten.")}));
    QCOMPARE(results, (QList<int>{QDialog::Accepted, QDialog::Accepted}));
    // Each dialog is gone once closed.
    QVERIFY(form.findChildren<TAboutBox*>().isEmpty());
}

void AboutBoxTest::enterOpensTheSiteAndEscapeDoesNothing()
{
    rilvane::test::FakeUrlOpener opener;
    QVERIFY(opener.isValid());
    TMainForm form(rilvane::test::soundLibrary());
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));

    bool focusOnWebButton = false;
    bool openAfterEnter = false;
    bool openAfterEscape = false;
    bool okFocusedAfterTab = false;
    bool closedByOk = false;
    whileAboutBoxIsOpen(form, [&](TAboutBox& box) {
        focusOnWebButton = box.focusWidget() == box.BitBtnXP1;
        QTest::keyClick(box.focusWidget(), Qt::Key_Return);
        openAfterEnter = box.isVisible();
        QTest::keyClick(box.focusWidget(), Qt::Key_Escape);
        openAfterEscape = box.isVisible();
        QTest::keyClick(box.focusWidget(), Qt::Key_Tab);
        okFocusedAfterTab = box.focusWidget() == box.BitBtn1;
        QTest::keyClick(box.BitBtn1, Qt::Key_Return);
        QCoreApplication::processEvents();  // the button closes its dialog once its click is over
        closedByOk = !box.isVisible() && box.result() == QDialog::Accepted;
        if (box.isVisible())
            box.reject();
    });
    QVERIFY(focusOnWebButton);
    QVERIFY(openAfterEnter);
    QVERIFY(openAfterEscape);
    QVERIFY(okFocusedAfterTab);
    QVERIFY(closedByOk);
    QTRY_COMPARE_WITH_TIMEOUT(opener.openedAddresses(), QStringList{QStringLiteral("http://www.tormend.de/")}, 30000);
}

void AboutBoxTest::dialogFollowsTheDesign()
{
    TAboutBox box;
    QCOMPARE(box.windowTitle(), QStringLiteral("Info"));
    QCOMPARE(box.size(), QSize(664, 453));
    QCOMPARE(box.minimumSize(), box.maximumSize());
    QVERIFY(!(box.windowFlags() & Qt::WindowMaximizeButtonHint));
    QVERIFY(!(box.windowFlags() & Qt::WindowMinimizeButtonHint));
    QVERIFY(box.windowFlags() & Qt::WindowCloseButtonHint);

    QCOMPARE(box.Panel1->geometry(), QRect(8, 8, 649, 385));
    QCOMPARE(box.Panel1->palette().color(QPalette::Window), QColor(240, 202, 166));
    QCOMPARE(box.ProgramIcon->geometry(), QRect(16, 40, 306, 322));
    QVERIFY(box.ProgramIcon->hasScaledContents());
    QCOMPARE(box.ProductName->text(), QStringLiteral("Garantiert ein Original Tormend Programm"));
    QCOMPARE(box.Comments->text(),
             QStringLiteral("Dies ist eine Tormend Computersoftware Produktion. (info@tormend.de)"));
    QCOMPARE(box.Comments->geometry(), QRect(336, 56, 257, 33));
    QVERIFY(box.Label3->text().contains(QStringLiteral("http://www.tormend.de/\n")));
    QCOMPARE(box.BitBtnXP1->text(), QStringLiteral("http://www.tormend.de/"));
    QCOMPARE(box.BitBtnXP1->geometry(), QRect(336, 240, 169, 25));
    QCOMPARE(box.BitBtn1->text(), QStringLiteral("OK"));
    QCOMPARE(box.BitBtn1->geometry(), QRect(241, 404, 181, 37));
    QCOMPARE(box.BitBtn1->Kind(), bkOK);
    QVERIFY(box.BitBtn1->Default());
    QVERIFY(!box.Copyright->text().contains(QStringLiteral("XXXX")));

    // The web button lies over the end of Label3 and is drawn on top of it.
    QVERIFY(box.Label3->geometry().intersects(box.BitBtnXP1->geometry()));
    const QObjectList& children = box.Panel1->children();
    QVERIFY(children.indexOf(box.BitBtnXP1) > children.indexOf(box.Label3));
}

int runAboutBoxTest(int argc, char** argv)
{
    return rilvane::test::runTest<AboutBoxTest>(argc, argv);
}

#include "AboutBoxTest.moc"
