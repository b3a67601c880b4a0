#pragma once

#include <QColor>
#include <QIcon>
#include <QList>
#include <QPointer>
#include <QString>
#include <QStyle>
#include <QWidget>

#include <functional>

#include "zpalette.h"
#include "zprogressbar.h"
#include "zpushbutton.h"

class QGridLayout;
class QHBoxLayout;
class QLabel;
class QPropertyAnimation;
class QPushButton;
class QTableWidget;
class QTimer;
class QVBoxLayout;
class ZLabel;
class ZSpinner;

namespace TavrinUi {

enum Semantic { Muted = 0, Normal = 1, Accent = 2, Success = 3, Warning = 4, Danger = 5 };

enum TextLevel {
    PageTitle = 0,
    Hero = 1,
    SectionTitle = 2,
    ItemTitle = 3,
    Value = 4,
    Body = 5,
    Small = 6,
    Caption = 7
};

inline constexpr const char *kSuccessGreenOnLight = "#00875a";
inline constexpr const char *kSuccessGreenOnDark = "#00a05a";
inline constexpr double kContrastTarget = 4.8;

ZPalette appPalette();
QColor baseColor();
QColor windowColor();
QColor itemBackground();
QColor borderColor();
QColor semanticColor(Semantic s);
QColor softFill(Semantic s, int alpha);
Semantic usageSemanticForPct(double percent);
double relLum(const QColor &c);
double contrastRatio(const QColor &a, const QColor &b);
QColor ensureContrast(QColor colour, const QColor &background, double ratio);
QIcon themedIcon(const QString &name, QStyle::StandardPixmap fallback);
void applySemantic(ZLabel *label, Semantic s);
void refreshExactColorLabels();
bool reduceMotionRequested();
// Whether the desktop's motion preference has been read already.
bool reduceMotionKnown();
// Calls `then` with the preference, at once when known, else when gsettings has
// answered (without blocking); nothing when `context` is gone by then.
void whenMotionKnown(QObject *context, std::function<void(bool reduce)> then);
// Forgets the cached reduced-motion answer; the next call asks the desktop again.
void resetReduceMotionCache();

// The font level and wrapping a text level stands for.
int textLevelSize(TextLevel level);
bool textLevelWraps(TextLevel level);
void bindTextLevel(QWidget *widget, TextLevel level);

ZLabel *makeLabel(const QString &text, TextLevel level, Semantic semantic);

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

class TavrinBadge : public QWidget
{
public:
    TavrinBadge(const QString &text, Semantic semantic, QWidget *parent = nullptr);

    void setText(const QString &text);
    QString text() const;
    void setSemantic(Semantic semantic);
    Semantic semantic() const { return m_semantic; }
    void refresh();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    ZLabel *m_label = nullptr;
    Semantic m_semantic;
};

class TavrinCollapsible;

class TavrinInlineBanner : public QWidget
{
    Q_OBJECT

public:
    explicit TavrinInlineBanner(QWidget *parent = nullptr);

    void setText(const QString &text);
    QString text() const;
    void setSemantic(Semantic semantic);
    Semantic semantic() const { return m_semantic; }
    void setClosable(bool closable);
    QPushButton *addAction(const QString &text, bool primary);
    void setDetails(const QString &title, const QString &details);
    TavrinCollapsible *details() const { return m_details; }
    void autoDismiss(int ms);
    void refresh();

signals:
    void dismissed();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QLabel *m_icon = nullptr;
    QVBoxLayout *m_textColumn = nullptr;
    ZLabel *m_text = nullptr;
    QPointer<TavrinCollapsible> m_details;
    QWidget *m_actions = nullptr;
    QHBoxLayout *m_actionsLayout = nullptr;
    QPushButton *m_close = nullptr;
    Semantic m_semantic = Accent;
    QTimer *m_dismissTimer = nullptr;
};

class TavrinEmptyState : public QWidget
{
public:
    explicit TavrinEmptyState(QWidget *parent = nullptr);

    void setTitle(const QString &text);
    void setDescription(const QString &text);
    void setIcon(const QString &themeName);
    QPushButton *addAction(const QString &text, bool primary);
    void refreshIcon();

private:
    QLabel *m_icon = nullptr;
    ZLabel *m_title = nullptr;
    ZLabel *m_description = nullptr;
    QString m_iconName;
    QVBoxLayout *m_layout = nullptr;
    QHBoxLayout *m_actions = nullptr;
};

class TavrinLocalLoading : public QWidget
{
public:
    explicit TavrinLocalLoading(const QString &text, QWidget *parent = nullptr);

    void setText(const QString &text);
    void start();
    void stop();

private:
    ZSpinner *m_spinner = nullptr;
    ZLabel *m_label = nullptr;
};

class TavrinFlatProgress : public ZProgressBar
{
public:
    explicit TavrinFlatProgress(QWidget *parent = nullptr);

    void setBusy(bool busy);
};

// One part of a segmented control (range presets, view switches): the checked part carries the
// accent, like a selected tab; focus shows a ring inside it.
class SegmentButton : public ZPushButton
{
public:
    explicit SegmentButton(const QString &text, QWidget *parent = nullptr);
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent *event) override;
};

class TavrinSkeleton : public QWidget
{
public:
    explicit TavrinSkeleton(QWidget *parent = nullptr);

    void setRows(int rows);
    int rows() const { return m_rows; }
    void startPulse();
    void stopPulse();
    bool isPulsing() const { return m_pulse != nullptr; }

protected:
    void paintEvent(QPaintEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void beginPulse();

    int m_rows = 3;
    int m_phase = 0;
    bool m_wantPulse = false;
    QTimer *m_pulse = nullptr;
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

class TavrinStateCard : public TavrinPanel
{
public:
    explicit TavrinStateCard(const QString &title, QWidget *parent = nullptr);

    void setValue(const QString &text, Semantic semantic, TextLevel level = Hero);
    void setStatus(const QString &text, Semantic semantic);
    ZLabel *valueLabel() const { return m_value; }
    TavrinBadge *statusBadge() const { return m_badge; }

private:
    ZLabel *m_value = nullptr;
    TavrinBadge *m_badge = nullptr;
};

void setTableAccessibleName(QTableWidget *table, const QString &name);
// A read-only list of records in the program's look: whole rows selected, no grid, fixed row
// heights, texts elided at the end, and one Tab stop (arrows move between rows).
QTableWidget *makeRecordTable(const QStringList &headers, const QString &accessibleName, QWidget *parent);
void finalizeTableAccessible(QTableWidget *table);
void makeDialogNonBlockingWindowModal(QWidget *dialog);
void disableDialogTransparency(QWidget *dialog);

} // namespace TavrinUi
