// Docking of child widgets to the edges of their parent.
//
// The children of one parent share its area the way a classic form designer
// aligns them: first every child docked to the top, in the order they were
// added, then those docked to the bottom, then left, then right, and last the
// fill children, which take what is left. A top or bottom child keeps its
// height and spans the remaining width; a left or right child keeps its width
// and spans the remaining height. Children not added to the layout keep the
// fixed place their creator gave them.
#pragma once

#include <QLayout>

#include <vector>

namespace rilvane {

enum class Dock { Top, Bottom, Left, Right, Fill };

class DockLayout : public QLayout {
public:
    explicit DockLayout(QWidget* parent = nullptr);
    ~DockLayout() override;

    // Docks `widget`; `extent` is its height (top, bottom) or width (left,
    // right) and is ignored for fill.
    void addDocked(QWidget* widget, Dock dock, int extent = 0);

    void addItem(QLayoutItem* item) override;  // docked as fill
    int count() const override;
    QLayoutItem* itemAt(int index) const override;
    QLayoutItem* takeAt(int index) override;
    QSize sizeHint() const override;
    QSize minimumSize() const override;
    void setGeometry(const QRect& rect) override;

private:
    struct Entry {
        QLayoutItem* item;
        Dock dock;
        int extent;
    };
    std::vector<Entry> m_entries;
};

}  // namespace rilvane
