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

ZSpinBox::ZSpinBox(QWidget *parent) : QSpinBox(parent) {}

ZDoubleSpinBox::ZDoubleSpinBox(QWidget *parent) : QDoubleSpinBox(parent) {}

ZTextEdit::ZTextEdit(QWidget *parent) : QTextEdit(parent) {}

ZListView::ZListView(QWidget *parent) : QListView(parent)
{
    setFrameShape(QFrame::NoFrame);
    setUniformItemSizes(false);
}
