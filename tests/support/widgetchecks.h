#pragma once

#include <QPushButton>
#include <QScrollBar>
#include <QStringList>
#include <QWidget>

namespace Tavrin::Test {

// Visible buttons left in Qt's square default look: exactly QPushButton (no
// toolkit subclass) and not flat. Named by object name, else by text.
inline QStringList defaultStyledButtons(QWidget *root)
{
    QStringList found;
    for (QPushButton *b : root->findChildren<QPushButton *>()) {
        if (b->metaObject() == &QPushButton::staticMetaObject && !b->isFlat() && b->isVisibleTo(root))
            found << (b->objectName().isEmpty() ? b->text() : b->objectName());
    }
    return found;
}

// Vertical scroll bars showing inside `root`.
inline int visibleVerticalScrollBars(QWidget *root)
{
    int count = 0;
    for (QScrollBar *bar : root->findChildren<QScrollBar *>()) {
        if (bar->orientation() == Qt::Vertical && bar->isVisibleTo(root))
            ++count;
    }
    return count;
}

} // namespace Tavrin::Test
