#pragma once

#include "backend/comparestates.h"

#include <QDialog>
#include <QPushButton>

#include <functional>

class BasePage;
class QListWidget;

// Reads the states that can be compared on the comparison's pool and hands
// them to `done` on the GUI thread; `page` counts it as one of its tasks and
// a closed page never gets the answer.
void loadCompareStates(BasePage *page, std::function<void(const Tavrin::CompareStateList &)> done);

// Opens the comparison of the state `id` (snapshot id or deployment commit)
// with the booted deployment, or says on the page's banner why it cannot.
void compareWithBooted(BasePage *page, const QString &id);

// Opens the two-state picker over every snapshot and deployment, then the
// comparison of the two chosen (older first).
void pickAndCompare(BasePage *page, const QString &preselectedId);

// Lists every snapshot and deployment with a check box; "比较" is enabled once
// exactly two are checked.
class ComparePickDialog : public QDialog
{
    Q_OBJECT

public:
    ComparePickDialog(const QList<Tavrin::CompareState> &states, const QString &preselectedId,
                      QWidget *parent = nullptr);
    QList<Tavrin::CompareState> chosen() const;
    QListWidget *list() const { return listWidget; }

private:
    void updateState();

    QList<Tavrin::CompareState> states;
    QListWidget *listWidget = nullptr;
    QPushButton *compareButton = nullptr;
};

// "查看变更": shown while a deployment is staged for the next boot; opens the
// comparison of the booted deployment with it.
class StagedChangesButton : public QPushButton
{
    Q_OBJECT

public:
    explicit StagedChangesButton(BasePage *page);
    // Looks for a staged deployment and shows or hides the button.
    void check();

private:
    BasePage *page = nullptr;
    Tavrin::CompareState booted;
    Tavrin::CompareState staged;
};
