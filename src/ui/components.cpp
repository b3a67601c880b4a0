#include "ui/components.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QCoreApplication>
#include <QEvent>
#include <QFile>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMainWindow>
#include <QPainter>
#include <QPainterPath>
#include <QProcess>
#include <QPropertyAnimation>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <QtMath>

#include <cmath>

#include "zfontsizemanager.h"
#include "zguiapplicationhelper.h"
#include "zicontheme.h"
#include "zlabel.h"
#include "zpaint_p.h"
#include "zpushbutton.h"
#include "zspinner.h"
#include "zsuggestbutton.h"

namespace TavrinUi {

namespace {

QList<QPointer<ZLabel>> &exactColorLabels()
{
    static QList<QPointer<ZLabel>> g_exactColorLabels;
    return g_exactColorLabels;
}

int g_reduceMotion = -1;

QColor paletteColor(QPalette::ColorRole role)
{
    const ZPalette pal = appPalette();
    return pal.color(pal.currentColorGroup(), role);
}

QColor paletteColor(ZPalette::ColorType type)
{
    const ZPalette pal = appPalette();
    return pal.color(pal.currentColorGroup(), type);
}

QColor blendOver(const QColor &c, const QColor &base)
{
    const int a = c.alpha();
    auto mix = [a](int top, int bottom) { return (a * top + (255 - a) * bottom) / 255; };
    return QColor(mix(c.red(), base.red()), mix(c.green(), base.green()), mix(c.blue(), base.blue()));
}

void fillRounded(QWidget *widget, const QRectF &rect, qreal radius, const QColor &fill)
{
    QPainter p(widget);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(fill);
    p.drawRoundedRect(rect, radius, radius);
}

QPushButton *makeActionButton(const QString &text, bool primary, QWidget *parent)
{
    QPushButton *button = nullptr;
    if (primary)
        button = new ZSuggestButton(text, parent);
    else
        button = new ZPushButton(text, parent);
    button->setCursor(Qt::PointingHandCursor);
    return button;
}

} // namespace

ZPalette appPalette()
{
    return ZGuiApplicationHelper::instance()->applicationPalette();
}

QColor baseColor()
{
    return paletteColor(QPalette::Base);
}

QColor windowColor()
{
    return paletteColor(QPalette::Window);
}

QColor itemBackground()
{
    return paletteColor(ZPalette::ItemBackground);
}

QColor borderColor()
{
    return paletteColor(ZPalette::FrameBorder);
}

QColor semanticColor(Semantic s)
{
    switch (s) {
    case Muted:
        return paletteColor(ZPalette::TextTips);
    case Accent:
        return ensureContrast(paletteColor(QPalette::Highlight), baseColor(), kContrastTarget);
    case Success: {
        const QByteArray env = qgetenv("TAVRIN_SUCCESS_GREEN");
        if (env.size() == 7) {
            const QColor forced = QColor::fromString(QLatin1StringView(env));
            if (forced.isValid())
                return forced;
        }
        const QColor base = baseColor();
        const QColor green(base.lightness() <= 127 ? kSuccessGreenOnDark : kSuccessGreenOnLight);
        return ensureContrast(green, base, kContrastTarget);
    }
    case Warning:
    case Danger:
        return paletteColor(ZPalette::TextWarning);
    case Normal:
    default:
        return paletteColor(ZPalette::TextTitle);
    }
}

QColor softFill(Semantic s, int alpha)
{
    QColor c = semanticColor(s);
    if (alpha >= 255) {
        c.setAlpha(255);
        return c;
    }
    if (alpha > 0) {
        c.setAlpha(alpha);
        return blendOver(c, baseColor());
    }
    return baseColor();
}

Semantic usageSemanticForPct(double percent)
{
    // NaN compares false and so stays Normal.
    return percent >= 75.0 ? Warning : Normal;
}

double relLum(const QColor &c)
{
    auto linear = [](int channel) {
        const double v = channel / 255.0;
        return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(c.red()) + 0.7152 * linear(c.green()) + 0.0722 * linear(c.blue());
}

double contrastRatio(const QColor &a, const QColor &b)
{
    const double la = relLum(a);
    const double lb = relLum(b);
    return (qMax(la, lb) + 0.05) / (qMin(la, lb) + 0.05);
}

QColor ensureContrast(QColor colour, const QColor &background, double ratio)
{
    if (contrastRatio(colour, background) >= ratio)
        return colour;

    float h = 0, s = 0, l = 0, a = 0;
    colour.getHslF(&h, &s, &l, &a);
    const bool darkBackground = background.lightness() <= 127;
    double low = darkBackground ? l : 0.0;
    double high = darkBackground ? 1.0 : l;
    auto candidate = [&](double lightness) { return QColor::fromHslF(h, s, float(lightness), 1.0f); };
    for (int i = 0; i < 40; ++i) {
        const double mid = (low + high) / 2.0;
        const bool enough = contrastRatio(candidate(mid), background) >= ratio;
        if (darkBackground) {
            if (!enough)
                low = mid;
            else
                high = mid;
        } else {
            if (enough)
                low = mid;
            else
                high = mid;
        }
    }
    QColor result = candidate(darkBackground ? high : low);
    result.setAlphaF(a);
    return result;
}

QIcon themedIcon(const QString &name, QStyle::StandardPixmap fallback)
{
    // The program's own icon of a name comes first, as in the sidebar.
    const QString resource = QStringLiteral(":/icons/nav/%1.svg").arg(name);
    if (!name.isEmpty() && QFile::exists(resource))
        return ZIconTheme::fileIcon(resource);
    QIcon icon = ZIconTheme::findQIcon(name);
    if (icon.isNull())
        icon = QApplication::style()->standardIcon(fallback);
    return icon;
}

void applySemantic(ZLabel *label, Semantic s)
{
    if (!label)
        return;
    label->setProperty("tavrinSemantic", int(s));
    QPalette pal = label->palette();
    const QColor colour = semanticColor(s);
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        pal.setColor(group, QPalette::WindowText, colour);
        pal.setColor(group, QPalette::Text, colour);
    }
    label->setPalette(pal);
    label->setForegroundRole(QPalette::WindowText);

    auto &labels = exactColorLabels();
    for (const QPointer<ZLabel> &entry : labels) {
        if (entry == label)
            return;
    }
    labels.append(label);
}

void refreshExactColorLabels()
{
    // Copy: applySemantic appends, and a label may have been created meanwhile.
    const QList<QPointer<ZLabel>> labels = exactColorLabels();
    for (const QPointer<ZLabel> &label : labels) {
        if (!label)
            continue;
        const QVariant value = label->property("tavrinSemantic");
        bool ok = false;
        const int s = value.toInt(&ok);
        if (value.isValid() && ok)
            applySemantic(label, Semantic(s));
    }
}

namespace {

QStringList motionQuery()
{
    return {QStringLiteral("get"), QStringLiteral("com.zarnex.wrap.gnome.desktop.interface"),
            QStringLiteral("enable-animations")};
}

// 1 when the desktop asks for reduced motion, else 0 (also when it cannot be told).
int motionAnswer(const QProcess &gsettings, bool finished, const QByteArray &output)
{
    if (!finished || gsettings.exitStatus() != QProcess::NormalExit || gsettings.exitCode() != 0) {
        qWarning() << "reduceMotionRequested: gsettings query failed (exit" << gsettings.exitCode()
                   << ")- keeping animations enabled";
        return 0;
    }
    const QString out = QString::fromUtf8(output).trimmed();
    if (out == QLatin1String("true"))
        return 0;
    if (out == QLatin1String("false"))
        return 1;
    qWarning() << "reduceMotionRequested: unexpected gsettings output" << out
               << "-keeping animations enabled";
    return 0;
}

} // namespace

bool reduceMotionRequested()
{
    if (g_reduceMotion == 0 || g_reduceMotion == 1)
        return g_reduceMotion == 1;

    QProcess gsettings;
    gsettings.start(QStringLiteral("gsettings"), motionQuery());
    const bool finished = gsettings.waitForFinished(3000);
    if (!finished) {
        gsettings.kill();
        gsettings.waitForFinished(1000);
    }
    g_reduceMotion = motionAnswer(gsettings, finished, gsettings.readAllStandardOutput());
    return g_reduceMotion == 1;
}

bool reduceMotionKnown()
{
    return g_reduceMotion == 0 || g_reduceMotion == 1;
}

void whenMotionKnown(QObject *context, std::function<void(bool reduce)> then)
{
    if (reduceMotionKnown()) {
        then(g_reduceMotion == 1);
        return;
    }
    // Owned by the application, not by `context`: a page closed meanwhile must
    // not destroy a running child. Its end (deferred deletion) tells `then`.
    auto *gsettings = new QProcess(QCoreApplication::instance());
    auto settle = [gsettings](bool finished) {
        const int value =
            motionAnswer(*gsettings, finished, finished ? gsettings->readAllStandardOutput() : QByteArray());
        if (!reduceMotionKnown())
            g_reduceMotion = value;
        gsettings->deleteLater();
    };
    QObject::connect(gsettings, &QProcess::finished, gsettings, [settle] { settle(true); });
    QObject::connect(gsettings, &QProcess::errorOccurred, gsettings, [settle](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            settle(false);
    });
    QObject::connect(gsettings, &QObject::destroyed, context, [then] { then(g_reduceMotion == 1); });
    // A query that hangs is ended; the caller then keeps its animations. The
    // guard dies with the query: a single-shot timer would still fire 3 s
    // later into nothing, waking an idle window.
    auto *guard = new QTimer(gsettings);
    guard->setSingleShot(true);
    QObject::connect(guard, &QTimer::timeout, gsettings, &QProcess::kill);
    guard->start(3000);
    gsettings->start(QStringLiteral("gsettings"), motionQuery());
}

void resetReduceMotionCache()
{
    g_reduceMotion = -1;
}

int textLevelSize(TextLevel level)
{
    switch (level) {
    case PageTitle:
    case Hero:
        return ZFontSizeManager::T2;
    case SectionTitle:
    case ItemTitle:
        return ZFontSizeManager::T5;
    case Value:
        return ZFontSizeManager::T4;
    case Small:
        return ZFontSizeManager::T7;
    case Caption:
        return ZFontSizeManager::T8;
    case Body:
    default:
        return ZFontSizeManager::T6;
    }
}

bool textLevelWraps(TextLevel level)
{
    return level == Body || level == Caption;
}

void bindTextLevel(QWidget *widget, TextLevel level)
{
    ZFontSizeManager::instance()->bind(widget, ZFontSizeManager::SizeType(textLevelSize(level)));
}

ZLabel *makeLabel(const QString &text, TextLevel level, Semantic semantic)
{
    auto *label = new ZLabel(text);
    bindTextLevel(label, level);
    applySemantic(label, semantic);
    label->setWordWrap(textLevelWraps(level));
    return label;
}

// ---- TavrinPanel ----

TavrinPanel::TavrinPanel(QWidget *parent, Level level) : QWidget(parent), m_level(level)
{
    m_layout = new QVBoxLayout(this);
    m_layout->setContentsMargins(16, 12, 16, 12);
    m_layout->setSpacing(12);
}

void TavrinPanel::paintEvent(QPaintEvent *)
{
    if (m_level == Transparent)
        return;
    const QColor fill = m_level == Card ? baseColor() : itemBackground();
    fillRounded(this, QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 8, fill);
}

// ---- TavrinSection ----

TavrinSection::TavrinSection(const QString &title, const QString &description, QWidget *parent)
    : TavrinPanel(parent, Card)
{
    m_header = new QHBoxLayout;
    m_header->setSpacing(8);
    auto *column = new QVBoxLayout;
    column->setSpacing(4);
    column->addWidget(makeLabel(title, SectionTitle, Normal));
    if (!description.isEmpty())
        column->addWidget(makeLabel(description, Body, Muted));
    m_header->addLayout(column, 1);
    m_layout->addLayout(m_header);
}

void TavrinSection::addHeaderWidget(QWidget *widget)
{
    if (widget)
        m_header->addWidget(widget, 0, Qt::AlignRight | Qt::AlignVCenter);
}

// ---- TavrinRow ----

TavrinRow::TavrinRow(QWidget *parent) : QWidget(parent)
{
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(16);

    auto *column = new QVBoxLayout;
    column->setSpacing(4);
    m_title = makeLabel(QString(), ItemTitle, Normal);
    m_description = makeLabel(QString(), Body, Muted);
    m_description->setVisible(false);
    column->addWidget(m_title);
    column->addWidget(m_description);
    layout->addLayout(column, 1);

    m_container = new QWidget(this);
    m_container->setMinimumWidth(0);
    m_container->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    m_controlsLayout = new QHBoxLayout(m_container);
    m_controlsLayout->setContentsMargins(0, 0, 0, 0);
    m_controlsLayout->setSpacing(8);
    layout->addWidget(m_container, 0, Qt::AlignVCenter);

    setMinimumHeight(48);
}

void TavrinRow::setTitle(const QString &text)
{
    m_title->setText(text);
    if (text.isEmpty())
        return;
    for (QWidget *control : std::as_const(m_controls)) {
        if (control && control->accessibleName().isEmpty())
            control->setAccessibleName(text);
    }
}

QString TavrinRow::title() const
{
    return m_title->text();
}

void TavrinRow::setDescription(const QString &text)
{
    m_description->setText(text);
    m_description->setVisible(!text.isEmpty());
}

QString TavrinRow::description() const
{
    return m_description->isVisible() ? m_description->text() : QString();
}

void TavrinRow::addControl(QWidget *widget, int minWidth)
{
    if (!widget)
        return;
    if (minWidth < 0)
        minWidth = 200;
    if (minWidth > m_widestMin) {
        m_widestMin = minWidth;
        m_container->setMinimumWidth(minWidth);
    }
    m_controlsLayout->addWidget(widget, 0, Qt::AlignVCenter);
    m_controls.append(widget);
    if (widget->accessibleName().isEmpty() && !title().isEmpty())
        widget->setAccessibleName(title());
}

void TavrinRow::addStretch(int stretch)
{
    m_controlsLayout->addStretch(stretch);
}

void TavrinRow::setHighlight(double value)
{
    m_highlight = value;
    update();
}

void TavrinRow::flashHighlight()
{
    if (reduceMotionRequested()) {
        if (m_animation)
            m_animation->stop();
        if (m_holdTimer)
            m_holdTimer->stop();
        setHighlight(1.0);
        QPointer<TavrinRow> self(this);
        QTimer::singleShot(1200, this, [self] {
            if (self)
                self->setHighlight(0.0);
        });
        return;
    }
    if (!m_animation)
        m_animation = new QPropertyAnimation(this, "highlight", this);
    m_animation->stop();
    m_animation->setDuration(320);
    m_animation->setStartValue(1.0);
    m_animation->setEndValue(0.0);
    m_animation->setEasingCurve(QEasingCurve::OutCubic);
    setHighlight(1.0);
    if (!m_holdTimer) {
        m_holdTimer = new QTimer(this);
        m_holdTimer->setSingleShot(true);
        connect(m_holdTimer, &QTimer::timeout, m_animation, [this] { m_animation->start(); });
    }
    m_holdTimer->start(1200);
}

void TavrinRow::paintEvent(QPaintEvent *event)
{
    if (m_highlight > 0.0) {
        QColor fill = softFill(Accent, 38);
        fill.setAlphaF(float(qBound(0.0, fill.alphaF() * m_highlight, 1.0)));
        fillRounded(this, QRectF(-8, 0, width() + 16, height()), 8, fill);
    }
    QWidget::paintEvent(event);
}

// ---- TavrinBadge ----

TavrinBadge::TavrinBadge(const QString &text, Semantic semantic, QWidget *parent)
    : QWidget(parent), m_semantic(semantic)
{
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(8, 4, 8, 4);
    layout->setSpacing(0);
    m_label = makeLabel(text, Small, semantic);
    m_label->setAlignment(Qt::AlignCenter);
    layout->addWidget(m_label);
    setMinimumHeight(20);
    setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Fixed);
}

void TavrinBadge::setText(const QString &text)
{
    m_label->setText(text);
}

QString TavrinBadge::text() const
{
    return m_label->text();
}

void TavrinBadge::setSemantic(Semantic semantic)
{
    m_semantic = semantic;
    refresh();
}

void TavrinBadge::refresh()
{
    applySemantic(m_label, m_semantic);
    update();
}

void TavrinBadge::paintEvent(QPaintEvent *)
{
    fillRounded(this, QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 4, softFill(m_semantic, 38));
}

// ---- TavrinInlineBanner ----

TavrinInlineBanner::TavrinInlineBanner(QWidget *parent) : QWidget(parent)
{
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Maximum);
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(12, 8, 8, 8);
    layout->setSpacing(8);

    m_icon = new QLabel(this);
    m_icon->setFixedSize(20, 20);
    m_icon->setAlignment(Qt::AlignCenter);
    layout->addWidget(m_icon, 0, Qt::AlignVCenter);

    m_textColumn = new QVBoxLayout;
    m_textColumn->setContentsMargins(0, 0, 0, 0);
    m_textColumn->setSpacing(4);
    m_text = makeLabel(QString(), Body, Normal);
    m_text->setTextFormat(Qt::PlainText);
    m_textColumn->addWidget(m_text);
    layout->addLayout(m_textColumn, 1);

    m_actions = new QWidget(this);
    m_actionsLayout = new QHBoxLayout(m_actions);
    m_actionsLayout->setContentsMargins(0, 0, 0, 0);
    m_actionsLayout->setSpacing(8);
    m_actions->setVisible(false);
    layout->addWidget(m_actions, 0, Qt::AlignVCenter);

    m_close = new QPushButton(this);
    m_close->setFlat(true);
    m_close->setFixedSize(36, 36);
    // The toolkit's plain cross: the theme's close icon is a red disc that
    // reads as an error on a success banner.
    m_close->setIcon(ZentkPaint::glyphIcon(ZentkPaint::Glyph::Close));
    m_close->setIconSize(QSize(16, 16));
    m_close->setToolTip(tr("关闭"));
    m_close->setAccessibleName(tr("关闭提示"));
    m_close->setVisible(false);
    layout->addWidget(m_close, 0, Qt::AlignVCenter);
    connect(m_close, &QPushButton::clicked, this, [this] {
        emit dismissed();
        hide();
    });

    refresh();
}

void TavrinInlineBanner::setText(const QString &text)
{
    if (!text.isEmpty() && m_dismissTimer)
        m_dismissTimer->stop();
    m_text->setText(text);
    setAccessibleName(text);
    setVisible(!text.isEmpty());
    // Screen readers speak an alert at once; a banner is news the user did not
    // ask to read.
    if (!text.isEmpty() && QAccessible::isActive()) {
        QAccessibleEvent alert(this, QAccessible::Alert);
        QAccessible::updateAccessibility(&alert);
    }
}

QString TavrinInlineBanner::text() const
{
    return m_text->text();
}

void TavrinInlineBanner::setSemantic(Semantic semantic)
{
    m_semantic = semantic;
    refresh();
}

void TavrinInlineBanner::setClosable(bool closable)
{
    m_close->setVisible(closable);
}

QPushButton *TavrinInlineBanner::addAction(const QString &text, bool primary)
{
    m_actions->setVisible(true);
    QPushButton *button = makeActionButton(text, primary, m_actions);
    m_actionsLayout->addWidget(button);
    return button;
}

void TavrinInlineBanner::setDetails(const QString &title, const QString &details)
{
    if (m_details) {
        m_details->hide();
        m_details->deleteLater();
        m_details = nullptr;
    }
    if (details.isEmpty())
        return;
    ZLabel *label = makeLabel(details, Caption, Muted);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_details = new TavrinCollapsible(title, this);
    m_details->setContent(label);
    m_textColumn->addWidget(m_details);
}

void TavrinInlineBanner::autoDismiss(int ms)
{
    if (!m_dismissTimer) {
        m_dismissTimer = new QTimer(this);
        m_dismissTimer->setSingleShot(true);
        connect(m_dismissTimer, &QTimer::timeout, this, &QWidget::hide);
    }
    m_dismissTimer->start(ms);
}

void TavrinInlineBanner::refresh()
{
    QIcon icon;
    switch (m_semantic) {
    case Success:
        icon = themedIcon(QStringLiteral("dialog-ok"), QStyle::SP_DialogApplyButton);
        break;
    case Warning:
        icon = themedIcon(QStringLiteral("dialog-warning"), QStyle::SP_MessageBoxWarning);
        break;
    case Danger:
        icon = themedIcon(QStringLiteral("dialog-error"), QStyle::SP_MessageBoxCritical);
        break;
    default:
        icon = themedIcon(QStringLiteral("dialog-information"), QStyle::SP_MessageBoxInformation);
        break;
    }
    m_icon->setPixmap(icon.pixmap(20, 20));
    applySemantic(m_text, Normal);
    update();
}

void TavrinInlineBanner::paintEvent(QPaintEvent *)
{
    fillRounded(this, QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 8, softFill(m_semantic, 51));
}

// ---- TavrinEmptyState ----

TavrinEmptyState::TavrinEmptyState(QWidget *parent) : QWidget(parent)
{
    m_layout = new QVBoxLayout(this);
    m_layout->setContentsMargins(24, 32, 24, 32);
    m_layout->setSpacing(8);

    m_icon = new QLabel(this);
    m_icon->setFixedSize(32, 32);
    m_icon->setAlignment(Qt::AlignCenter);
    m_title = makeLabel(QString(), SectionTitle, Normal);
    m_title->setAlignment(Qt::AlignCenter);
    m_title->setWordWrap(true);
    m_description = makeLabel(QString(), Body, Muted);
    m_description->setAlignment(Qt::AlignCenter);
    m_description->setVisible(false);
    m_layout->addWidget(m_icon, 0, Qt::AlignHCenter);
    m_layout->addWidget(m_title);
    m_layout->addWidget(m_description);

    connect(ZGuiApplicationHelper::instance(), &ZGuiApplicationHelper::applicationPaletteChanged, this,
            [this] { refreshIcon(); });
}

void TavrinEmptyState::setTitle(const QString &text)
{
    m_title->setText(text);
}

void TavrinEmptyState::setDescription(const QString &text)
{
    m_description->setText(text);
    m_description->setVisible(!text.isEmpty());
}

void TavrinEmptyState::setIcon(const QString &themeName)
{
    m_iconName = themeName;
    refreshIcon();
}

QPushButton *TavrinEmptyState::addAction(const QString &text, bool primary)
{
    if (!m_actions) {
        m_layout->addSpacing(8);
        m_actions = new QHBoxLayout;
        m_actions->setSpacing(8);
        m_actions->setAlignment(Qt::AlignHCenter);
        m_layout->addLayout(m_actions);
    }
    QPushButton *button = makeActionButton(text, primary, this);
    m_actions->addWidget(button);
    return button;
}

void TavrinEmptyState::refreshIcon()
{
    if (m_iconName.isEmpty()) {
        m_icon->setPixmap(QPixmap());
        return;
    }
    m_icon->setPixmap(themedIcon(m_iconName, QStyle::SP_DriveHDIcon).pixmap(32, 32));
}

// ---- TavrinLocalLoading ----

TavrinLocalLoading::TavrinLocalLoading(const QString &text, QWidget *parent) : QWidget(parent)
{
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->setSpacing(8);
    m_spinner = new ZSpinner(this);
    m_spinner->setFixedSize(20, 20);
    m_label = makeLabel(text, Body, Muted);
    layout->addWidget(m_spinner);
    // The label takes the free width: beside a stretch, a word-wrapped label gets only its own
    // guess at a width and breaks a short line in two.
    layout->addWidget(m_label, 1);
}

void TavrinLocalLoading::setText(const QString &text)
{
    m_label->setText(text);
}

void TavrinLocalLoading::start()
{
    m_spinner->start();
    show();
}

void TavrinLocalLoading::stop()
{
    m_spinner->stop();
    hide();
}

// ---- TavrinFlatProgress ----

TavrinFlatProgress::TavrinFlatProgress(QWidget *parent) : ZProgressBar(parent)
{
    setFixedHeight(2);
    setTextVisible(false);
    setRange(0, 0);
    setVisible(false);
}

void TavrinFlatProgress::setBusy(bool busy)
{
    setVisible(busy);
    if (busy)
        setRange(0, 0);
    else
        setRange(0, 100);
}

// ---- TavrinSkeleton ----

TavrinSkeleton::TavrinSkeleton(QWidget *parent) : QWidget(parent)
{
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setFixedHeight((4 * m_rows - 1) * 8);
}

void TavrinSkeleton::setRows(int rows)
{
    m_rows = qMax(1, rows);
    setFixedHeight((4 * m_rows - 1) * 8);
    update();
}

void TavrinSkeleton::startPulse()
{
    m_wantPulse = true;
    // The desktop's answer is asked for without waiting: the skeleton is shown
    // while the window starts, when a blocking query would hold up the first paint.
    whenMotionKnown(this, [this](bool reduce) {
        if (!reduce && m_wantPulse)
            beginPulse();
    });
}

void TavrinSkeleton::beginPulse()
{
    if (m_pulse)
        return;
    m_pulse = new QTimer(this);
    m_pulse->setInterval(60);
    connect(m_pulse, &QTimer::timeout, this, [this] {
        m_phase = (m_phase + 1) % 20;
        update();
    });
    // Like the spinner, the pulse ticks only while it can be seen.
    if (isVisible())
        m_pulse->start();
}

void TavrinSkeleton::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (m_pulse)
        m_pulse->start();
}

void TavrinSkeleton::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    if (m_pulse)
        m_pulse->stop();
}

void TavrinSkeleton::stopPulse()
{
    m_wantPulse = false;
    if (m_pulse) {
        m_pulse->stop();
        m_pulse->deleteLater();
        m_pulse = nullptr;
    }
    update();
}

void TavrinSkeleton::paintEvent(QPaintEvent *)
{
    QColor fill = itemBackground();
    if (m_pulse)
        fill = blendOver(QColor(255, 255, 255, m_phase), fill);
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(fill);
    for (int i = 0; i < m_rows; ++i)
        p.drawRoundedRect(QRectF(0, 32 * i, width(), 24), 4, 4);
}

// ---- TavrinSeparator ----

TavrinSeparator::TavrinSeparator(QWidget *parent) : QWidget(parent)
{
    setFixedHeight(1);
}

void TavrinSeparator::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.fillRect(rect(), borderColor());
}

// ---- TavrinCollapsible ----

TavrinCollapsible::TavrinCollapsible(const QString &title, QWidget *parent) : QWidget(parent)
{
    m_layout = new QVBoxLayout(this);
    m_layout->setContentsMargins(0, 0, 0, 0);
    m_layout->setSpacing(8);
    m_header = new QPushButton(QStringLiteral("▸ ") + title, this);
    m_header->setFlat(true);
    m_header->setCursor(Qt::PointingHandCursor);
    m_header->setFocusPolicy(Qt::StrongFocus);
    m_header->setStyleSheet(QStringLiteral("text-align: left;"));
    m_layout->addWidget(m_header);
    connect(m_header, &QPushButton::clicked, this, [this] { setExpanded(!isExpanded()); });
}

void TavrinCollapsible::setContent(QWidget *widget)
{
    if (m_content || !widget)
        return;
    m_content = widget;
    widget->setParent(this);
    widget->hide();
    m_layout->addWidget(widget);
}

bool TavrinCollapsible::isExpanded() const
{
    // Not isVisible(): that also needs the collapsible itself on screen.
    return m_content && !m_content->isHidden();
}

void TavrinCollapsible::setExpanded(bool expanded)
{
    if (!m_content || expanded == isExpanded())
        return;
    m_content->setVisible(expanded);
    updateMark();
}

void TavrinCollapsible::updateMark()
{
    const QString rest = m_header->text().mid(2);
    m_header->setText((isExpanded() ? QStringLiteral("▾ ") : QStringLiteral("▸ ")) + rest);
}

// ---- TavrinResponsiveCardRow ----

TavrinResponsiveCardRow::TavrinResponsiveCardRow(int maxColumns, QWidget *parent)
    : QWidget(parent), m_maxColumns(qMax(1, maxColumns))
{
    m_grid = new QGridLayout(this);
    m_grid->setContentsMargins(0, 0, 0, 0);
    m_grid->setHorizontalSpacing(12);
    m_grid->setVerticalSpacing(12);
}

void TavrinResponsiveCardRow::addCard(QWidget *card)
{
    if (!card || m_cards.contains(card))
        return;
    m_cards.append(card);
    card->setParent(this);
    if (m_columns > 0) {
        relayout();
        return;
    }
    m_columns = qMax(1, qMin(int(m_cards.size()), m_maxColumns));
    for (int k = 0; k < m_cards.size(); ++k)
        m_grid->addWidget(m_cards.at(k), k / m_columns, k % m_columns);
    for (int i = 0; i < m_maxColumns; ++i)
        m_grid->setColumnStretch(i, i < m_columns ? 1 : 0);
}

void TavrinResponsiveCardRow::setAvailableWidth(int width)
{
    if (m_cards.isEmpty())
        return;
    int cardWidth = 0;
    for (QWidget *card : std::as_const(m_cards))
        cardWidth = qMax(cardWidth, card->minimumWidth());
    if (cardWidth <= 0)
        cardWidth = 168;
    int n = qMin(int(m_cards.size()), m_maxColumns);
    int needed = n * cardWidth + (n - 1) * 12;
    while (n > 0 && width < needed) {
        needed -= cardWidth + 12;
        --n;
    }
    n = qMax(1, n);
    if (n != m_columns) {
        m_columns = n;
        relayout();
    }
}

void TavrinResponsiveCardRow::relayout()
{
    if (m_columns <= 0)
        m_columns = 1;
    for (QWidget *card : std::as_const(m_cards))
        m_grid->removeWidget(card);
    for (int k = 0; k < m_cards.size(); ++k)
        m_grid->addWidget(m_cards.at(k), k / m_columns, k % m_columns);
    for (int i = 0; i < m_maxColumns; ++i) {
        m_grid->setColumnStretch(i, i < m_columns ? 1 : 0);
        m_grid->setRowStretch(i, 0);
    }
}

// ---- TavrinStateCard ----

TavrinStateCard::TavrinStateCard(const QString &title, QWidget *parent) : TavrinPanel(parent, Card)
{
    m_layout->setContentsMargins(16, 12, 16, 12);
    m_layout->setSpacing(4);
    ZLabel *titleLabel = makeLabel(title, Body, Muted);
    titleLabel->setWordWrap(true);
    m_value = makeLabel(QStringLiteral("-"), Hero, Normal);
    m_value->setWordWrap(true);
    m_badge = new TavrinBadge(QString(), Muted, this);
    m_badge->setVisible(false);
    m_layout->addWidget(titleLabel);
    m_layout->addWidget(m_value);
    m_layout->addSpacing(4);
    m_layout->addWidget(m_badge, 0, Qt::AlignLeft);
    setMinimumWidth(168);
}

void TavrinStateCard::setValue(const QString &text, Semantic semantic, TextLevel level)
{
    m_value->setText(text);
    bindTextLevel(m_value, level);
    applySemantic(m_value, semantic);
}

void TavrinStateCard::setStatus(const QString &text, Semantic semantic)
{
    m_badge->setVisible(!text.isEmpty());
    m_badge->setText(text);
    m_badge->setSemantic(semantic);
}

// ---- tables and dialogs ----

void setTableAccessibleName(QTableWidget *table, const QString &name)
{
    if (!table)
        return;
    table->setAccessibleName(name);
    // The header is a control of its own for assistive tools.
    table->horizontalHeader()->setAccessibleName(name);
}

QTableWidget *makeRecordTable(const QStringList &headers, const QString &accessibleName, QWidget *parent)
{
    auto *table = new QTableWidget(0, int(headers.size()), parent);
    table->setHorizontalHeaderLabels(headers);
    setTableAccessibleName(table, accessibleName);
    table->verticalHeader()->setVisible(false);
    table->setAlternatingRowColors(true);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setWordWrap(false);
    table->setShowGrid(false);
    table->setTextElideMode(Qt::ElideRight);
    table->setTabKeyNavigation(false);
    QHeaderView *header = table->horizontalHeader();
    header->setFixedHeight(42);
    header->setSectionsMovable(false);
    header->setSectionResizeMode(QHeaderView::Fixed);
    header->setMinimumSectionSize(72);
    header->setStretchLastSection(false);
    table->verticalHeader()->setDefaultSectionSize(48);
    table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    return table;
}

void finalizeTableAccessible(QTableWidget *table)
{
    if (!table)
        return;
    for (int row = 0; row < table->rowCount(); ++row) {
        for (int column = 0; column < table->columnCount(); ++column) {
            QTableWidgetItem *item = table->item(row, column);
            if (!item)
                continue;
            const QTableWidgetItem *headerItem = table->horizontalHeaderItem(column);
            const QString header = headerItem ? headerItem->text() : QString();
            const QString text = item->text();
            item->setData(Qt::AccessibleTextRole, text.isEmpty()
                                                      ? QStringLiteral("%1: -").arg(header)
                                                      : QStringLiteral("%1: %2").arg(header, text));
        }
    }
}

namespace {

// One even wash over the whole content while a dialog is up: disabled
// widgets alone grey out unevenly, since custom-painted ones keep their colours.
class ContentVeil : public QWidget
{
public:
    explicit ContentVeil(QWidget *content) : QWidget(content)
    {
        setObjectName(QStringLiteral("tavrinDialogVeil"));
        setAttribute(Qt::WA_TransparentForMouseEvents);
        content->installEventFilter(this);
        setGeometry(content->rect());
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == parentWidget() && event->type() == QEvent::Resize)
            setGeometry(parentWidget()->rect());
        return QWidget::eventFilter(watched, event);
    }

    void paintEvent(QPaintEvent *) override
    {
        QColor wash = windowColor();
        wash.setAlpha(150);
        QPainter(this).fillRect(rect(), wash);
    }
};

class DialogFreezeGuard : public QObject
{
public:
    DialogFreezeGuard(QWidget *central, QObject *parent) : QObject(parent), m_central(central) {}
    ~DialogFreezeGuard() override { delete m_veil; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (m_central) {
            if (event->type() == QEvent::Show) {
                m_central->setEnabled(false);
                if (!m_veil)
                    m_veil = new ContentVeil(m_central);
                m_veil->show();
                m_veil->raise();
            } else if (event->type() == QEvent::Hide) {
                m_central->setEnabled(true);
                if (m_veil)
                    m_veil->hide();
            }
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QPointer<QWidget> m_central;
    QPointer<QWidget> m_veil;
};

} // namespace

void makeDialogNonBlockingWindowModal(QWidget *dialog)
{
    if (!dialog || !dialog->parentWidget())
        return;
    QWidget *window = dialog->parentWidget()->window();
    if (!window || window == dialog)
        return;
    auto *mainWindow = qobject_cast<QMainWindow *>(window);
    if (!mainWindow || !mainWindow->centralWidget())
        return;

    Qt::WindowFlags flags = dialog->windowFlags();
    if (!(flags & Qt::Window))
        flags |= Qt::Window;
    dialog->setParent(mainWindow, flags);
    dialog->setWindowModality(Qt::NonModal);

    QPointer<QWidget> central = mainWindow->centralWidget();
    dialog->installEventFilter(new DialogFreezeGuard(central, dialog));
    QObject::connect(dialog, &QObject::destroyed, mainWindow, [central] {
        if (central)
            central->setEnabled(true);
    });
}

void disableDialogTransparency(QWidget *) {}

SegmentButton::SegmentButton(const QString &text, QWidget *parent) : ZPushButton(text, parent)
{
    setCheckable(true);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::StrongFocus);
}

QSize SegmentButton::sizeHint() const
{
    const QFontMetrics fm(font());
    return QSize(fm.horizontalAdvance(text()) + 2 * fm.height(), fm.height() + 14);
}

void SegmentButton::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const ZPalette pal = appPalette();
    const QRectF r = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    QColor fill = isChecked() ? pal.color(QPalette::Highlight) : pal.color(ZPalette::ItemBackground);
    if (!isChecked() && underMouse())
        fill = fill.darker(
            ZGuiApplicationHelper::instance()->themeType() == ZGuiApplicationHelper::DarkType ? 70 : 106);
    p.setPen(isChecked() ? Qt::NoPen : QPen(pal.color(ZPalette::FrameBorder), 1));
    p.setBrush(fill);
    p.drawRoundedRect(r, 6, 6);
    if (hasFocus()) {
        p.setPen(QPen(pal.color(QPalette::Highlight), 1.5, Qt::DotLine));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(r.adjusted(2, 2, -2, -2), 4, 4);
    }
    p.setPen(isChecked() ? pal.color(QPalette::HighlightedText) : pal.color(QPalette::ButtonText));
    p.drawText(rect(), Qt::AlignCenter, text());
}

} // namespace TavrinUi
