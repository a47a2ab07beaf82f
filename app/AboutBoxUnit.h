// The information dialog: the maker's logo, a few lines about the maker, the
// copyright line with the current year, and a button to the maker's web site.
#pragma once

#include <QDateTime>
#include <QDialog>

#include <functional>

class QLabel;
class TBitBtnXP;

namespace rilvane {
class BevelPanel;
}

class TAboutBox : public QDialog {
    Q_OBJECT

public:
    // Builds the controls, then runs FormCreate.
    explicit TAboutBox(QWidget* owner = nullptr);

    rilvane::BevelPanel* Panel1 = nullptr;
    QLabel* ProgramIcon = nullptr;
    QLabel* ProductName = nullptr;
    QLabel* Comments = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Copyright = nullptr;
    TBitBtnXP* BitBtnXP1 = nullptr;
    TBitBtnXP* BitBtn1 = nullptr;

    void FormCreate();
    void BitBtnXP1Click();

    // Where FormCreate takes the current local date and time from; tests
    // replace it. An empty function means the system clock.
    static void setClock(std::function<QDateTime()> clock);

    // `text` with its first "XXXX" replaced by the year in decimal digits.
    static QString withYear(QString text, int year);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    bool m_centred = false;
};
