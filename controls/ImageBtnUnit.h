#pragma once

#include <QPixmap>
#include <QWidget>

// A picture that behaves as a push button: it shows Picture, swaps to
// Picture2 while a mouse button is held down on it, and emits clicked() when
// the left button is pressed and released over it. The normal picture is
// back on screen before clicked() is emitted. It takes no focus, has no
// border and no text; cursor and tool tip are the user's to set.
class TImageBtn : public QWidget {
    Q_OBJECT

public:
    explicit TImageBtn(QWidget* parent = nullptr);
    ~TImageBtn() override;

    // The displayed picture.
    const QPixmap& Picture() const { return m_picture; }
    void setPicture(const QPixmap& picture);

    // The pressed picture; setting it stores a copy.
    const QPixmap& Picture2() const { return m_picture2; }
    void setPicture2(const QPixmap& picture);

    // With auto-size on (the default) the control takes the size of the
    // displayed picture; an empty picture leaves the size as it is.
    bool AutoSize() const { return m_autoSize; }
    void setAutoSize(bool on);

    // Scale the picture to the control / centre it in the control.
    bool Stretch() const { return m_stretch; }
    void setStretch(bool on);
    bool Center() const { return m_center; }
    void setCenter(bool on);

    bool isPressedShown() const { return m_pressedShown; }
    bool isTracking() const { return m_tracking; }

    QSize sizeHint() const override;

signals:
    void clicked();

protected:
    void ShowPressed();
    void ShowNormal();
    virtual void Click();

    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    void display(const QPixmap& picture);
    void applyAutoSize();

    QPixmap m_picture;
    QPixmap m_picture2;
    QPixmap m_saved;
    bool m_pressedShown = false;
    bool m_tracking = false;
    bool m_leftDown = false;
    bool m_autoSize = false;
    bool m_stretch = false;
    bool m_center = false;
};
