#pragma once

#include <QMainWindow>

class ZTitlebar;

// A frameless main window whose menu widget is the desktop's title bar. It
// comes forward when a second start of the application asks for it, and its
// edges resize it as a decorated window's would.
class ZMainWindow : public QMainWindow
{
    Q_OBJECT
public:
    explicit ZMainWindow(QWidget *parent = nullptr);
    ZTitlebar *titlebar() const;

    // Width of the band along the frameless window's edges that resizes it.
    static constexpr int kResizeMargin = 6;
    // The edges within that band at `pos` (window coordinates).
    static Qt::Edges edgesAt(const QPoint &pos, const QSize &size);

protected:
    void changeEvent(QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    ZTitlebar *m_titlebar;
    bool m_resizeWatch = false;
    bool m_edgeCursor = false;
};
