#pragma once

#include <QWidget>

class QTimer;

// A painted busy indicator.
class ZSpinner : public QWidget
{
    Q_OBJECT
public:
    explicit ZSpinner(QWidget *parent = nullptr);

    void start();
    void stop();
    bool isPlaying() const;
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    QTimer *m_timer;
    int m_step = 0;
    bool m_playing = false;
};
