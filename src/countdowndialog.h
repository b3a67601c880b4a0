#pragma once

#include <QWidget>

#include "zabstractdialog.h"

class QTimer;
class ZWarningButton;

class CountdownRing : public QWidget
{
    Q_OBJECT

public:
    explicit CountdownRing(QWidget *parent = nullptr);

    int remain() const { return remaining; }
    void setRemain(int value);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    int remaining = 30;
};

// Second confirmation before the protection is switched off for good: the
// confirm button unlocks only after the countdown has run out.
class TavrinCountdownDialog : public ZAbstractDialog
{
    Q_OBJECT

public:
    static constexpr int kSeconds = 30;

    explicit TavrinCountdownDialog(QWidget *parent = nullptr);

    // Length of one countdown step for dialogs created afterwards; tests
    // shorten it so the whole countdown runs in a moment.
    static void setTickInterval(int ms);
    static int tickInterval();

    int remain() const { return remaining; }

protected:
    void showEvent(QShowEvent *event) override;

private:
    void tick();
    QString confirmLabel() const;

    CountdownRing *ring = nullptr;
    ZWarningButton *confirmButton = nullptr;
    QTimer *timer = nullptr;
    int remaining = kSeconds;
};
