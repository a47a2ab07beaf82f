#include "app/DockLayout.h"

#include <QWidget>

#include <algorithm>

namespace rilvane {

DockLayout::DockLayout(QWidget* parent) : QLayout(parent)
{
    setContentsMargins(0, 0, 0, 0);
    setSpacing(0);
    // The window keeps whatever size the user gives it, as a designed form does.
    setSizeConstraint(QLayout::SetNoConstraint);
}

DockLayout::~DockLayout()
{
    for (Entry& entry : m_entries)
        delete entry.item;
}

void DockLayout::addDocked(QWidget* widget, Dock dock, int extent)
{
    addChildWidget(widget);
    m_entries.push_back({new QWidgetItem(widget), dock, extent});
    invalidate();
}

void DockLayout::addItem(QLayoutItem* item)
{
    m_entries.push_back({item, Dock::Fill, 0});
    invalidate();
}

int DockLayout::count() const
{
    return static_cast<int>(m_entries.size());
}

QLayoutItem* DockLayout::itemAt(int index) const
{
    if (index < 0 || index >= count())
        return nullptr;
    return m_entries[static_cast<size_t>(index)].item;
}

QLayoutItem* DockLayout::takeAt(int index)
{
    if (index < 0 || index >= count())
        return nullptr;
    QLayoutItem* item = m_entries[static_cast<size_t>(index)].item;
    m_entries.erase(m_entries.begin() + index);
    invalidate();
    return item;
}

QSize DockLayout::sizeHint() const
{
    // What the docked extents need at least; fill children add nothing.
    int width = 0;
    int height = 0;
    for (const Entry& entry : m_entries) {
        if (entry.dock == Dock::Top || entry.dock == Dock::Bottom)
            height += entry.extent;
        else if (entry.dock == Dock::Left || entry.dock == Dock::Right)
            width += entry.extent;
    }
    const QMargins m = contentsMargins();
    return {width + m.left() + m.right(), height + m.top() + m.bottom()};
}

QSize DockLayout::minimumSize() const
{
    return {0, 0};
}

void DockLayout::setGeometry(const QRect& rect)
{
    QLayout::setGeometry(rect);
    const QMargins m = contentsMargins();
    int left = rect.left() + m.left();
    int top = rect.top() + m.top();
    int right = rect.left() + rect.width() - m.right();  // exclusive
    int bottom = rect.top() + rect.height() - m.bottom();  // exclusive

    auto place = [](QLayoutItem* item, int x0, int y0, int x1, int y1) {
        const QRect area(x0, y0, std::max(0, x1 - x0), std::max(0, y1 - y0));
        // A docked widget takes exactly its area, whatever its size hints say.
        if (QWidget* widget = item->widget())
            widget->setGeometry(area);
        else
            item->setGeometry(area);
    };

    for (Dock pass : {Dock::Top, Dock::Bottom, Dock::Left, Dock::Right, Dock::Fill}) {
        for (const Entry& entry : m_entries) {
            if (entry.dock != pass || entry.item->isEmpty())
                continue;
            switch (pass) {
            case Dock::Top:
                place(entry.item, left, top, right, top + entry.extent);
                top += entry.extent;
                break;
            case Dock::Bottom:
                place(entry.item, left, bottom - entry.extent, right, bottom);
                bottom -= entry.extent;
                break;
            case Dock::Left:
                place(entry.item, left, top, left + entry.extent, bottom);
                left += entry.extent;
                break;
            case Dock::Right:
                place(entry.item, right - entry.extent, top, right, bottom);
                right -= entry.extent;
                break;
            case Dock::Fill:
                place(entry.item, left, top, right, bottom);
                break;
            }
        }
    }
}

}  // namespace rilvane
