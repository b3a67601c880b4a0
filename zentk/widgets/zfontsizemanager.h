#pragma once

#include <QFont>
#include <QHash>
#include <QObject>
#include <QPointer>

class QWidget;

// Ten font levels, T1 the largest, T6 the application font's own size; bound
// widgets are re-fonted when the application font changes.
class ZFontSizeManager : public QObject
{
    Q_OBJECT
public:
    enum SizeType { T1, T2, T3, T4, T5, T6, T7, T8, T9, T10, NSizeTypes };
    Q_ENUM(SizeType)

    static ZFontSizeManager *instance();

    void bind(QWidget *w, SizeType type, int weight = -1);
    void unbind(QWidget *w);
    QFont get(SizeType type, const QFont &base = QFont()) const;
    int fontPixelSize(SizeType type) const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    explicit ZFontSizeManager(QObject *parent);
    struct Binding
    {
        QPointer<QWidget> widget;
        SizeType type;
        int weight;
    };
    void apply(const Binding &b) const;

    QHash<QWidget *, Binding> m_bindings;
};
