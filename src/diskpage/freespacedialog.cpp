#include "diskpage/freespacedialog.h"

#include "planner/freespacemodel.h"
#include "ui/components.h"
#include "ui/confirmdialog.h"
#include "ui/pageblocks.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTreeView>
#include <QVBoxLayout>

using namespace Tavrin::FreeSpace;

namespace {

QString itemLine(const Candidate &c)
{
    return FreeSpaceDialog::tr("%1：%2").arg(FreeSpaceModel::groupTitle(c.kind), c.title);
}

} // namespace

FreeSpaceDialog::FreeSpaceDialog(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("tavrinFreeSpaceDialog"));
    setWindowTitle(tr("释放空间"));
    setAccessibleName(windowTitle());

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 12, 16, 12);
    layout->setSpacing(8);

    auto *title = new QLabel(tr("释放空间"), this);
    title->setObjectName(QStringLiteral("tavrinPageTitle"));
    layout->addWidget(title);
    auto *hint = new QLabel(tr("勾选要删除的项目（空格键切换）。每项显示单独删除它可释放的空间；初始快照、"
                               "当前及待生效的部署、未完成回滚的备份不会列出。"),
                            this);
    hint->setObjectName(QStringLiteral("tavrinRowDesc"));
    hint->setWordWrap(true);
    layout->addWidget(hint);

    m_free = new QLabel(this);
    m_free->setObjectName(QStringLiteral("tavrinFreeSpaceFree"));
    m_free->setAccessibleName(tr("系统盘可用空间"));
    layout->addWidget(m_free);

    m_model = new FreeSpaceModel(this);
    m_view = new QTreeView(this);
    m_view->setObjectName(QStringLiteral("tavrinFreeSpaceList"));
    m_view->setAccessibleName(tr("可释放空间的项目"));
    m_view->setAccessibleDescription(tr("方向键选择，空格键勾选或取消"));
    m_view->setModel(m_model);
    m_view->setUniformRowHeights(true);
    m_view->setAlternatingRowColors(true);
    m_view->setSelectionMode(QAbstractItemView::SingleSelection);
    m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_view->setItemsExpandable(false);
    m_view->setRootIsDecorated(false);
    m_view->header()->setStretchLastSection(false);
    m_view->header()->setSectionResizeMode(FreeSpaceModel::NameColumn, QHeaderView::Stretch);
    m_view->header()->setSectionResizeMode(FreeSpaceModel::TimeColumn, QHeaderView::ResizeToContents);
    m_view->header()->setSectionResizeMode(FreeSpaceModel::SizeColumn, QHeaderView::ResizeToContents);
    layout->addWidget(m_view, 1);

    m_totals = new QLabel(this);
    m_totals->setObjectName(QStringLiteral("tavrinFreeSpaceTotals"));
    m_totals->setWordWrap(true);
    m_totals->setAccessibleName(tr("已选项目合计"));
    layout->addWidget(m_totals);

    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("tavrinRowDesc"));
    m_status->setAccessibleName(tr("释放空间状态"));
    layout->addWidget(m_status);

    m_report = new QLabel(this);
    m_report->setObjectName(QStringLiteral("tavrinFreeSpaceReport"));
    m_report->setTextFormat(Qt::PlainText);
    m_report->setWordWrap(true);
    m_report->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    m_report->setAccessibleName(tr("释放结果"));
    m_report->setVisible(false);
    layout->addWidget(m_report);

    auto *buttons = new QHBoxLayout;
    m_refresh = Ui::button(tr("刷新"));
    m_refresh->setAccessibleName(tr("重新读取可释放的项目"));
    m_release = Ui::button(tr("释放"), false, true);
    m_release->setObjectName(QStringLiteral("tavrinFreeSpaceRelease"));
    m_release->setAccessibleName(tr("删除所选项目以释放空间"));
    m_close = Ui::button(tr("关闭"));
    m_close->setAccessibleName(tr("关闭释放空间"));
    // Enter on a row toggles it; it never reaches a button that deletes.
    for (QPushButton *b : {m_refresh, m_release, m_close}) {
        b->setAutoDefault(false);
        b->setDefault(false);
    }
    buttons->addWidget(m_refresh);
    buttons->addStretch(1);
    buttons->addWidget(m_release);
    buttons->addWidget(m_close);
    layout->addLayout(buttons);

    connect(m_refresh, &QPushButton::clicked, m_model, &FreeSpaceModel::reload);
    connect(m_release, &QPushButton::clicked, this, &FreeSpaceDialog::askRelease);
    connect(m_close, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_view, &QTreeView::activated, this, [this](const QModelIndex &index) {
        const QModelIndex first = index.siblingAtColumn(FreeSpaceModel::NameColumn);
        if (first.flags() & Qt::ItemIsUserCheckable)
            m_model->setData(
                first, first.data(Qt::CheckStateRole).toInt() == Qt::Checked ? Qt::Unchecked : Qt::Checked,
                Qt::CheckStateRole);
    });
    connect(m_model, &FreeSpaceModel::modelReset, m_view, &QTreeView::expandAll);
    connect(m_model, &FreeSpaceModel::loaded, this, [this] {
        if (m_view->currentIndex().isValid())
            return;
        // The first row that can be checked, so Space acts at once.
        for (int g = 0; g < m_model->rowCount(); ++g) {
            const QModelIndex group = m_model->index(g, 0);
            if (m_model->rowCount(group) > 0) {
                m_view->setCurrentIndex(m_model->index(0, 0, group));
                return;
            }
        }
        m_view->setCurrentIndex(m_model->index(0, 0));
    });
    connect(m_model, &FreeSpaceModel::totalsChanged, this, &FreeSpaceDialog::updateState);
    connect(m_model, &FreeSpaceModel::busyChanged, this, &FreeSpaceDialog::updateState);
    connect(m_model, &FreeSpaceModel::released, this, &FreeSpaceDialog::onReleased);

    const QFontMetrics font(this->font());
    resize(font.averageCharWidth() * 96, font.height() * 30);
    m_view->setFocus();
    updateState();
    m_model->reload();
}

QString FreeSpaceDialog::reportText() const
{
    return m_report->isVisible() ? m_report->text() : QString();
}

void FreeSpaceDialog::updateState()
{
    const bool busy = m_model->isLoading() || m_model->isReleasing();
    m_free->setText(m_model->isLoading() ? tr("当前可用空间：读取中…") : m_model->freeText());
    m_totals->setText(m_model->totalsText());
    m_release->setEnabled(!busy && m_model->totals().count > 0);
    m_refresh->setEnabled(!busy);
    if (m_model->isReleasing())
        m_status->setText(tr("正在释放所选项目…"));
    else if (m_model->isLoading())
        m_status->setText(tr("正在读取可释放的项目…"));
    else if (m_model->isMeasuring())
        m_status->setText(tr("正在计算各项可释放的空间…"));
    else
        m_status->clear();
}

void FreeSpaceDialog::askRelease()
{
    const QList<Candidate> items = m_model->checkedItems();
    if (items.isEmpty() || m_model->isReleasing())
        return;
    const FreeSpaceModel::Totals t = m_model->totals();
    QStringList facts;
    for (const Candidate &c : items)
        facts << tr("%1 — 可释放 %2").arg(itemLine(c), sizeText(m_model->sizeOf(c)));
    TavrinUi::ConfirmRequest req;
    req.title = tr("释放空间");
    req.message = tr("将删除以下 %n 项，合计可释放 %1。删除后无法恢复。", nullptr, int(items.size()))
                      .arg(t.unknown == t.count ? tr("未知") : sizeText({t.bytes, t.atLeast}));
    req.facts = facts;
    req.consequences = {tr("只需授权一次；某项失败时，其后的项目保持原样。")};
    req.confirmText = tr("释放");
    req.cancelText = tr("取消");
    req.tone = 2;
    QPointer<FreeSpaceDialog> self(this);
    if (!TavrinUi::askConfirm(this, req) || !self)
        return;
    m_report->setVisible(false);
    m_model->release();
}

void FreeSpaceDialog::onReleased(const QList<Candidate> &items, const Outcome &outcome)
{
    QStringList lines;
    if (!outcome.authorized) {
        lines << tr("未获得管理员授权，没有删除任何项目：%1").arg(outcome.error);
    } else {
        int done = 0;
        QString failed;
        for (qsizetype i = 0; i < items.size(); ++i) {
            const ItemStatus s = outcome.statuses.value(i, ItemStatus::NotRun);
            if (s == ItemStatus::Done)
                ++done;
            else if (s == ItemStatus::Failed)
                failed = itemLine(items.at(i));
        }
        if (outcome.ok)
            lines << tr("已释放 %n 项：", nullptr, done);
        else if (!failed.isEmpty())
            lines << tr("删除“%1”失败：%2。其后的项目未改动。").arg(failed, outcome.error);
        else
            lines << tr("释放失败：%1").arg(outcome.error);
        for (qsizetype i = 0; i < items.size(); ++i) {
            const ItemStatus s = outcome.statuses.value(i, ItemStatus::NotRun);
            const QString what = itemLine(items.at(i));
            lines << (s == ItemStatus::Done     ? tr("已删除：%1").arg(what)
                      : s == ItemStatus::Failed ? tr("失败：%1").arg(what)
                                                : tr("未执行：%1").arg(what));
        }
        if (done > 0)
            emit spaceFreed();
    }
    m_report->setText(lines.join(QLatin1Char('\n')));
    m_report->setVisible(true);
    updateState();
}

void FreeSpaceDialog::keyPressEvent(QKeyEvent *event)
{
    // Enter on a row toggles it (activated); it must not close the window.
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
        !qobject_cast<QPushButton *>(focusWidget()))
        return;
    QDialog::keyPressEvent(event);
}

FreeSpaceDialog *openFreeSpacePlanner(QWidget *parent)
{
    auto *dialog = new FreeSpaceDialog(parent);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->show();
    return dialog;
}
