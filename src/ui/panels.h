#pragma once

#include <QList>
#include <QPointer>
#include <QString>
#include <QWidget>

#include "ui/theme.h"

class QGridLayout;
class QHBoxLayout;
class QLabel;
class QPropertyAnimation;
class QPushButton;
class QTimer;
class QVBoxLayout;
class ZLabel;

namespace TavrinUi {

class TavrinPanel : public QWidget
{
public:
    enum Level { Card = 0, Subtle = 1, Transparent = 2 };

    explicit TavrinPanel(QWidget *parent = nullptr, Level level = Card);

    QVBoxLayout *contentLayout() const { return m_layout; }
    Level level() const { return m_level; }

protected:
    void paintEvent(QPaintEvent *event) override;

    QVBoxLayout *m_layout = nullptr;

private:
    Level m_level;
};

class TavrinSection : public TavrinPanel
{
public:
    TavrinSection(const QString &title, const QString &description, QWidget *parent = nullptr);

    void addHeaderWidget(QWidget *widget);
    QHBoxLayout *headerLayout() const { return m_header; }

private:
    QHBoxLayout *m_header = nullptr;
};

class TavrinRow : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(double highlight READ highlight WRITE setHighlight)

public:
    explicit TavrinRow(QWidget *parent = nullptr);

    void setTitle(const QString &text);
    QString title() const;
    void setDescription(const QString &text);
    QString description() const;
    void addControl(QWidget *widget, int minWidth = -1);
    void addStretch(int stretch = 0);
    QList<QWidget *> controls() const { return m_controls; }
    QWidget *controlContainer() const { return m_container; }

    double highlight() const { return m_highlight; }
    void setHighlight(double value);
    void flashHighlight();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    ZLabel *m_title = nullptr;
    ZLabel *m_description = nullptr;
    QWidget *m_container = nullptr;
    QHBoxLayout *m_controlsLayout = nullptr;
    QList<QWidget *> m_controls;
    int m_widestMin = 0;
    double m_highlight = 0.0;
    QPropertyAnimation *m_animation = nullptr;
    QTimer *m_holdTimer = nullptr;
};

class TavrinSeparator : public QWidget
{
public:
    explicit TavrinSeparator(QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;
};

class TavrinCollapsible : public QWidget
{
public:
    explicit TavrinCollapsible(const QString &title, QWidget *parent = nullptr);

    void setContent(QWidget *widget);
    QWidget *content() const { return m_content; }
    QPushButton *headerButton() const { return m_header; }
    bool isExpanded() const;
    void setExpanded(bool expanded);
    void updateMark();

private:
    QVBoxLayout *m_layout = nullptr;
    QPushButton *m_header = nullptr;
    QPointer<QWidget> m_content;
};

class TavrinResponsiveCardRow : public QWidget
{
public:
    explicit TavrinResponsiveCardRow(int maxColumns, QWidget *parent = nullptr);

    void addCard(QWidget *card);
    void setAvailableWidth(int width);
    void relayout();
    int columns() const { return m_columns; }
    int maxColumns() const { return m_maxColumns; }
    QList<QWidget *> cards() const { return m_cards; }

private:
    QGridLayout *m_grid = nullptr;
    QList<QWidget *> m_cards;
    int m_maxColumns = 1;
    int m_columns = 0;
};

} // namespace TavrinUi
