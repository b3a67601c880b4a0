#pragma once

#include <QString>

QString tavrinStyleSheet();

namespace TavrinUi {
void refreshExactColorLabels();
}
