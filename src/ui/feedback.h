#pragma once

#include <QList>
#include <QPointer>
#include <QString>
#include <QWidget>

#include "ui/panels.h"
#include "ui/theme.h"
#include "zprogressbar.h"

class QHBoxLayout;
class QLabel;
class QPushButton;
class QTimer;
class QVBoxLayout;
class ZLabel;
class ZSpinner;

namespace TavrinUi {

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

} // namespace TavrinUi
