#include "countdowndialog.h"

#include "ui/components.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QShowEvent>
#include <QTimer>
#include <QVBoxLayout>

#include "zfontsizemanager.h"
#include "zlabel.h"
#include "zpushbutton.h"
#include "zwarningbutton.h"

namespace {
int g_tickInterval = 1000;

QLabel *iconLabel(const QString &name, int size, QWidget *parent)
{
    auto *label = new QLabel(parent);
    label->setFixedSize(size, size);
    label->setAlignment(Qt::AlignCenter);
    label->setPixmap(TavrinUi::themedIcon(name, QStyle::SP_MessageBoxWarning).pixmap(size, size));
    return label;
}
} // namespace

CountdownRing::CountdownRing(QWidget *parent) : QWidget(parent)
{
    setFixedSize(84, 84);
}

void CountdownRing::setRemain(int value)
{
    remaining = value;
    update();
}

void CountdownRing::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const int d = qMin(width(), height());
    const QRectF square((width() - d) / 2.0, (height() - d) / 2.0, d, d);
    const QRectF circle = square.adjusted(7, 7, -7, -7);

    QPen pen(QColor(127, 127, 127, 60), 6);
    pen.setCapStyle(Qt::RoundCap);
    pen.setJoinStyle(Qt::RoundJoin);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    painter.drawEllipse(circle);

    if (remaining > 0) {
        pen.setColor(TavrinUi::semanticColor(TavrinUi::Warning));
        painter.setPen(pen);
        // Qt angles are in 1/16 degree, counter-clockwise from 3 o'clock.
        const int span =
            -qMin(remaining, TavrinCountdownDialog::kSeconds) * 360 * 16 / TavrinCountdownDialog::kSeconds;
        painter.drawArc(circle, 90 * 16, span);
    }

    QFont font = painter.font();
    font.setWeight(QFont::Bold);
    font.setPixelSize(qMax(16, int(d * 0.32)));
    painter.setFont(font);
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(square, Qt::AlignCenter, QString::number(remaining));
}

TavrinCountdownDialog::TavrinCountdownDialog(QWidget *parent) : ZAbstractDialog(parent)
{
    setObjectName(QStringLiteral("tavrinCountdownDialog"));
    setWindowTitle(tr("即将完全关闭Tavrin保护"));
    setFixedWidth(560);

    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(32, 28, 32, 24);
    outer->setSpacing(16);

    auto *header = new QHBoxLayout;
    header->setSpacing(18);
    ring = new CountdownRing(this);
    header->addWidget(ring);
    auto *headText = new QVBoxLayout;
    headText->setSpacing(6);
    auto *titleRow = new QHBoxLayout;
    titleRow->setSpacing(8);
    titleRow->addWidget(iconLabel(QStringLiteral("dialog-warning"), 24, this));
    ZLabel *title = TavrinUi::makeLabel(tr("即将完全关闭Tavrin保护"), TavrinUi::PageTitle, TavrinUi::Normal);
    ZFontSizeManager::instance()->bind(title, ZFontSizeManager::T3, QFont::DemiBold);
    titleRow->addWidget(title, 1);
    headText->addStretch(1);
    headText->addLayout(titleRow);
    headText->addWidget(
        TavrinUi::makeLabel(tr("此为高风险操作，请务必确认后再继续"), TavrinUi::Body, TavrinUi::Muted));
    headText->addStretch(1);
    header->addLayout(headText, 1);
    outer->addLayout(header);

    auto *warnBox = new TavrinUi::TavrinPanel(this, TavrinUi::TavrinPanel::Subtle);
    warnBox->setObjectName(QStringLiteral("tavrinWarnBox"));
    QVBoxLayout *warnLayout = warnBox->contentLayout();
    warnLayout->setContentsMargins(16, 12, 16, 12);
    warnLayout->setSpacing(8);
    const QStringList lines = {tr("核心目录(/usr 等)将失去只读保护"), tr("恶意软件与误操作可直接破坏系统"),
                               tr("重启后仍保持关闭，需手动重新开启保护")};
    for (const QString &line : lines) {
        auto *row = new QHBoxLayout;
        row->setSpacing(8);
        row->addWidget(iconLabel(QStringLiteral("dialog-warning"), 16, warnBox), 0, Qt::AlignTop);
        ZLabel *text = TavrinUi::makeLabel(line, TavrinUi::Body, TavrinUi::Normal);
        text->setObjectName(QStringLiteral("tavrinWarnText"));
        text->setWordWrap(true);
        row->addWidget(text, 1);
        warnLayout->addLayout(row);
    }
    outer->addWidget(warnBox);

    auto *buttons = new QHBoxLayout;
    buttons->setSpacing(12);
    auto *cancel = new ZPushButton(tr("取消"), this);
    cancel->setObjectName(QStringLiteral("tavrinCountdownCancel"));
    cancel->setAutoDefault(false);
    cancel->setDefault(true);
    setEnterButton(cancel);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    buttons->addWidget(cancel);
    buttons->addStretch(1);
    confirmButton = new ZWarningButton(this);
    confirmButton->setObjectName(QStringLiteral("tavrinCountdownConfirm"));
    confirmButton->setAutoDefault(false);
    confirmButton->setEnabled(false);
    confirmButton->setText(confirmLabel());
    connect(confirmButton, &QPushButton::clicked, this, [this] {
        if (remaining < 1)
            accept();
    });
    buttons->addWidget(confirmButton);
    outer->addLayout(buttons);

    timer = new QTimer(this);
    timer->setInterval(g_tickInterval);
    connect(timer, &QTimer::timeout, this, &TavrinCountdownDialog::tick);
}

void TavrinCountdownDialog::setTickInterval(int ms)
{
    g_tickInterval = qMax(1, ms);
}

int TavrinCountdownDialog::tickInterval()
{
    return g_tickInterval;
}

void TavrinCountdownDialog::showEvent(QShowEvent *event)
{
    ZAbstractDialog::showEvent(event);
    if (QWidget *host = parentWidget() ? parentWidget()->window() : nullptr) {
        if (host != this) {
            const QPoint centre = host->geometry().center();
            move(centre - QPoint(width() / 2, height() / 2));
        }
    }
    if (!timer->isActive())
        timer->start();
}

void TavrinCountdownDialog::tick()
{
    remaining -= 1;
    ring->setRemain(qMax(0, remaining));
    if (remaining < 1) {
        timer->stop();
        confirmButton->setEnabled(true);
    }
    confirmButton->setText(confirmLabel());
}

QString TavrinCountdownDialog::confirmLabel() const
{
    if (remaining < 1)
        return tr("我已知晓风险，完全关闭");
    return tr("我已知晓风险，完全关闭（%1s）").arg(remaining);
}
