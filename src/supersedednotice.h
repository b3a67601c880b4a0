#pragma once

#include "backend/backend.h"
#include "ui/components.h"

class QPushButton;

// Says that a staged rollback was replaced by a later upgrade and will not take
// effect, and offers to delete its safety backup, which nothing removes any more.
class SupersededNotice : public TavrinUi::TavrinInlineBanner
{
    Q_OBJECT

public:
    explicit SupersededNotice(QWidget *parent = nullptr);

    // Shown for a superseded rollback, hidden for any other state.
    void showState(const Tavrin::RollbackState &state, bool superseded);
    const Tavrin::RollbackState &state() const { return shown; }

signals:
    void removeRequested();

private:
    QPushButton *removeButton = nullptr;
    Tavrin::RollbackState shown;
};
