#include "compare/compareentry.h"

#include "backend/backend.h"
#include "backend/treediff.h"
#include "basepage.h"
#include "compare/comparedialog.h"

#include <QDialogButtonBox>
#include <QFutureWatcher>
#include <QLabel>
#include <QListWidget>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>

using namespace Tavrin;

void loadCompareStates(BasePage *page, std::function<void(const CompareStateList &)> done)
{
    auto *watcher = new QFutureWatcher<CompareStateList>(page);
    page->beginTask();
    QObject::connect(watcher, &QFutureWatcherBase::finished, page, [page, watcher, done = std::move(done)] {
        const CompareStateList list = watcher->future().resultCount() > 0 ? watcher->result() : CompareStateList();
        watcher->deleteLater();
        done(list);
        page->endTask();
    });
    watcher->setFuture(QtConcurrent::run(&comparePool(), [] { return listCompareStates(); }));
}

namespace {

void reportProblem(BasePage *page, const QString &text, const QString &details = QString())
{
    if (details.isEmpty())
        page->showFeedback(TavrinUi::Warning, text, false);
    else
        page->showFeedbackWithDetails(TavrinUi::Warning, text, ComparePickDialog::tr("完整输出"), details, false);
}

const CompareState *findState(const CompareStateList &list, const QString &id)
{
    for (const CompareState &s : list.states)
        if (s.id == id)
            return &s;
    return nullptr;
}

} // namespace

void compareWithBooted(BasePage *page, const QString &id)
{
    if (id.isEmpty()) {
        reportProblem(page, ComparePickDialog::tr("请先在列表中选择要比较的一行。"));
        return;
    }
    loadCompareStates(page, [page, id](const CompareStateList &list) {
        const CompareState *booted = bootedState(list);
        const CompareState *state = findState(list, id);
        if (!booted) {
            reportProblem(page, ComparePickDialog::tr("无法确定当前启动的系统，不能比较。"), list.error);
            return;
        }
        if (!state) {
            reportProblem(page, ComparePickDialog::tr("所选的一行已不在列表中，请刷新后重试。"), list.error);
            return;
        }
        openCompare(page->window(), *state, *booted);
    });
}

void pickAndCompare(BasePage *page, const QString &preselectedId)
{
    loadCompareStates(page, [page, preselectedId](const CompareStateList &list) {
        if (list.states.size() < 2) {
            reportProblem(page, ComparePickDialog::tr("可比较的快照和部署不足两个。"), list.error);
            return;
        }
        ComparePickDialog picker(list.states, preselectedId, page->window());
        if (picker.exec() != QDialog::Accepted)
            return;
        QList<CompareState> two = picker.chosen();
        if (two.size() != 2)
            return;
        if (two.at(0).time > two.at(1).time)
            std::swap(two[0], two[1]);
        openCompare(page->window(), two.at(0), two.at(1));
    });
}

ComparePickDialog::ComparePickDialog(const QList<CompareState> &all, const QString &preselectedId, QWidget *parent)
    : QDialog(parent), states(all)
{
    setObjectName(QStringLiteral("tavrinComparePicker"));
    setWindowTitle(tr("选择要比较的两项"));
    auto *layout = new QVBoxLayout(this);
    auto *hint = new QLabel(tr("勾选两个快照或部署（可各选一个），较早的一项作为比较的起点。"), this);
    hint->setWordWrap(true);
    layout->addWidget(hint);
    listWidget = new QListWidget(this);
    listWidget->setObjectName(QStringLiteral("tavrinComparePickList"));
    listWidget->setAccessibleName(tr("可比较的快照和部署"));
    for (const CompareState &s : states) {
        QString text = CompareDialog::stateLabel(s) + QStringLiteral("　") + formatTime(s.time);
        if (s.commit.isEmpty())
            text = tr("%1（仓库中没有提交，无法比较）").arg(text);
        auto *item = new QListWidgetItem(text, listWidget);
        item->setFlags(s.commit.isEmpty() ? Qt::ItemIsSelectable
                                          : Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        item->setCheckState(!s.commit.isEmpty() && s.id == preselectedId ? Qt::Checked : Qt::Unchecked);
        item->setData(Qt::AccessibleTextRole, text);
    }
    layout->addWidget(listWidget, 1);
    auto *buttons = new QDialogButtonBox(this);
    compareButton = buttons->addButton(tr("比较"), QDialogButtonBox::AcceptRole);
    compareButton->setObjectName(QStringLiteral("tavrinComparePickCompare"));
    compareButton->setAccessibleName(tr("比较勾选的两项"));
    QPushButton *cancel = buttons->addButton(tr("取消"), QDialogButtonBox::RejectRole);
    cancel->setAccessibleName(tr("取消比较"));
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(listWidget, &QListWidget::itemChanged, this, &ComparePickDialog::updateState);
    listWidget->setCurrentRow(0);
    listWidget->setFocus();
    updateState();
    const QSize m = fontMetrics().size(Qt::TextSingleLine, QStringLiteral("M"));
    resize(m.width() * 48, m.height() * 22);
}

QList<CompareState> ComparePickDialog::chosen() const
{
    QList<CompareState> picked;
    for (int i = 0; i < listWidget->count(); ++i)
        if (listWidget->item(i)->checkState() == Qt::Checked)
            picked.append(states.at(i));
    return picked;
}

void ComparePickDialog::updateState()
{
    const int count = int(chosen().size());
    compareButton->setEnabled(count == 2);
    compareButton->setDefault(count == 2);
}

StagedChangesButton::StagedChangesButton(BasePage *owner) : QPushButton(tr("查看变更"), owner), page(owner)
{
    setObjectName(QStringLiteral("tavrinViewStagedChanges"));
    setAccessibleName(tr("查看待生效的系统与当前系统相比的变更"));
    setToolTip(tr("重启前查看这次升级会改变哪些文件和软件包"));
    setAutoDefault(false);
    setVisible(false);
    connect(this, &QPushButton::clicked, this, [this] {
        if (!staged.commit.isEmpty() && !booted.commit.isEmpty())
            openCompare(window(), booted, staged);
    });
}

// Not one of the page's tasks: the look is a side matter, and the page stays
// idle on arrival for what waits on it.
void StagedChangesButton::check()
{
    auto *watcher = new QFutureWatcher<CompareStateList>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher] {
        const CompareStateList list = watcher->future().resultCount() > 0 ? watcher->result() : CompareStateList();
        watcher->deleteLater();
        const CompareState *b = bootedState(list);
        const CompareState *s = stagedState(list);
        booted = b ? *b : CompareState();
        staged = s ? *s : CompareState();
        setVisible(b && s && !s->commit.isEmpty());
    });
    watcher->setFuture(QtConcurrent::run(&comparePool(), [] { return listCompareStates(); }));
}
