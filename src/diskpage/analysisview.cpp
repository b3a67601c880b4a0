#include "diskpage/analysisview.h"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QProcess>
#include <QPushButton>
#include <QTableWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include "diskpage/pagewidgets.h"
#include "zlabel.h"

using namespace TavrinUi;

namespace DiskPage {

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
    l->addWidget(m_table);
}

void AnalysisView::setViewMode(ViewMode mode)
{
    if (QAbstractButton *b = m_viewButtons->button(int(mode)))
        b->setChecked(true);
}

void AnalysisView::setRows(const QList<AnalysisRow> &rows)
{
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
            connect(open, &QToolButton::clicked, this, [path] {
                QProcess::startDetached(QStringLiteral("gio"), {QStringLiteral("open"), path});
            });
            m_table->setCellWidget(r, 3, open);
        }
        m_table->setItem(r, 3, new QTableWidgetItem);
    }
    finalizeTableAccessible(m_table);
    // The last column holds only the open button: read its action, or that there is none.
    for (int r = 0; r < rows.size(); ++r) {
        if (rows.at(r).message)
            continue;
        const QString path = rows.at(r).path;
        if (QTableWidgetItem *cell = m_table->item(r, 3))
            cell->setData(Qt::AccessibleTextRole,
                          path.isEmpty() ? Text::tr("无可打开的位置") : Text::tr("打开位置：%1").arg(path));
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

bool AnalysisView::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_table && event->type() == QEvent::KeyPress) {
        auto *key = static_cast<QKeyEvent *>(event);
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
