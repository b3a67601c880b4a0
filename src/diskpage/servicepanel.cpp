#include "diskpage/servicepanel.h"

#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QTimer>

#include "disk/monitorconfig.h"
#include "diskpage/overviewcard.h"
#include "ui/diskanalysis.h"
#include "ui/monitorservice.h"
#include "zswitchbutton.h"

using namespace TavrinUi;

namespace DiskPage {

ServicePanel::ServicePanel(Tavrin::MonitorConfig *config, OverviewCard *card, QObject *parent)
    : QObject(parent), m_config(config), m_card(card)
{
    connect(card, &OverviewCard::startRequested, this, &ServicePanel::onStartMonitorService);
}

ServicePanel::~ServicePanel()
{
    stop();
}

void ServicePanel::stop()
{
    m_stopped = true;
    if (m_probe) {
        m_probe->disconnect(this);
        m_probe->kill();
        m_probe->waitForFinished(2000);
    }
}

bool ServicePanel::setMonitorService(bool enable, QString *error)
{
    return MonitorService::setTimerEnabled(enable, error);
}

bool ServicePanel::storeMonitorEnabled(bool on)
{
    if (m_config->setEnabled(on))
        return true;
    // The monitor reads the switch from the store: a timer left running against a store that says
    // "off" would sample nothing while the page claims otherwise. Undo the service change.
    QString ignored;
    setMonitorService(!on, &ignored);
    const QString text = Text::tr("无法保存设置（配置目录不可写或磁盘已满），此项更改未生效");
    if (m_switch) {
        const QSignalBlocker block(m_switch);
        m_switch->setChecked(!on);
        if (auto *error =
                m_switch->window()->findChild<QLabel *>(QStringLiteral("tavrinDiskSettingsError"))) {
            error->setText(text);
            error->setVisible(true);
        }
    }
    emit status(text, true);
    return false;
}

void ServicePanel::onMonitorToggled(bool on)
{
    QString error;
    if (setMonitorService(on, &error)) {
        if (!storeMonitorEnabled(on)) {
            updateServiceStatus();
            return;
        }
        if (on) {
            MonitorService::runSystemctlUser({QStringLiteral("start"), QStringLiteral("--no-block"),
                                              QLatin1String(MonitorService::kServiceUnit)},
                                             10000);
            // The page's own loading texts would hide the outcome: refresh first.
            emit refreshRequested();
            emit status(Text::tr("监控已开启，正在建立基线（由后台服务采样）"), false);
        } else {
            emit status(Text::tr("监控已关闭，历史数据保留"), false);
            emit overviewRequested();
            updateServiceStatus();
        }
        return;
    }
    m_config->setEnabled(!on);
    if (m_switch) {
        const QSignalBlocker block(m_switch);
        m_switch->setChecked(!on);
    }
    const QString brief = MonitorService::briefError(error);
    emit status(
        Text::tr("监控服务%1失败：%2")
            .arg(on ? Text::tr("启动") : Text::tr("停止"), brief.isEmpty() ? Text::tr("未知错误") : brief),
        true);
    updateServiceStatus();
}

void ServicePanel::onStartMonitorService()
{
    TavrinBadge *badge = m_card->badge();
    QPushButton *start = m_card->startButton();
    start->setVisible(false);
    badge->setText(Text::tr("正在启动磁盘监控…"));
    badge->setSemantic(Muted);
    if (MonitorService::findTimerFile().isEmpty()) {
        badge->setText(Text::tr("监控组件未安装：请先安装应用（sudo ./install.sh）"));
        badge->setSemantic(Danger);
        start->setVisible(true);
        return;
    }
    QString error;
    if (setMonitorService(true, &error)) {
        if (!storeMonitorEnabled(true)) {
            badge->setText(Text::tr("无法保存设置（配置目录不可写或磁盘已满），此项更改未生效"));
            badge->setSemantic(Danger);
            start->setVisible(true);
            return;
        }
        if (m_switch) {
            const QSignalBlocker block(m_switch);
            m_switch->setChecked(true);
        }
        MonitorService::runSystemctlUser({QStringLiteral("start"), QStringLiteral("--no-block"),
                                          QLatin1String(MonitorService::kServiceUnit)},
                                         10000);
        emit status(Text::tr("监控已开启，正在建立基线（由后台服务采样）"), false);
        QTimer::singleShot(1500, this, &ServicePanel::updateServiceStatus);
        return;
    }
    const QString brief = MonitorService::briefError(error);
    const QString text = Text::tr("启动失败：%1").arg(brief.isEmpty() ? Text::tr("未知错误") : brief);
    badge->setText(text);
    badge->setSemantic(Danger);
    emit status(text, true);
    start->setVisible(true);
}

void ServicePanel::updateServiceStatus()
{
    if (m_probe || m_stopped)
        return;
    m_card->badge()->setText(Text::tr("正在检测服务状态…"));
    m_card->badge()->setSemantic(Muted);
    auto *probe = new QProcess(this);
    m_probe = probe;
    // A hung user manager must not leave the badge waiting for ever.
    auto *limit = new QTimer(probe);
    limit->setSingleShot(true);
    connect(limit, &QTimer::timeout, probe, [probe] { probe->kill(); });
    connect(probe, &QProcess::finished, this, [this, probe] {
        const QString state = QString::fromUtf8(probe->readAllStandardOutput()).trimmed();
        probe->deleteLater();
        m_probe = nullptr;
        applyServiceStatus(state);
    });
    connect(probe, &QProcess::errorOccurred, this, [this, probe](QProcess::ProcessError e) {
        if (e != QProcess::FailedToStart)
            return;
        probe->deleteLater();
        m_probe = nullptr;
        applyServiceStatus(QString());
    });
    probe->start(QStringLiteral("systemctl"), {QStringLiteral("--user"), QStringLiteral("is-active"),
                                               QLatin1String(MonitorService::kTimerUnit)});
    limit->start(15000);
}

void ServicePanel::applyServiceStatus(const QString &state)
{
    TavrinBadge *badge = m_card->badge();
    bool needsStart = false;
    if (state.isEmpty()) {
        badge->setText(Text::tr("无法连接 systemd 用户会话"));
        badge->setSemantic(Danger);
    } else if (state == QLatin1String("active")) {
        badge->setText(Text::tr("磁盘监控运行中"));
        badge->setSemantic(Success);
    } else if (m_config->enabled()) {
        badge->setText(Text::tr("磁盘监控未启动，无法自动记录"));
        badge->setSemantic(Danger);
        needsStart = true;
    } else {
        badge->setText(Text::tr("磁盘监控未开启"));
        badge->setSemantic(Muted);
    }
    badge->setAccessibleName(badge->text());
    m_card->startButton()->setVisible(needsStart);
    emit probed(!state.isEmpty());
}

} // namespace DiskPage
