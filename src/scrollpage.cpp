#include "scrollpage.h"

#include <QScrollArea>
#include <QVBoxLayout>

ScrollPage buildScrollPage(QWidget *page, int spacing)
{
    auto *outer = new QVBoxLayout(page);
    outer->setContentsMargins(0, 0, 0, 0);
    ScrollPage parts;
    parts.scroll = new QScrollArea(page);
    parts.scroll->setObjectName(QStringLiteral("tavrinScroll"));
    parts.scroll->setFrameShape(QFrame::NoFrame);
    parts.scroll->setWidgetResizable(true);
    parts.scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // No Tab stop of its own: the focus goes to the controls it holds.
    parts.scroll->setFocusPolicy(Qt::NoFocus);
    outer->addWidget(parts.scroll);
    parts.content = new QWidget(parts.scroll);
    parts.layout = new QVBoxLayout(parts.content);
    parts.layout->setContentsMargins(24, 20, 24, 20);
    parts.layout->setSpacing(spacing);
    // The content is handed to the scroll area once the page has filled it.
    return parts;
}
