#include "diskpage/analysisview.h"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QTableWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include "diskpage/pagewidgets.h"
#include "zlabel.h"

using namespace TavrinUi;

namespace DiskPage {

namespace {

void openLocation(const QString &path)
{
    QProcess::startDetached(QStringLiteral("gio"), {QStringLiteral("open"), path});
}

} // namespace

AnalysisView::AnalysisView(QWidget *parent) : TavrinSection(Text::tr("目录分析"), QString(), parent)
{
    setObjectName(QStringLiteral("tavrinDiskAnalysisSection"));
    auto *views = new QWidget(this);
    auto *viewsLayout = new QHBoxLayout(views);
    viewsLayout->setContentsMargins(0, 0, 0, 0);
    viewsLayout->setSpacing(4);
    m_viewButtons = new QButtonGroup(this);
    const QStringList names = {Text::tr("构成"), Text::tr("增长"), Text::tr("排行")};
    for (int i = 0; i < names.size(); ++i) {
        auto *b = new SegmentButton(names.at(i), views);
        b->setObjectName(QStringLiteral("tavrinDiskView%1").arg(i));
        b->setAccessibleName(Text::tr("分析视图：%1").arg(names.at(i)));
        m_viewButtons->addButton(b, i);
        viewsLayout->addWidget(b);
    }
    m_viewButtons->button(0)->setChecked(true);
    connect(m_viewButtons, &QButtonGroup::idClicked, this,
            [this](int id) { emit viewModeRequested(ViewMode(id)); });
    addHeaderWidget(views);

    QVBoxLayout *l = contentLayout();
    m_viewHint = namedLabel(QStringLiteral("tavrinDiskViewHint"), viewHintFor(0), Small, Muted);
    m_viewHint->setWordWrap(true);
    l->addWidget(m_viewHint);

    auto *context = new QHBoxLayout;
    context->setSpacing(4);
    m_backButton = namedButton(QStringLiteral("tavrinDiskBack"), Text::tr("返回"));
    m_backButton->setIcon(themedIcon(QStringLiteral("go-previous"), QStyle::SP_ArrowBack));
    m_backButton->setAccessibleName(Text::tr("返回上一级目录"));
    connect(m_backButton, &QPushButton::clicked, this, &AnalysisView::backRequested);
    context->addWidget(m_backButton);
    m_breadcrumb = new QWidget(this);
    m_breadcrumb->setObjectName(QStringLiteral("tavrinDiskBreadcrumb"));
    m_breadcrumbLayout = new QHBoxLayout(m_breadcrumb);
    m_breadcrumbLayout->setContentsMargins(0, 0, 0, 0);
    m_breadcrumbLayout->setSpacing(0);
    context->addWidget(m_breadcrumb);
    context->addStretch(1);
    m_pathLabel = namedLabel(QStringLiteral("tavrinDiskPath"), QString(), Small, Accent);
    context->addWidget(m_pathLabel);
    l->addLayout(context);

    m_table = new QTableWidget(0, 4, this);
    m_table->setObjectName(QStringLiteral("tavrinDiskAnalysis"));
    m_table->setHorizontalHeaderLabels({Text::tr("名称"), Text::tr("大小"), Text::tr("占比"), QString()});
    m_table->horizontalHeaderItem(3)->setData(Qt::AccessibleTextRole, Text::tr("打开位置"));
    m_table->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    m_table->horizontalHeader()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    m_table->horizontalHeader()->setSectionResizeMode(2, QHeaderView::ResizeToContents);
    m_table->horizontalHeader()->setSectionResizeMode(3, QHeaderView::Fixed);
    m_table->setColumnWidth(3, 40);
    m_table->verticalHeader()->setVisible(false);
    m_table->verticalHeader()->setDefaultSectionSize(34);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setTextElideMode(Qt::ElideMiddle);
    m_table->setShowGrid(false);
    m_table->setMinimumHeight(230);
    m_table->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    setTableAccessibleName(m_table, Text::tr("目录分析"));
    connect(m_table, &QTableWidget::cellDoubleClicked, this,
            [this](int row, int) { emit rowActivated(row); });
    connect(m_table, &QTableWidget::cellClicked, this, [this](int row, int) { emit rowClicked(row); });
    m_table->installEventFilter(this);
    m_table->viewport()->installEventFilter(this);
    m_table->setContextMenuPolicy(Qt::DefaultContextMenu);
    l->addWidget(m_table);
}

void AnalysisView::setViewMode(ViewMode mode)
{
    if (QAbstractButton *b = m_viewButtons->button(int(mode)))
        b->setChecked(true);
}

void AnalysisView::setRows(const QList<AnalysisRow> &rows)
{
    m_paths.clear();
    for (const AnalysisRow &row : rows)
        m_paths << (row.message ? QString() : row.path);
    m_table->clearContents();
    m_table->clearSpans();
    m_table->setRowCount(int(rows.size()));
    for (int r = 0; r < rows.size(); ++r) {
        const AnalysisRow &row = rows.at(r);
        auto *name = new QTableWidgetItem(row.label);
        name->setToolTip(row.label);
        name->setData(Qt::AccessibleTextRole, row.label);
        if (row.isDir && !row.path.isEmpty())
            name->setIcon(themedIcon(QStringLiteral("folder"), QStyle::SP_DirIcon));
        m_table->setItem(r, 0, name);
        if (row.message) {
            name->setForeground(semanticColor(Muted));
            m_table->setSpan(r, 0, 1, 4);
            // Cells under the span still reach assistive tools: they read the message too.
            for (int c = 1; c < 4; ++c) {
                auto *covered = new QTableWidgetItem;
                covered->setData(Qt::AccessibleTextRole, row.label);
                m_table->setItem(r, c, covered);
            }
            continue;
        }
        auto *size = new QTableWidgetItem(row.sizeText);
        size->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        m_table->setItem(r, 1, size);
        auto *share = new QTableWidgetItem(shareText(row));
        share->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        m_table->setItem(r, 2, share);
        if (!row.path.isEmpty()) {
            auto *open = new QToolButton(m_table);
            open->setIcon(themedIcon(QStringLiteral("folder"), QStyle::SP_DirOpenIcon));
            open->setAutoRaise(true);
            open->setFixedSize(30, 30);
            open->setCursor(Qt::PointingHandCursor);
            open->setToolTip(Text::tr("打开位置：%1").arg(row.path));
            open->setAccessibleName(Text::tr("打开位置：%1").arg(row.path));
            open->setFocusPolicy(Qt::NoFocus);
            const QString path = row.path;
            connect(open, &QToolButton::clicked, this, [path] { openLocation(path); });
            m_table->setCellWidget(r, 3, open);
        }
        m_table->setItem(r, 3, new QTableWidgetItem);
    }
    finalizeTableAccessible(m_table);
    // The last column holds only the open button, which a reader does not
    // reach: the cell says what it opens and the keyboard's way to it.
    for (int r = 0; r < rows.size(); ++r) {
        if (rows.at(r).message)
            continue;
        const QString path = rows.at(r).path;
        if (QTableWidgetItem *cell = m_table->item(r, 3))
            cell->setData(Qt::AccessibleTextRole,
                          path.isEmpty() ? Text::tr("无可打开的位置")
                                         : Text::tr("打开位置：%1（菜单键或 Ctrl+O）").arg(path));
    }
}

void AnalysisView::setContext(ViewMode mode, const QString &browsePath, const QString &followed,
                              const QStringList &stackPaths)
{
    m_backButton->setEnabled(!stackPaths.isEmpty() || !followed.isEmpty());
    const bool deep = !stackPaths.isEmpty();
    m_pathLabel->setVisible(deep);
    m_pathLabel->setEnabled(deep);
    m_pathLabel->setText(browsePath);
    m_viewHint->setText(viewHintFor(mode));

    while (QLayoutItem *item = m_breadcrumbLayout->takeAt(0)) {
        if (QWidget *w = item->widget())
            w->deleteLater();
        delete item;
    }
    auto *root = new QToolButton(m_breadcrumb);
    root->setObjectName(QStringLiteral("tavrinDiskCrumbRoot"));
    root->setText(Text::tr("系统盘"));
    root->setIcon(themedIcon(QStringLiteral("go-home"), QStyle::SP_DirHomeIcon));
    root->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    root->setAutoRaise(true);
    root->setAccessibleName(Text::tr("返回系统盘"));
    root->setToolTip(Text::tr("返回系统盘时间线与顶层目录"));
    connect(root, &QToolButton::clicked, this, &AnalysisView::rootRequested);
    m_breadcrumbLayout->addWidget(root);

    const QString shown = browsePath.isEmpty() ? followed : browsePath;
    const QStringList segments = shown.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    // Deep paths keep their last four segments; the rest collapses into "…".
    const int first = qMax(0, int(segments.size()) - 4);
    if (first > 0)
        m_breadcrumbLayout->addWidget(makeLabel(QStringLiteral(" › …"), Small, Muted));
    for (int i = first; i < segments.size(); ++i) {
        m_breadcrumbLayout->addWidget(makeLabel(QStringLiteral("›"), Small, Muted));
        auto *b = new QToolButton(m_breadcrumb);
        b->setText(segments.at(i));
        b->setAutoRaise(true);
        const QString prefix = QLatin1Char('/') + segments.mid(0, i + 1).join(QLatin1Char('/'));
        b->setAccessibleName(Text::tr("回到 %1").arg(prefix));
        if (i == segments.size() - 1) {
            b->setEnabled(false);
        } else {
            b->setToolTip(Text::tr("回到 %1").arg(segments.at(i)));
            int depth = -1;
            for (int d = 0; d < stackPaths.size(); ++d) {
                if (stackPaths.at(d) == prefix)
                    depth = d;
            }
            connect(b, &QToolButton::clicked, this,
                    [this, depth, prefix] { emit crumbRequested(depth, prefix); });
        }
        m_breadcrumbLayout->addWidget(b);
    }
}

QString AnalysisView::pathAt(int row) const
{
    return row >= 0 && row < m_paths.size() ? m_paths.at(row) : QString();
}

// The keyboard's and the context menu's way to the row's open button.
void AnalysisView::showRowMenu(int row, QPoint globalPos)
{
    const QString path = pathAt(row);
    if (path.isEmpty())
        return;
    QMenu menu(m_table);
    menu.setObjectName(QStringLiteral("tavrinDiskRowMenu"));
    menu.setAccessibleName(Text::tr("目录操作：%1").arg(path));
    QAction *open = menu.addAction(Text::tr("打开位置"));
    open->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    if (globalPos.isNull()) {
        const QRect cell = m_table->visualRect(m_table->model()->index(row, 3));
        globalPos = m_table->viewport()->mapToGlobal(cell.isValid() ? cell.bottomLeft() : QPoint());
    }
    QPointer<AnalysisView> self(this);
    QAction *chosen = menu.exec(globalPos);
    if (self && chosen == open && pathAt(row) == path)
        openLocation(path);
}

bool AnalysisView::eventFilter(QObject *watched, QEvent *event)
{
    if ((watched == m_table || watched == m_table->viewport()) && event->type() == QEvent::ContextMenu) {
        auto *menuEvent = static_cast<QContextMenuEvent *>(event);
        int row = m_table->currentRow();
        if (menuEvent->reason() == QContextMenuEvent::Mouse && watched == m_table->viewport()) {
            row = m_table->rowAt(menuEvent->pos().y());
            if (row >= 0)
                m_table->selectRow(row);
            showRowMenu(row, menuEvent->globalPos());
        } else {
            showRowMenu(row, QPoint());
        }
        return true;
    }
    if (watched == m_table && event->type() == QEvent::KeyPress) {
        auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_Menu && !(key->modifiers() & ~Qt::KeypadModifier)) {
            showRowMenu(m_table->currentRow(), QPoint());
            return true;
        }
        if (key->key() == Qt::Key_O && key->modifiers() == Qt::ControlModifier) {
            if (!pathAt(m_table->currentRow()).isEmpty())
                openLocation(pathAt(m_table->currentRow()));
            return true;
        }
        if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) && m_table->currentRow() >= 0) {
            emit rowActivated(m_table->currentRow());
            return true;
        }
        if (key->key() == Qt::Key_Space && m_table->currentRow() >= 0) {
            emit rowClicked(m_table->currentRow());
            return true;
        }
    }
    return TavrinSection::eventFilter(watched, event);
}

} // namespace DiskPage
