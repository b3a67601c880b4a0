#include "ui/theme.h"

#include <QApplication>
#include <QCoreApplication>
#include <QFile>
#include <QList>
#include <QPainter>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QTimer>

#include <cmath>

#include "zfontsizemanager.h"
#include "zguiapplicationhelper.h"
#include "zicontheme.h"
#include "zlabel.h"
#include "zpushbutton.h"
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

} // namespace

namespace detail {

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

} // namespace detail

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
        return detail::blendOver(c, baseColor());
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

} // namespace TavrinUi
