#include "compare/comparedialog.h"

#include "backend/backend.h"
#include "compare/comparemodel.h"
#include "disk/pooltask.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFileDialog>
#include <QFutureWatcher>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMutex>
#include <QPointer>
#include <QPushButton>
#include <QSaveFile>
#include <QSet>
#include <QTabBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>
#include <QTreeView>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>

using namespace Tavrin;

struct CompareFilterState
{
    QMutex mutex;
    QString text;
};

struct CompareSnapshot
{
    QString filter;
    DiffOutcome outcome = DiffOutcome::Running;
    std::shared_ptr<const QList<FileChange>> changes;
    std::shared_ptr<DiffDir> root;
    DiffSummary summary;
    int sized = 0;
    int unreadable = 0;
    QString missingCommit;
    QString error;
};

namespace {

std::shared_ptr<QObject> makeRelay()
{
    return std::shared_ptr<QObject>(new QObject, [](QObject *o) { o->deleteLater(); });
}

QString shortCommit(const QString &commit)
{
    return commit.left(12);
}

} // namespace

QString CompareDialog::stateLabel(const CompareState &state)
{
    if (state.kind == CompareState::Snapshot)
        return tr("快照“%1”").arg(state.label);
    if (state.isBooted)
        return tr("当前系统 %1").arg(state.label);
    if (state.isStaged)
        return tr("待生效的系统 %1").arg(state.label);
    return tr("部署 %1（%2）").arg(state.label, shortCommit(state.commit));
}

CompareDialog::CompareDialog(const CompareState &from, const CompareState &to, QWidget *parent)
    : QDialog(parent), before(from), after(to), cancel(std::make_shared<std::atomic_bool>(false)),
      relay(makeRelay()), changes(std::make_shared<QList<FileChange>>()),
      filterState(std::make_shared<CompareFilterState>())
{
    setObjectName(QStringLiteral("tavrinCompareDialog"));
    setWindowTitle(tr("比较：%1 → %2").arg(stateLabel(before), stateLabel(after)));
    setAccessibleName(windowTitle());

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 12, 16, 12);
    layout->setSpacing(8);

    auto *title = new QLabel(tr("从 %1 到 %2").arg(stateLabel(before), stateLabel(after)), this);
    title->setObjectName(QStringLiteral("tavrinPageTitle"));
    title->setWordWrap(true);
    layout->addWidget(title);

    summary = new QLabel(tr("正在比较…"), this);
    summary->setObjectName(QStringLiteral("tavrinCompareSummary"));
    summary->setWordWrap(true);
    summary->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    summary->setAccessibleName(tr("比较摘要"));
    layout->addWidget(summary);

    status = new QLabel(this);
    status->setObjectName(QStringLiteral("tavrinRowDesc"));
    status->setWordWrap(true);
    status->setAccessibleName(tr("比较状态"));
    layout->addWidget(status);

    auto *tools = new QHBoxLayout;
    filter = new QLineEdit(this);
    filter->setObjectName(QStringLiteral("tavrinCompareFilter"));
    filter->setPlaceholderText(tr("按路径筛选"));
    filter->setAccessibleName(tr("按路径筛选变化"));
    filter->setClearButtonEnabled(true);
    tools->addWidget(filter, 1);
    copyButton = new QPushButton(tr("复制路径"), this);
    copyButton->setObjectName(QStringLiteral("tavrinCompareCopy"));
    copyButton->setAccessibleName(tr("复制所选变化的路径"));
    copyButton->setEnabled(false);
    tools->addWidget(copyButton);
    exportButton = new QPushButton(tr("导出 CSV"), this);
    exportButton->setObjectName(QStringLiteral("tavrinCompareExport"));
    exportButton->setAccessibleName(tr("将全部变化导出为 CSV 文件"));
    exportButton->setEnabled(false);
    tools->addWidget(exportButton);
    layout->addLayout(tools);

    tabs = new QTabWidget(this);
    tabs->setObjectName(QStringLiteral("tavrinCompareTabs"));
    tabs->setAccessibleName(tr("比较结果"));
    tabs->tabBar()->setAccessibleName(tr("比较结果"));
    tree = new QTreeView(tabs);
    tree->setObjectName(QStringLiteral("tavrinCompareTree"));
    tree->setAccessibleName(tr("按目录分组的文件变化"));
    tree->setUniformRowHeights(true);
    tree->setAlternatingRowColors(true);
    tree->setSelectionMode(QAbstractItemView::SingleSelection);
    tree->setSelectionBehavior(QAbstractItemView::SelectRows);
    tree->setEditTriggers(QAbstractItemView::NoEditTriggers);
    model = new CompareTreeModel(tree);
    tree->setModel(model);
    tree->header()->setStretchLastSection(false);
    tree->header()->setSectionResizeMode(CompareTreeModel::NameColumn, QHeaderView::Stretch);
    for (int c = CompareTreeModel::ChangeColumn; c < CompareTreeModel::ColumnCount; ++c)
        tree->header()->setSectionResizeMode(c, QHeaderView::ResizeToContents);
    tabs->addTab(tree, tr("文件"));
    layout->addWidget(tabs, 1);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    auto *close = new QPushButton(tr("关闭"), this);
    close->setObjectName(QStringLiteral("tavrinCompareClose"));
    close->setAccessibleName(tr("关闭比较窗口"));
    close->setAutoDefault(false);
    buttons->addWidget(close);
    layout->addLayout(buttons);

    filterTimer = new QTimer(this);
    filterTimer->setSingleShot(true);
    filterTimer->setInterval(200);

    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    connect(copyButton, &QPushButton::clicked, this, &CompareDialog::copyPath);
    connect(exportButton, &QPushButton::clicked, this, &CompareDialog::chooseExport);
    connect(filter, &QLineEdit::textChanged, filterTimer, qOverload<>(&QTimer::start));
    connect(filterTimer, &QTimer::timeout, this, &CompareDialog::regroup);
    connect(model, &QAbstractItemModel::modelReset, this, [this] { copyButton->setEnabled(false); });
    connect(tree->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex &current) { copyButton->setEnabled(current.isValid()); });

    setTabOrder(filter, copyButton);
    setTabOrder(copyButton, exportButton);
    setTabOrder(exportButton, tabs);
    setTabOrder(tabs, tree);
    setTabOrder(tree, close);

    const QSize font = fontMetrics().size(Qt::TextSingleLine, QStringLiteral("M"));
    resize(font.width() * 70, font.height() * 32);
    start();
}

CompareDialog::~CompareDialog()
{
    cancel->store(true);
}

void CompareDialog::start()
{
    const QString oldCommit = before.commit, newCommit = after.commit;
    auto flag = cancel;
    auto target = relay;
    QPointer<CompareDialog> self(this);
    auto sharedFilter = filterState;
    startOnPool(comparePool(), [oldCommit, newCommit, flag, target, self, sharedFilter] {
        const auto post = [&](const TreeDiffResult &r) {
            auto snap = std::make_shared<CompareSnapshot>();
            snap->outcome = r.outcome;
            snap->changes = std::make_shared<const QList<FileChange>>(r.changes);
            QString text;
            {
                QMutexLocker lock(&sharedFilter->mutex);
                text = sharedFilter->text;
            }
            snap->filter = text;
            snap->root = groupChanges(r.changes, text);
            snap->summary = summarize(r.changes);
            snap->sized = r.sized;
            snap->unreadable = r.unreadable;
            snap->missingCommit = r.missingCommit;
            snap->error = r.error;
            std::shared_ptr<const CompareSnapshot> done = snap;
            QMetaObject::invokeMethod(target.get(), [self, done] {
                if (self)
                    self->onProgress(done);
            }, Qt::QueuedConnection);
        };
        const TreeDiffResult result = compareCommits(oldCommit, newCommit, post, flag);
        if (result.outcome != DiffOutcome::Done && result.outcome != DiffOutcome::Identical)
            return;
        if (flag->load())
            return;
        const PackageDiffResult packages = comparePackages(oldCommit, newCommit);
        QMetaObject::invokeMethod(target.get(), [self, packages] {
            if (self)
                self->onPackages(packages);
        }, Qt::QueuedConnection);
    });
}

QString CompareDialog::summaryText() const
{
    return summary->text();
}

void CompareDialog::updateSummary(const CompareSnapshot &snap)
{
    const DiffSummary &s = snap.summary;
    switch (snap.outcome) {
    case DiffOutcome::Identical:
        summary->setText(tr("两者完全相同：没有文件变化。"));
        return;
    case DiffOutcome::MissingCommit:
        summary->setText(tr("无法比较：提交 %1 已不在系统仓库中。%2")
                             .arg(snap.missingCommit.isEmpty() ? tr("（空）") : shortCommit(snap.missingCommit),
                                  snap.error));
        return;
    case DiffOutcome::Failed:
        summary->setText(tr("比较失败：%1").arg(snap.error.isEmpty() ? tr("ostree 的输出无法识别。") : snap.error));
        return;
    case DiffOutcome::TimedOut:
        summary->setText(tr("比较未完成：%1").arg(snap.error));
        return;
    case DiffOutcome::Cancelled:
        summary->setText(tr("比较已取消。"));
        return;
    case DiffOutcome::Running:
    case DiffOutcome::Done:
        break;
    }
    QString text = tr("新增 %1 个文件，删除 %2 个，修改 %3 个；大小变化 %4")
                       .arg(s.added)
                       .arg(s.removed)
                       .arg(s.modified)
                       .arg(formatSignedSize(s.sizeDelta));
    if (s.unknownSizes)
        text = tr("%1（另有 %2 个文件大小未知）").arg(text).arg(s.unknownSizes);
    summary->setText(text);
}

void CompareDialog::onProgress(const std::shared_ptr<const CompareSnapshot> &snap)
{
    updateSummary(*snap);
    const int total = snap->changes->size();
    QStringList notes;
    if (snap->outcome == DiffOutcome::Running)
        notes << tr("正在读取文件大小：%1 / %2").arg(snap->sized).arg(total);
    if (snap->unreadable)
        notes << tr("ostree 的输出中有 %1 行无法识别，已略过。").arg(snap->unreadable);
    status->setText(notes.join(QLatin1Char('\n')));
    status->setVisible(!notes.isEmpty());
    finished = snap->outcome != DiffOutcome::Running;
    exportButton->setEnabled(finished && snap->outcome == DiffOutcome::Done && total > 0);
    showTree(snap->changes, snap->root);
    QString current;
    {
        QMutexLocker lock(&filterState->mutex);
        current = filterState->text;
    }
    if (snap->filter != current)
        regroup();
}

QModelIndex CompareDialog::findPath(const QString &path) const
{
    QModelIndex at;
    for (int guard = 0; guard < 4096; ++guard) {
        bool descended = false;
        for (int row = 0; row < model->rowCount(at); ++row) {
            const QModelIndex child = model->index(row, 0, at);
            const QString p = child.data(CompareTreeModel::PathRole).toString();
            if (p == path)
                return child;
            if (path.startsWith(p + QLatin1Char('/')) && model->rowCount(child) > 0) {
                at = child;
                descended = true;
                break;
            }
        }
        if (!descended)
            return {};
    }
    return {};
}

void CompareDialog::showTree(const std::shared_ptr<const QList<FileChange>> &list, std::shared_ptr<DiffDir> root)
{
    const QString selected = tree->currentIndex().data(CompareTreeModel::PathRole).toString();
    const QSet<QString> expanded = expandedPaths;
    changes = list;
    model->setTree(list, std::move(root));
    for (const QString &path : expanded) {
        const QModelIndex index = findPath(path);
        if (index.isValid())
            tree->expand(index);
    }
    expandedPaths = expanded;
    // The first view opens the top level, as a person would first look there.
    if (expanded.isEmpty() && model->rowCount() == 1)
        tree->expand(model->index(0, 0));
    if (!selected.isEmpty()) {
        const QModelIndex index = findPath(selected);
        if (index.isValid())
            tree->setCurrentIndex(index);
    }
    if (!tree->property("tavrinTracked").toBool()) {
        tree->setProperty("tavrinTracked", true);
        connect(tree, &QTreeView::expanded, this, [this](const QModelIndex &i) {
            expandedPaths.insert(i.data(CompareTreeModel::PathRole).toString());
        });
        connect(tree, &QTreeView::collapsed, this, [this](const QModelIndex &i) {
            expandedPaths.remove(i.data(CompareTreeModel::PathRole).toString());
        });
    }
}

void CompareDialog::regroup()
{
    const QString text = filter->text().trimmed();
    {
        QMutexLocker lock(&filterState->mutex);
        filterState->text = text;
    }
    const int ticket = ++generation;
    auto list = changes;
    auto target = relay;
    QPointer<CompareDialog> self(this);
    startOnPool(comparePool(), [list, text, ticket, target, self] {
        std::shared_ptr<DiffDir> root = groupChanges(*list, text);
        QMetaObject::invokeMethod(target.get(), [self, list, root, ticket] {
            if (self && ticket == self->generation && list == self->changes)
                self->showTree(list, root);
        }, Qt::QueuedConnection);
    });
}

void CompareDialog::onPackages(const PackageDiffResult &packages)
{
    if (!packages.available) {
        if (!packages.error.isEmpty())
            status->setText(status->text() + (status->text().isEmpty() ? QString() : QStringLiteral("\n"))
                            + tr("无法读取软件包列表：%1").arg(packages.error));
        status->setVisible(!status->text().isEmpty());
        return;
    }
    packageTable = new QTableWidget(packages.changes.size(), 4, tabs);
    packageTable->setObjectName(QStringLiteral("tavrinComparePackages"));
    packageTable->setAccessibleName(tr("软件包变化"));
    packageTable->setHorizontalHeaderLabels({tr("软件包"), tr("变化"), tr("旧版本"), tr("新版本")});
    packageTable->verticalHeader()->hide();
    packageTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    packageTable->setSelectionBehavior(QAbstractItemView::SelectRows);
    packageTable->setAlternatingRowColors(true);
    packageTable->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    for (int c = 1; c < 4; ++c)
        packageTable->horizontalHeader()->setSectionResizeMode(c, QHeaderView::ResizeToContents);
    packageTable->setWordWrap(false);
    int counts[4] = {0, 0, 0, 0};
    for (int row = 0; row < packages.changes.size(); ++row) {
        const PackageChange &p = packages.changes.at(row);
        ++counts[p.kind];
        const QString kind = p.kind == PackageChange::Added     ? tr("新增")
                             : p.kind == PackageChange::Removed ? tr("删除")
                             : p.kind == PackageChange::Upgraded ? tr("升级")
                                                                 : tr("降级");
        const QStringList cells{p.name, kind, p.oldVersion.isEmpty() ? QStringLiteral("—") : p.oldVersion,
                                p.newVersion.isEmpty() ? QStringLiteral("—") : p.newVersion};
        for (int c = 0; c < 4; ++c)
            packageTable->setItem(row, c, new QTableWidgetItem(cells.at(c)));
    }
    const QString title = packages.changes.isEmpty()
                              ? tr("软件包（无变化）")
                              : tr("软件包（新增 %1，删除 %2，升级 %3，降级 %4）")
                                    .arg(counts[0]).arg(counts[1]).arg(counts[2]).arg(counts[3]);
    tabs->addTab(packageTable, title);
}

void CompareDialog::copyPath()
{
    const QString path = tree->currentIndex().data(CompareTreeModel::PathRole).toString();
    if (path.isEmpty())
        return;
    QGuiApplication::clipboard()->setText(path);
    status->setText(tr("已复制路径：%1").arg(path));
    status->setVisible(true);
}

namespace {

bool writeCsv(const QList<FileChange> &list, const QString &path, QString *error)
{
    QSaveFile file(path);
    const QByteArray csv = changesToCsv(list);
    if (!file.open(QIODevice::WriteOnly) || file.write(csv) != csv.size() || !file.commit()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}

} // namespace

bool CompareDialog::exportCsv(const QString &path, QString *error)
{
    return writeCsv(*changes, path, error);
}

void CompareDialog::chooseExport()
{
    const QString path = QFileDialog::getSaveFileName(this, tr("导出 CSV"),
                                                      QDir::home().filePath(QStringLiteral("tavrin-changes.csv")),
                                                      tr("CSV 文件 (*.csv)"));
    if (path.isEmpty())
        return;
    // A long list takes a moment to write: off the GUI thread, one export at a time.
    exportButton->setEnabled(false);
    auto list = changes;
    auto *watcher = new QFutureWatcher<QString>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, path, count = list->size()] {
        const QString error = watcher->result();
        watcher->deleteLater();
        exportButton->setEnabled(true);
        status->setText(error.isEmpty() ? tr("已导出 %1 项变化到 %2").arg(count).arg(path)
                                        : tr("导出失败：%1").arg(error));
        status->setVisible(true);
    });
    watcher->setFuture(QtConcurrent::run(&comparePool(), [list, path] {
        QString error;
        return writeCsv(*list, path, &error) ? QString() : error;
    }));
}

void CompareDialog::keyPressEvent(QKeyEvent *event)
{
    if (event->matches(QKeySequence::Copy) && tree->hasFocus()) {
        copyPath();
        return;
    }
    // Enter in the filter or on a row must not close the window.
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && !qobject_cast<QPushButton *>(focusWidget()))
        return;
    QDialog::keyPressEvent(event);
}

CompareDialog *openCompare(QWidget *parent, const CompareState &before, const CompareState &after)
{
    auto *dialog = new CompareDialog(before, after, parent);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->show();
    return dialog;
}
