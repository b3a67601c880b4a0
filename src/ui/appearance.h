#pragma once

class QTableWidget;

namespace TavrinUi {

// Installs the program's style on the application (once) and brings every open
// window to the current theme. Called at start and after each theme change.
// The style adds to the toolkit's controls the few looks the program's own
// widgets ask for by object name: the sidebar's base colour with its right
// border, the content's window colour, the loading mask's wash and the bold
// page titles; widgets without such a name are not touched.
void applyAppearance();

// The snapshot table's look (rounded card, header sections, selection colour):
// a style sheet on that table alone, renewed on every theme change.
void applySnapshotTableLook(QTableWidget *table);

} // namespace TavrinUi
