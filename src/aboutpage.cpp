#include "aboutpage.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

#include "ui/aboutdialog.h"
#include "ui/components.h"
#include "ui/pageblocks.h"
#include "zguiapplicationhelper.h"
#include "zlabel.h"

AboutPage::AboutPage(QWidget *parent) : BasePage(parent)
{
    using namespace TavrinUi;

    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    auto *scroll = new QScrollArea(this);
    scroll->setObjectName(QStringLiteral("tavrinScroll"));
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    outer->addWidget(scroll);

    auto *content = new QWidget;
    auto *layout = new QVBoxLayout(content);
    layout->setContentsMargins(24, 20, 24, 20);
    layout->setSpacing(16);

    auto *hero = new TavrinPanel(content, TavrinPanel::Card);
    auto *heroRow = new QHBoxLayout;
    heroRow->setSpacing(16);
    auto *icon = new QLabel(hero);
    icon->setFixedSize(64, 64);
    icon->setPixmap(productIcon().pixmap(64, 64));
    heroRow->addWidget(icon, 0, Qt::AlignTop);
    auto *heroText = new QVBoxLayout;
    heroText->setSpacing(4);
    ZLabel *name = makeLabel(tr("Tavrin设置"), PageTitle, Normal);
    name->setObjectName(QStringLiteral("tavrinPageTitle"));
    heroText->addWidget(name);
    heroText->addWidget(makeLabel(productVersionLine(), Body, Muted));
    heroText->addSpacing(4);
    heroText->addWidget(createCopyVersionButton(hero), 0, Qt::AlignLeft);
    heroRow->addLayout(heroText, 1);
    hero->contentLayout()->addLayout(heroRow);
    hero->contentLayout()->addWidget(new TavrinSeparator(hero));
    hero->contentLayout()->addWidget(createProductFacts(hero));
    layout->addWidget(hero);

    auto *tech = new TavrinSection(tr("Tavrin系统技术参考"), tr("Tavrin系统的核心机制"), content);
    tech->contentLayout()->addWidget(createTechReference(tech));
    layout->addWidget(tech);

    auto *commands = new TavrinSection(tr("常用命令参考"), tr("与本程序操作对应的命令行"), content);
    commands->contentLayout()->addWidget(createCommandReference(commands, tr("复制")));
    layout->addWidget(commands);
    layout->addStretch(1);

    scroll->setWidget(content);
}
