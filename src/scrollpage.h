#pragma once

class QScrollArea;
class QVBoxLayout;
class QWidget;

// The frame of a page that scrolls as a whole: a frameless scroll area
// ("tavrinScroll") over a content widget with the page margins.
struct ScrollPage
{
    QScrollArea *scroll = nullptr;
    QWidget *content = nullptr;
    QVBoxLayout *layout = nullptr;
};

ScrollPage buildScrollPage(QWidget *page, int spacing);
