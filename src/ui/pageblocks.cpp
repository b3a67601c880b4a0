#include "ui/pageblocks.h"

#include <QApplication>
#include <QClipboard>
#include <QCoreApplication>
#include <QFile>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "zfontsizemanager.h"
#include "zguiapplicationhelper.h"
#include "ziconbutton.h"
#include "zicontheme.h"
#include "zpushbutton.h"
#include "zsuggestbutton.h"
#include "zwarningbutton.h"

namespace Ui {

namespace {

class BlockText
{
    Q_DECLARE_TR_FUNCTIONS(TavrinPageBlocks)
};

// The program's own icon of that name comes first, as in the sidebar; the
// theme's information icon matches the page better than the style's, so it
// comes before the style's standard icon.
QIcon themedOrInformation(const QString &name)
{
    const QString resource = QStringLiteral(":/icons/nav/%1.svg").arg(name);
    if (!name.isEmpty() && QFile::exists(resource))
        return ZIconTheme::fileIcon(resource);
    const QIcon icon = ZIconTheme::findQIcon(name);
    if (!icon.isNull())
        return icon;
    return TavrinUi::themedIcon(QStringLiteral("dialog-information"), QStyle::SP_MessageBoxInformation);
}

// Symbolic theme icons take their colour from the palette, so the pixmap is
// rendered again whenever the theme changes.
void showThemedIcon(QLabel *label, const QString &name, int pixels)
{
    auto render = [label, name, pixels] {
        label->setPixmap(themedOrInformation(name).pixmap(pixels, pixels));
    };
    render();
    QObject::connect(ZGuiApplicationHelper::instance(), &ZGuiApplicationHelper::applicationPaletteChanged,
                     label, render);
}

ZLabel *paletteLabel(const QString &text, ZPalette::ColorType role, int size)
{
    auto *label = new ZLabel(text);
    label->setForegroundRole(role);
    ZFontSizeManager::instance()->bind(label, ZFontSizeManager::SizeType(size));
    return label;
}

} // namespace

ElidedLabel::ElidedLabel(const QString &text, QWidget *parent) : ZLabel(text, parent)
{
    setWordWrap(false);
}

void ElidedLabel::setElideMode(Qt::TextElideMode mode)
{
    m_elideMode = mode;
    update();
}

QSize ElidedLabel::sizeHint() const
{
    QSize hint = ZLabel::sizeHint();
    hint.setWidth(fontMetrics().horizontalAdvance(text()) + 2);
    return hint;
}

QSize ElidedLabel::minimumSizeHint() const
{
    QSize hint = ZLabel::minimumSizeHint();
    hint.setWidth(0);
    return hint;
}

QString ElidedLabel::elidedText() const
{
    return fontMetrics().elidedText(text(), m_elideMode, contentsRect().width());
}

void ElidedLabel::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setFont(font());
    p.setPen(palette().color(foregroundRole()));
    p.drawText(contentsRect(), int(alignment()), elidedText());
}

LegendDot::LegendDot(TavrinUi::Semantic semantic, QWidget *parent) : QWidget(parent), m_semantic(semantic)
{
    setFixedSize(10, 10);
}

void LegendDot::setSemantic(TavrinUi::Semantic semantic)
{
    m_semantic = semantic;
    update();
}

void LegendDot::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(TavrinUi::semanticColor(m_semantic));
    p.drawEllipse(QRectF(rect()));
}

QWidget *pageHeader(const QString &title, const QString &subtitle, const QString &icon)
{
    auto *header = new QWidget;
    header->setObjectName(QStringLiteral("tavrinPageHeader"));
    auto *layout = new QHBoxLayout(header);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(12);
    if (!icon.isEmpty()) {
        auto *box = new QLabel(header);
        box->setObjectName(QStringLiteral("tavrinPageIcon"));
        box->setFixedSize(48, 48);
        box->setAlignment(Qt::AlignCenter);
        showThemedIcon(box, icon, 29);
        layout->addWidget(box);
    }
    auto *column = new QVBoxLayout;
    column->setSpacing(2);
    ZLabel *titleLabel = paletteLabel(title, ZPalette::TextTitle, ZFontSizeManager::T3);
    titleLabel->setObjectName(QStringLiteral("tavrinPageTitle"));
    column->addWidget(titleLabel);
    if (!subtitle.isEmpty()) {
        ZLabel *sub = paletteLabel(subtitle, ZPalette::TextTips, ZFontSizeManager::T6);
        sub->setObjectName(QStringLiteral("tavrinPageSubtitle"));
        sub->setWordWrap(true);
        column->addWidget(sub);
    }
    layout->addLayout(column, 1);
    return header;
}

QPushButton *button(const QString &text, bool primary, bool warning)
{
    QPushButton *b = nullptr;
    if (primary)
        b = new ZSuggestButton(text);
    else if (warning)
        b = new ZWarningButton(text);
    else
        b = new ZPushButton(text);
    b->setCursor(Qt::PointingHandCursor);
    return b;
}

ZLabel *rowDesc(const QString &text)
{
    ZLabel *label = paletteLabel(text, ZPalette::TextTips, ZFontSizeManager::T6);
    label->setObjectName(QStringLiteral("tavrinRowDesc"));
    label->setWordWrap(true);
    return label;
}

QWidget *legendDot(TavrinUi::Semantic semantic, const QString &text)
{
    auto *row = new QWidget;
    auto *layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    layout->addWidget(new LegendDot(semantic, row), 0, Qt::AlignVCenter);
    ZLabel *label = paletteLabel(text, ZPalette::TextTips, ZFontSizeManager::T7);
    label->setParent(row);
    layout->addWidget(label, 1);
    return row;
}

int iconBadgePixelSize(int size)
{
    return qMax(12, qRound(size * 0.62));
}

ZLabel *iconBadge(const QString &name, int size)
{
    auto *label = new ZLabel;
    label->setFixedSize(size, size);
    label->setAlignment(Qt::AlignCenter);
    showThemedIcon(label, name, iconBadgePixelSize(size));
    return label;
}

QWidget *featureRow(const QString &icon, const QString &title, const QString &description, QWidget *parent)
{
    auto *row = new QWidget(parent);
    auto *layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(12);

    auto *iconLabel = new QLabel(row);
    iconLabel->setFixedSize(36, 36);
    iconLabel->setAlignment(Qt::AlignCenter);
    const QString resource = QStringLiteral(":/icons/nav/%1.svg").arg(icon);
    if (QFile::exists(resource)) {
        iconLabel->setPixmap(ZIconTheme::fileIcon(resource).pixmap(36, 36));
    } else {
        showThemedIcon(iconLabel, QStringLiteral("dialog-information"), 36);
    }
    layout->addWidget(iconLabel, 0, Qt::AlignTop);

    auto *column = new QVBoxLayout;
    column->setSpacing(4);
    ZLabel *titleLabel = paletteLabel(title, ZPalette::TextTitle, ZFontSizeManager::T5);
    titleLabel->setObjectName(QStringLiteral("tavrinRowLabel"));
    ZLabel *desc = rowDesc(description);
    column->addWidget(titleLabel);
    column->addWidget(desc);
    layout->addLayout(column, 1);
    return row;
}

QWidget *makeCommandRow(const QString &label, const QString &command, QWidget *parent,
                        const QString &copyText)
{
    auto *row = new QWidget(parent);
    auto *layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(8);
    ZLabel *name = paletteLabel(label, ZPalette::TextTitle, ZFontSizeManager::T6);
    name->setMinimumWidth(90);
    ZLabel *text = paletteLabel(command, ZPalette::TextTips, ZFontSizeManager::T8);
    text->setObjectName(QStringLiteral("tavrinCommandText"));
    // Commands read as commands.
    QFont mono = text->font();
    mono.setFamilies(QFontDatabase::systemFont(QFontDatabase::FixedFont).families());
    mono.setStyleHint(QFont::Monospace);
    text->setFont(mono);
    text->setWordWrap(false);
    text->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(name);
    layout->addWidget(text, 1);
    QAbstractButton *copy =
        makeCopyButton(command, row, copyText.isEmpty() ? BlockText::tr("复制命令") : copyText);
    // Several rows share the tooltip; the name says which command it copies.
    copy->setAccessibleName(BlockText::tr("复制命令：%1").arg(label));
    layout->addWidget(copy);
    return row;
}

QAbstractButton *makeCopyButton(const QString &text, QWidget *parent, const QString &idleText)
{
    const QString idle = idleText.isEmpty() ? BlockText::tr("复制") : idleText;
    auto *copy = new ZIconButton(parent);
    copy->setObjectName(QStringLiteral("tavrinCopyButton"));
    copy->setIcon(TavrinUi::themedIcon(QStringLiteral("edit-copy"), QStyle::SP_FileDialogDetailedView));
    copy->setIconSize(QSize(16, 16));
    copy->setToolTip(idle);
    copy->setAccessibleName(idle);
    copy->setCursor(Qt::PointingHandCursor);
    QObject::connect(copy, &QAbstractButton::clicked, copy, [copy, text, idle] {
        QGuiApplication::clipboard()->setText(text);
        copy->setIcon(TavrinUi::themedIcon(QStringLiteral("object-select"), QStyle::SP_DialogApplyButton));
        copy->setToolTip(BlockText::tr("已复制"));
        QTimer::singleShot(2000, copy, [copy, idle] {
            copy->setIcon(
                TavrinUi::themedIcon(QStringLiteral("edit-copy"), QStyle::SP_FileDialogDetailedView));
            copy->setToolTip(idle);
        });
    });
    return copy;
}

} // namespace Ui
