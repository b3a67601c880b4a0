#include "ui/sidebar.h"

#include <QApplication>
#include <QCursor>
#include <QFile>
#include <QKeyEvent>
#include <QListView>
#include <QPainter>
#include <QSignalBlocker>
#include <QStandardItemModel>
#include <QVBoxLayout>

#include "ui/components.h"
#include "zfontsizemanager.h"
#include "zguiapplicationhelper.h"
#include "zicontheme.h"

namespace TavrinUi {

TavrinSidebar::TavrinSidebar(QWidget *parent) : QWidget(parent)
{
    m_model = new QStandardItemModel(this);
    m_model->setColumnCount(1);

    m_list = new QListView(this);
    m_list->setObjectName(QStringLiteral("tavrinNavList"));
    m_list->setAccessibleName(tr("主导航"));
    m_list->setModel(m_model);
    m_list->setFrameShape(QFrame::NoFrame);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setAttribute(Qt::WA_MouseTracking, true);
    m_list->setMouseTracking(true);
    m_list->setFocusPolicy(Qt::StrongFocus);
    m_list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_list->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_list->viewport()->setAutoFillBackground(false);
    m_list->setItemDelegate(new TavrinSidebarDelegate(m_list));

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(8);
    layout->addWidget(m_list, 1);

    connect(m_list, &QListView::clicked, this, &TavrinSidebar::handleActivated);
    connect(m_list, &QListView::activated, this, &TavrinSidebar::handleActivated);
    m_list->installEventFilter(this);
    m_list->viewport()->installEventFilter(this);
    // An assistive tool's "select" on an entry opens it, as a click does;
    // clicks and keys move the current entry along and navigate themselves.
    connect(m_list->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this](const QItemSelection &selected) {
                const QModelIndexList indexes = selected.indexes();
                if (m_keyMoving || indexes.isEmpty() || indexes.first() == m_list->currentIndex())
                    return;
                handleActivated(indexes.first());
            });
    connect(ZGuiApplicationHelper::instance(), &ZGuiApplicationHelper::applicationPaletteChanged, this,
            &TavrinSidebar::refreshIcons);
}

bool TavrinSidebar::eventFilter(QObject *watched, QEvent *event)
{
    // A heading is text, not a target: a click on it selects nothing.
    if (watched == m_list->viewport() &&
        (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonRelease ||
         event->type() == QEvent::MouseButtonDblClick)) {
        const QPoint pos = static_cast<QMouseEvent *>(event)->position().toPoint();
        const QModelIndex index = m_list->indexAt(pos);
        if (index.isValid() && headingBand(index, m_list->visualRect(index), m_list->font()).contains(pos))
            return true;
    }
    if (watched == m_list && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        switch (key) {
        case Qt::Key_Up:
        case Qt::Key_Down:
        case Qt::Key_Home:
        case Qt::Key_End:
        case Qt::Key_PageUp:
        case Qt::Key_PageDown: {
            // The page follows the arrows, as the highlight does.
            const QModelIndex before = m_list->currentIndex();
            m_keyMoving = true;
            static_cast<QObject *>(m_list)->event(event);
            m_keyMoving = false;
            if (m_list->currentIndex() != before)
                handleActivated(m_list->currentIndex());
            return true;
        }
        default:
            break;
        }
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            const QModelIndex current = m_list->currentIndex();
            handleActivated(current);
            // Enter means "go there": the keyboard continues on the page.
            if (current.isValid() && onEnterPage)
                onEnterPage();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

// Headings are painted above the first entry of their group rather than
// being rows: a screen reader then counts the pages alone and hears each
// entry's group in its description.
void TavrinSidebar::beginGroup(const QString &title)
{
    m_group = title;
}

void TavrinSidebar::addItem(const QString &iconName, const QString &fallbackIconName, const QString &text,
                            int id)
{
    auto *item = new QStandardItem(lookupIcon(iconName, fallbackIconName), text);
    item->setData(id, PageIdRole);
    item->setData(m_group, GroupRole);
    item->setData(m_group, Qt::AccessibleDescriptionRole);
    item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    item->setToolTip(text);
    item->setData(iconName, IconNameRole);
    item->setData(fallbackIconName, FallbackIconRole);
    m_model->appendRow(item);
}

bool TavrinSidebar::setCurrentData(int id)
{
    for (int row = 0; row < m_model->rowCount(); ++row) {
        const QModelIndex index = m_model->index(row, 0);
        if (index.data(PageIdRole).toInt() != id || !index.data(PageIdRole).isValid())
            continue;
        const QSignalBlocker listBlocker(m_list);
        const QSignalBlocker selectionBlocker(m_list->selectionModel());
        m_list->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
        m_list->viewport()->update();
        return true;
    }
    return false;
}

QIcon TavrinSidebar::lookupIcon(const QString &iconName, const QString &fallbackIconName)
{
    const QString resource = QStringLiteral(":/icons/nav/%1.svg").arg(iconName);
    if (!iconName.isEmpty() && QFile::exists(resource))
        return ZIconTheme::fileIcon(resource);
    if (!iconName.isEmpty()) {
        for (const QString &name :
             {iconName + QStringLiteral("-colored"), iconName + QStringLiteral("_colored"), iconName}) {
            const QIcon icon = ZIconTheme::findQIcon(name);
            if (!icon.isNull())
                return icon;
        }
    }
    if (!fallbackIconName.isEmpty()) {
        const QIcon icon = ZIconTheme::findQIcon(fallbackIconName);
        if (!icon.isNull())
            return icon;
    }
    return QApplication::style()->standardIcon(QStyle::SP_FileDialogNewFolder);
}

void TavrinSidebar::handleActivated(const QModelIndex &index)
{
    if (!index.isValid() || !onNavigate)
        return;
    onNavigate(index.data(PageIdRole).toInt());
}

void TavrinSidebar::refreshIcons()
{
    for (int row = 0; row < m_model->rowCount(); ++row) {
        QStandardItem *item = m_model->item(row);
        const QString name = item->data(IconNameRole).toString();
        if (name.isEmpty())
            continue;
        item->setIcon(lookupIcon(name, item->data(FallbackIconRole).toString()));
    }
    m_list->viewport()->update();
}

namespace {

QString headingOf(const QModelIndex &index)
{
    const QString group = index.data(TavrinSidebar::GroupRole).toString();
    if (group.isEmpty())
        return QString();
    if (index.row() > 0 &&
        index.siblingAtRow(index.row() - 1).data(TavrinSidebar::GroupRole).toString() == group)
        return QString();
    return group;
}

int headingHeight(const QModelIndex &index, const QFont &font)
{
    if (headingOf(index).isEmpty())
        return 0;
    const int text = QFontMetrics(ZFontSizeManager::instance()->get(ZFontSizeManager::T7, font)).height();
    // The first group sits close under the top; later ones keep apart from the entry above.
    return text + (index.row() == 0 ? 12 : 26);
}

int entryHeight(const QFont &font)
{
    return qMax(44,
                QFontMetrics(ZFontSizeManager::instance()->get(ZFontSizeManager::T6, font)).height() + 24);
}

} // namespace

QRect TavrinSidebar::headingBand(const QModelIndex &index, const QRect &rowRect, const QFont &font)
{
    const int height = headingHeight(index, font);
    return height > 0 ? QRect(rowRect.left(), rowRect.top(), rowRect.width(), height) : QRect();
}

QSize TavrinSidebarDelegate::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    return QSize(option.rect.width(), headingHeight(index, option.font) + entryHeight(option.font));
}

void TavrinSidebarDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                                  const QModelIndex &index) const
{
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    const ZPalette pal = appPalette();
    const QRect band = TavrinSidebar::headingBand(index, option.rect, option.font);
    if (!band.isEmpty()) {
        painter->setFont(ZFontSizeManager::instance()->get(ZFontSizeManager::T7, option.font));
        painter->setPen(pal.color(pal.currentColorGroup(), ZPalette::TextTips));
        painter->drawText(band.adjusted(16, 0, -16, -4), Qt::AlignLeft | Qt::AlignBottom, headingOf(index));
    }
    const QRect row = option.rect.adjusted(0, band.height(), 0, 0);

    const bool selected = option.state & QStyle::State_Selected;
    const auto *view = qobject_cast<const QAbstractItemView *>(option.widget);
    const bool hovered = (option.state & QStyle::State_MouseOver) && view &&
                         row.contains(view->viewport()->mapFromGlobal(QCursor::pos()));
    const QRect inset = row.adjusted(8, 2, -8, -2);
    if (selected || hovered) {
        painter->setPen(Qt::NoPen);
        painter->setBrush(selected ? softFill(Accent, 38) : itemBackground());
        painter->drawRoundedRect(QRectF(inset), 8, 8);
    }

    const QIcon icon = index.data(Qt::DecorationRole).value<QIcon>();
    const QRect iconRect(row.left() + 20, inset.top() + (inset.height() - 20) / 2, 20, 20);
    icon.paint(painter, iconRect);

    const QFont font = ZFontSizeManager::instance()->get(ZFontSizeManager::T6, option.font);
    painter->setFont(font);
    painter->setPen(semanticColor(selected ? Accent : Normal));
    const QRect textRect(row.left() + 52, inset.top(), row.width() - 52 - 16, inset.height());
    const QString text = QFontMetrics(font).elidedText(index.data(Qt::DisplayRole).toString(), Qt::ElideRight,
                                                       textRect.width());
    painter->drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter, text);

    if (option.state & QStyle::State_HasFocus) {
        QStyleOptionFocusRect focus;
        focus.QStyleOption::operator=(option);
        focus.rect = row.adjusted(10, 4, -10, -4);
        const QWidget *widget = option.widget;
        QStyle *style = widget ? widget->style() : QApplication::style();
        style->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, painter, widget);
    }
    painter->restore();
}

} // namespace TavrinUi
