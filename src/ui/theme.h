#pragma once

#include <QColor>
#include <QIcon>
#include <QString>
#include <QStyle>

#include <functional>

#include "zpalette.h"

class QObject;
class QWidget;
class ZLabel;

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

} // namespace TavrinUi
