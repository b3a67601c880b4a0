#include "diskpage/pagewidgets.h"

#include <QPushButton>

#include "ui/pageblocks.h"
#include "zlabel.h"

namespace DiskPage {

ZLabel *namedLabel(const QString &name, const QString &text, TavrinUi::TextLevel level,
                   TavrinUi::Semantic semantic)
{
    ZLabel *label = TavrinUi::makeLabel(text, level, semantic);
    label->setObjectName(name);
    return label;
}

QPushButton *namedButton(const QString &name, const QString &text, bool primary)
{
    QPushButton *b = Ui::button(text, primary);
    b->setObjectName(name);
    b->setAccessibleName(text);
    return b;
}

} // namespace DiskPage
