#include "ui/appearance.h"

#include <QApplication>
#include <QPainter>
#include <QStyleOption>
#include <QTableWidget>

#include "ui/components.h"
#include "zguiapplicationhelper.h"
#include "zstyle.h"

namespace TavrinUi {

namespace {

constexpr QLatin1StringView kPrefix("tavrin");
constexpr QLatin1StringView kSidebar("tavrinSidebar");
constexpr QLatin1StringView kContent("tavrinContent");
constexpr QLatin1StringView kMask("tavrinMask");
constexpr QLatin1StringView kPageTitle("tavrinPageTitle");

bool paintsBackground(const QString &name)
{
    return name == kSidebar || name == kContent || name == kMask;
}

class AppearanceStyle : public ZStyle
{
    Q_OBJECT
public:
    using ZStyle::polish;
    using ZStyle::unpolish;

    void polish(QWidget *widget) override
    {
        ZStyle::polish(widget);
        const QString name = widget->objectName();
        if (!name.startsWith(kPrefix))
            return;
        if (paintsBackground(name)) {
            widget->setAttribute(Qt::WA_StyledBackground, true);
        } else if (name == kPageTitle) {
            // Only the weight: the size stays with the font-size manager,
            // which keeps the weight when it rescales.
            QFont font = widget->font();
            font.setWeight(QFont::DemiBold);
            widget->setFont(font);
        }
    }

    void unpolish(QWidget *widget) override
    {
        if (paintsBackground(widget->objectName()))
            widget->setAttribute(Qt::WA_StyledBackground, false);
        ZStyle::unpolish(widget);
    }

    void drawPrimitive(PrimitiveElement element, const QStyleOption *option, QPainter *painter,
                       const QWidget *widget) const override
    {
        if (element == PE_Widget && widget && paintWidgetBackground(option, painter, widget))
            return;
        ZStyle::drawPrimitive(element, option, painter, widget);
    }

private:
    static bool paintWidgetBackground(const QStyleOption *option, QPainter *painter, const QWidget *widget)
    {
        const QString name = widget->objectName();
        const QRect r = option->rect;
        if (name == kSidebar) {
            painter->fillRect(r, option->palette.brush(QPalette::Base));
            painter->fillRect(QRect(r.right(), r.top(), 1, r.height()), borderColor());
            return true;
        }
        if (name == kContent) {
            painter->fillRect(r, option->palette.brush(QPalette::Window));
            return true;
        }
        if (name == kMask) {
            // A faint dimming that reads on both themes.
            painter->fillRect(r, QColor(0, 0, 0, 13));
            return true;
        }
        return false;
    }
};

QString rgba(const QColor &c)
{
    return QStringLiteral("rgba(%1, %2, %3, %4)").arg(c.red()).arg(c.green()).arg(c.blue()).arg(c.alpha());
}

QString snapshotTableSheet()
{
    static const char *const kTemplate = R"(
#tavrinSnapshotTable { background: %CARD%; border: 1px solid %BORDER%; border-radius: 10px; selection-background-color: %SELECTION%; selection-color: %TEXT%; alternate-background-color: %ALTBASE%; }
#tavrinSnapshotTable QHeaderView::section { background: %CARD%; color: %TEXTSUB%; border: none; border-bottom: 1px solid %BORDER%; padding: 0 8px; font-weight: 600; }
)";
    const ZPalette pal = appPalette();
    const QPalette::ColorGroup group = pal.currentColorGroup();
    QString sheet = QString::fromLatin1(kTemplate);
    sheet.replace(QStringLiteral("%CARD%"), pal.color(group, QPalette::Base).name());
    sheet.replace(QStringLiteral("%BORDER%"), pal.color(group, ZPalette::FrameBorder).name());
    sheet.replace(QStringLiteral("%TEXT%"), pal.color(group, QPalette::Text).name());
    sheet.replace(QStringLiteral("%TEXTSUB%"), pal.color(group, ZPalette::TextTips).name());
    sheet.replace(QStringLiteral("%ALTBASE%"), pal.color(group, QPalette::AlternateBase).name());
    // The selection is a soft wash of the accent, so selected rows keep the
    // normal text colour ("selection-color" above), drawn cells included.
    sheet.replace(QStringLiteral("%SELECTION%"), rgba(softFill(Accent, 46)));
    return sheet;
}

} // namespace

void applyAppearance()
{
    if (!qobject_cast<AppearanceStyle *>(QApplication::style())) {
        // Installing a style may put the style's own palette in place of the theme's.
        const ZPalette palette = ZGuiApplicationHelper::instance()->applicationPalette();
        QApplication::setStyle(new AppearanceStyle);
        QApplication::setPalette(palette);
    }
    // Qt hands the new palette to the widgets through posted events: let them
    // have it now, so what follows (and a page built next) sees the theme.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::ApplicationPaletteChange);
    refreshExactColorLabels();
    const QWidgetList widgets = QApplication::allWidgets();
    for (QWidget *w : widgets) {
        // A widget with a sheet of its own keeps the palette it was polished
        // with until the sheet is applied again.
        if (const QString sheet = w->styleSheet(); !sheet.isEmpty())
            w->setStyleSheet(sheet);
        // Widgets that paint from the theme's colours without a palette of
        // their own get no palette change event.
        w->update();
    }
}

void applySnapshotTableLook(QTableWidget *table)
{
    if (!table)
        return;
    table->setStyleSheet(snapshotTableSheet());
    if (table->property("tavrinThemed").toBool())
        return;
    table->setProperty("tavrinThemed", true);
    QObject::connect(ZGuiApplicationHelper::instance(), &ZGuiApplicationHelper::applicationPaletteChanged,
                     table, [table] { table->setStyleSheet(snapshotTableSheet()); });
}

} // namespace TavrinUi

#include "appearance.moc"
