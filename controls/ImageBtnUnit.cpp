#include "controls/ImageBtnUnit.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPointer>

TImageBtn::TImageBtn(QWidget* parent)
    : QWidget(parent)
{
    setFocusPolicy(Qt::NoFocus);
    setAutoSize(true);
}

TImageBtn::~TImageBtn() = default;

void TImageBtn::setPicture(const QPixmap& picture)
{
    display(picture);
}

void TImageBtn::setPicture2(const QPixmap& picture)
{
    m_picture2 = picture;
    if (m_pressedShown)
        display(m_picture2);
}

void TImageBtn::display(const QPixmap& picture)
{
    m_picture = picture;
    applyAutoSize();
    update();
}

void TImageBtn::setAutoSize(bool on)
{
    if (on == m_autoSize)
        return;
    m_autoSize = on;
    if (!on) {
        setMinimumSize(0, 0);
        setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    }
    applyAutoSize();
}

void TImageBtn::applyAutoSize()
{
    // An empty picture keeps the size: a control shrunk to nothing while held
    // would see every move as outside and flicker between its two pictures.
    if (m_autoSize && !m_picture.isNull())
        setFixedSize(m_picture.deviceIndependentSize().toSize());
    updateGeometry();
}

void TImageBtn::setStretch(bool on)
{
    m_stretch = on;
    update();
}

void TImageBtn::setCenter(bool on)
{
    m_center = on;
    update();
}

QSize TImageBtn::sizeHint() const
{
    if (m_picture.isNull())
        return QWidget::sizeHint();
    return m_picture.deviceIndependentSize().toSize();
}

void TImageBtn::ShowPressed()
{
    if (m_pressedShown)
        return;
    m_pressedShown = true;
    m_saved = m_picture;
    display(m_picture2);
}

void TImageBtn::ShowNormal()
{
    if (!m_pressedShown)
        return;
    display(m_saved);
    m_pressedShown = false;
}

void TImageBtn::Click()
{
    ShowNormal();
    emit clicked();
}

void TImageBtn::paintEvent(QPaintEvent*)
{
    if (m_picture.isNull())
        return;
    QPainter painter(this);
    const QSize size = m_picture.deviceIndependentSize().toSize();
    if (m_stretch) {
        painter.drawPixmap(rect(), m_picture);
    } else if (m_center) {
        painter.drawPixmap((width() - size.width()) / 2, (height() - size.height()) / 2, m_picture);
    } else {
        painter.drawPixmap(0, 0, m_picture);
    }
}

void TImageBtn::mousePressEvent(QMouseEvent* event)
{
    ShowPressed();
    m_tracking = true;
    if (event->button() == Qt::LeftButton)
        m_leftDown = true;
    QWidget::mousePressEvent(event);
}

void TImageBtn::mouseReleaseEvent(QMouseEvent* event)
{
    const bool left = event->button() == Qt::LeftButton;
    const bool click = left && m_leftDown && rect().contains(event->position().toPoint());
    if (left)
        m_leftDown = false;

    QPointer<TImageBtn> alive(this);
    if (click) {
        Click();
        if (!alive)
            return;
    }
    ShowNormal();
    m_tracking = false;
    QWidget::mouseReleaseEvent(event);
}

void TImageBtn::mouseMoveEvent(QMouseEvent* event)
{
    if (m_tracking) {
        const QPoint p = event->position().toPoint();
        if (p.x() < 0 || p.x() >= width() || p.y() < 0 || p.y() >= height())
            ShowNormal();
        else
            ShowPressed();
    }
    QWidget::mouseMoveEvent(event);
}
