#include "ui/components.h"

QString tavrinStyleSheet()
{
    return QString();
}

namespace TavrinUi {
void refreshExactColorLabels() {}
} // namespace TavrinUi
