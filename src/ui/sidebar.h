#pragma once

#include <QStyledItemDelegate>
#include <QWidget>

#include <functional>

class QListView;
class QModelIndex;
class QStandardItemModel;

namespace TavrinUi {

class TavrinSidebar : public QWidget
{
    Q_OBJECT

public:
    enum Role {
        PageIdRole = Qt::UserRole + 1,
        // The group an entry belongs to; the first entry of a group shows it above itself.
        GroupRole = Qt::UserRole + 2,
        IconNameRole = Qt::UserRole + 21,
        FallbackIconRole = Qt::UserRole + 22,
    };

    explicit TavrinSidebar(QWidget *parent = nullptr);

    void beginGroup(const QString &title);
    void addItem(const QString &iconName, const QString &fallbackIconName, const QString &text, int id);
    bool setCurrentData(int id);

    QListView *listView() const { return m_list; }
    QStandardItemModel *model() const { return m_model; }

    // The icon an entry gets for its names, with the program's own resources first.
    static QIcon lookupIcon(const QString &iconName, const QString &fallbackIconName);
    // The band above an entry that carries its group's heading; empty for other entries.
    static QRect headingBand(const QModelIndex &index, const QRect &rowRect, const QFont &font);

    std::function<void(int)> onNavigate;
    // Enter on an entry: the window moves the focus into the page.
    std::function<void()> onEnterPage;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void handleActivated(const QModelIndex &index);
    void refreshIcons();

    QStandardItemModel *m_model = nullptr;
    QListView *m_list = nullptr;
    QString m_group;
    bool m_keyMoving = false;
};

class TavrinSidebarDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;
};

} // namespace TavrinUi
