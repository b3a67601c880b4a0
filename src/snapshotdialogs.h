#pragma once

#include "backend/retention.h"

#include <QString>
#include <QStringList>

#include <optional>

class QWidget;

// The dialogs of the snapshots page that ask for a snapshot's name and
// description, and the texts around retention that go with a creation.
namespace SnapshotDialogs {

struct SnapshotText
{
    QString name;
    QString desc;
};

struct TextDialogSetup
{
    enum Mode { Create, Edit };
    Mode mode = Create;
    QString name;
    QString desc;
    // Shown above the buttons, as a warning: what else the action does.
    QStringList notice;
};

// A snapshot's name for a dialog or a banner: one line, cut in the middle.
QString shortName(const QString &text);

// The name and description entered (trimmed), or nothing when cancelled.
std::optional<SnapshotText> askSnapshotText(QWidget *parent, const TextDialogSetup &setup);

// Why a name and description cannot be used for a creation ("" when they can).
QString createProblem(const QString &name, const QString &desc);
// The same for a change of an ordinary snapshot, which must not come to look
// like the initial one (and so become undeletable and unprunable).
QString editProblem(const QString &name, const QString &desc);

// What a creation will remove to keep the limit, as lines for its dialog;
// empty when it removes nothing and there is nothing to say. `listKnown`:
// whether the snapshot list could be read.
QStringList pruneNotice(const Tavrin::PrunePlan &plan, const Tavrin::RetentionPrefs &prefs, bool listKnown);

// The banner text after a creation with removals; `warning` tells whether
// something was not done.
QString pruneSummary(const Tavrin::PruningCreateOutcome &outcome, const QString &name,
                     const QList<Tavrin::SnapshotInfo> &removing, bool *warning);

} // namespace SnapshotDialogs
