// The position field and its label while a loop sets them after every block:
// what the field holds follows at once, what the window shows catches up
// within a frame, and the user's input always works on the latest number.

#include "FormControls.h"
#include "MainWindowTest.h"

#include "WindowTestSupport.h"
#include "app/MainUnit.h"
#include "app/PositionLabel.h"
#include "app/SpinEdit.h"

#include <QLabel>
#include <QLineEdit>
#include <QPaintEvent>

namespace ui = rilvane::test::ui;

namespace {

// The text a line edit showed the last time it was painted.
class PaintedText : public QObject {
public:
    explicit PaintedText(QLineEdit* edit) : m_edit(edit) { edit->installEventFilter(this); }
    QString text;
    int paints = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == m_edit && event->type() == QEvent::Paint) {
            text = m_edit->text();
            ++paints;
        }
        return false;
    }

private:
    QLineEdit* m_edit;
};

QString labelFor(int32_t position, const rilvane::TrackTable& table)
{
    return QString::fromStdString(rilvane::positionLabel(position, table));
}

}  // namespace

class PositionFieldTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void followsEveryBlockOfALoop();
    void userInputWorksOnTheLatestNumber();
};

void PositionFieldTest::followsEveryBlockOfALoop()
{
    TMainForm form(rilvane::test::soundLibrary());
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    rilvane::SpinEdit& field = *ui::StartSec(form);
    auto* box = field.findChild<QLineEdit*>();
    QVERIFY(box);
    PaintedText painted(box);
    int changes = 0;
    connect(&field, &rilvane::SpinEdit::changed, &form, [&] { ++changes; });

    // As a read loop does: a new position after every block, the messages
    // let through in between.
    constexpr int kBlocks = 400;
    int32_t position = 500;
    for (int block = 0; block < kBlocks; ++block) {
        position += 10;
        field.setValue(position);
        QCOMPARE(field.value(), position);
        QCOMPARE(field.editText(), QString::number(position));
        QCOMPARE(ui::Label3(form)->text(), labelFor(position, form.trackTable()));
        QCoreApplication::processEvents();
    }
    QCOMPARE(changes, kBlocks);
    // The screen shows the last position, also with nothing set after it.
    QTRY_COMPARE(box->text(), QString::number(position));
    QTRY_COMPARE(painted.text, QString::number(position));
    QVERIFY(painted.paints > 0);
}

void PositionFieldTest::userInputWorksOnTheLatestNumber()
{
    TMainForm form(rilvane::test::soundLibrary());
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    rilvane::SpinEdit& field = *ui::StartSec(form);
    auto* box = field.findChild<QLineEdit*>();
    field.setFocus();

    const auto burst = [&](int32_t from) {
        for (int32_t value = from; value < from + 50; ++value)
            field.setValue(value);
        return from + 49;
    };

    // A step with the arrow key starts from the number set last.
    int32_t last = burst(2000);
    QTest::keyClick(&field, Qt::Key_Up);
    QCOMPARE(field.value(), last + 1);
    QCOMPARE(box->text(), QString::number(last + 1));

    // Typed keys edit the number set last, not one shown earlier.
    last = burst(3000);
    QTest::keyClick(&field, Qt::Key_End);
    QTest::keyClick(&field, Qt::Key_0);
    QCOMPARE(field.editText(), QString::number(last) + u'0');

    // Text put into the field replaces a number still waiting to be shown,
    // also when the box happens to show that text already, and stays.
    const QString shown = box->text();
    last = burst(4000);
    field.setEditText(shown);
    QCOMPARE(field.editText(), shown);
    QCOMPARE(ui::Label3(form)->text(), labelFor(field.value(), form.trackTable()));
    last = burst(5000);
    field.setEditText(QStringLiteral("77"));
    QTest::qWait(100);
    QCOMPARE(box->text(), QStringLiteral("77"));
    QCOMPARE(field.value(), 77);

    // Leaving the field shows what it holds.
    last = burst(6000);
    ui::STrackEd(form)->setFocus();
    QCOMPARE(box->text(), QString::number(last));
}

int runPositionFieldTest(int argc, char** argv)
{
    return rilvane::test::runTest<PositionFieldTest>(argc, argv);
}

#include "PositionFieldTest.moc"
