#include "zcombobox.h"
#include "zdoublespinbox.h"
#include "zlineedit.h"
#include "zlistview.h"
#include "zprogressbar.h"
#include "zspinbox.h"
#include "ztextedit.h"

// The desktop look of these comes from the application palette the helper
// installs; their behaviour is the framework's.

ZProgressBar::ZProgressBar(QWidget *parent) : QProgressBar(parent) {}

ZLineEdit::ZLineEdit(QWidget *parent) : QLineEdit(parent)
{
    setClearButtonEnabled(true);
}

ZLineEdit::ZLineEdit(const QString &text, QWidget *parent) : ZLineEdit(parent)
{
    setText(text);
}

ZComboBox::ZComboBox(QWidget *parent) : QComboBox(parent) {}

namespace {

// Focus lands on a spin box's inner editor, so a screen reader reads that
// editor: it has to carry the name given to the spin box.
void lendNameToEditor(QAbstractSpinBox *box)
{
    if (auto *edit = box->findChild<QLineEdit *>(QString(), Qt::FindDirectChildrenOnly)) {
        edit->setAccessibleName(box->accessibleName());
        edit->setAccessibleDescription(box->accessibleDescription());
    }
}

} // namespace

ZSpinBox::ZSpinBox(QWidget *parent) : QSpinBox(parent) {}

void ZSpinBox::showEvent(QShowEvent *event)
{
    lendNameToEditor(this);
    QSpinBox::showEvent(event);
}

ZDoubleSpinBox::ZDoubleSpinBox(QWidget *parent) : QDoubleSpinBox(parent) {}

void ZDoubleSpinBox::showEvent(QShowEvent *event)
{
    lendNameToEditor(this);
    QDoubleSpinBox::showEvent(event);
}

ZTextEdit::ZTextEdit(QWidget *parent) : QTextEdit(parent) {}

ZListView::ZListView(QWidget *parent) : QListView(parent)
{
    setFrameShape(QFrame::NoFrame);
    setUniformItemSizes(false);
}
