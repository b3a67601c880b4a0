<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US" sourcelanguage="zh_CN">
<context>
    <name>AboutPage</name>
    <message>
        <location filename="../src/aboutpage.cpp" line="43"/>
        <source>Tavrin设置</source>
        <translation>Tavrin Settings</translation>
    </message>
    <message>
        <location filename="../src/aboutpage.cpp" line="55"/>
        <source>Tavrin系统技术参考</source>
        <translation>Tavrin Technical Reference</translation>
    </message>
    <message>
        <location filename="../src/aboutpage.cpp" line="55"/>
        <source>Tavrin系统的核心机制</source>
        <translation>Core mechanisms of the Tavrin system</translation>
    </message>
    <message>
        <location filename="../src/aboutpage.cpp" line="59"/>
        <source>常用命令参考</source>
        <translation>Command Reference</translation>
    </message>
    <message>
        <location filename="../src/aboutpage.cpp" line="59"/>
        <source>与本程序操作对应的命令行</source>
        <translation>Command lines equivalent to the actions of this program</translation>
    </message>
    <message>
        <location filename="../src/aboutpage.cpp" line="60"/>
        <source>复制</source>
        <translation>Copy</translation>
    </message>
</context>
<context>
    <name>Backend</name>
    <message>
        <source>du 的输出无法识别: %1</source>
        <translation>du output not recognised: %1</translation>
    </message>
    <message>
        <source>无法识别保护状态: %1</source>
        <translation>Protection state not recognised: %1</translation>
    </message>
    <message>
        <source>部署缺少提交ID</source>
        <translation>The deployment has no commit ID</translation>
    </message>
    <message>
        <source>系统仓库中没有此部署: %1</source>
        <translation>The system repository holds no such deployment: %1</translation>
    </message>
    <message>
        <source>无法读取系统树: %1</source>
        <translation>System trees could not be read: %1</translation>
    </message>
    <message>
        <source>至少 %1</source>
        <translation>at least %1</translation>
    </message>
    <message>
        <source>未知</source>
        <translation>Unknown</translation>
    </message>
    <message>
        <source>文件过大</source>
        <translation>the file is too large</translation>
    </message>
    <message>
        <source>无法读取系统配置文件: %1</source>
        <translation>Cannot read the system configuration file: %1</translation>
    </message>
    <message>
        <source>安装 systemd 服务失败: %1</source>
        <translation>Failed to install the systemd service: %1</translation>
    </message>
    <message>
        <location filename="../src/backend/runner.cpp" line="232"/>
        <source>命令执行超时，操作可能仍在后台运行，请稍后查看系统状态: %1</source>
        <translation>Command timed out; the operation may still be running. Check the system state later: %1</translation>
    </message>
    <message>
        <location filename="../src/backend/snapshots.cpp" line="245"/>
        <source>备份名称不能以“-”开头。</source>
        <translation>A backup name cannot begin with “-”.</translation>
    </message>
    <message>
        <location filename="../src/backend/snapshots.cpp" line="247"/>
        <source>备份描述不能以“-”开头。</source>
        <translation>A backup description cannot begin with “-”.</translation>
    </message>
    <message>
        <location filename="../src/backend/snapshots.cpp" line="282"/>
        <location filename="../src/backend/snapshots.cpp" line="290"/>
        <location filename="../src/backend/snapshots.cpp" line="304"/>
        <source>无效的备份标识: %1</source>
        <translation>Invalid backup ID: %1</translation>
    </message>
    <message>
        <location filename="../src/backend/rollback.cpp" line="256"/>
        <source>无法确认还原后启动的系统，备份不会自动删除，请手动清理</source>
        <translation>The system booted after the restore cannot be confirmed. The backup will not be deleted automatically; remove it by hand.</translation>
    </message>
    <message>
        <location filename="../src/backend/rollback.cpp" line="257"/>
        <source>等待还原后的系统启动，之后开始计数</source>
        <translation>Waiting for the restored system to boot; counting starts then.</translation>
    </message>
    <message>
        <location filename="../src/backend/rollback.cpp" line="176"/>
        <source>无法写入临时状态文件</source>
        <translation>Cannot write the temporary state file</translation>
    </message>
    <message>
        <location filename="../src/backend/rollback.cpp" line="207"/>
        <source>安装 systemd 服务失败</source>
        <translation>Failed to install the systemd service</translation>
    </message>
    <message>
        <location filename="../src/backend/runner.cpp" line="283"/>
        <source>无法启动进程: %1</source>
        <translation>Cannot start process: %1</translation>
    </message>
    <message>
        <location filename="../src/backend/runner.cpp" line="233"/>
        <source>命令执行超时: %1</source>
        <translation>Command timed out: %1</translation>
    </message>
    <message>
        <location filename="../src/backend/runner.cpp" line="289"/>
        <source>命令输出过大: %1</source>
        <translation>Command output too large: %1</translation>
    </message>
    <message>
        <location filename="../src/backend/runner.cpp" line="321"/>
        <location filename="../src/backend/runner.cpp" line="329"/>
        <source>命令执行失败</source>
        <translation>Command failed</translation>
    </message>
    <message>
        <location filename="../src/backend/runner.cpp" line="331"/>
        <source>已取消授权，未执行操作</source>
        <translation>Authorization was cancelled; nothing was done</translation>
    </message>
    <message>
        <location filename="../src/backend/runner.cpp" line="333"/>
        <source>没有权限执行此操作</source>
        <translation>You are not allowed to perform this action</translation>
    </message>
    <message>
        <location filename="../src/backend/runner.cpp" line="335"/>
        <source>身份验证失败，请检查密码后重试</source>
        <translation>Authentication failed; check your password and try again</translation>
    </message>
    <message>
        <location filename="../src/backend/runner.cpp" line="337"/>
        <source>密码错误，请重试</source>
        <translation>Wrong password, please try again</translation>
    </message>
    <message>
        <location filename="../src/backend/runner.cpp" line="339"/>
        <source>权限不足，无法执行此操作</source>
        <translation>Insufficient privileges to perform this action</translation>
    </message>
    <message>
        <location filename="../src/backend/runner.cpp" line="341"/>
        <source>命令执行超时</source>
        <translation>Command timed out</translation>
    </message>
    <message>
        <location filename="../src/backend/writable.cpp" line="217"/>
        <source>无效的配置项: %1</source>
        <translation>Invalid configuration key: %1</translation>
    </message>
    <message>
        <location filename="../src/backend/writable.cpp" line="228"/>
        <location filename="../src/backend/writable.cpp" line="235"/>
        <source>无法读取系统配置文件</source>
        <translation>Cannot read the system configuration file</translation>
    </message>
    <message>
        <location filename="../src/backend/writable.cpp" line="242"/>
        <source>无法写入临时配置文件</source>
        <translation>Cannot write the temporary configuration file</translation>
    </message>
    <message>
        <location filename="../src/backend/snapshots.cpp" line="223"/>
        <source>无法解析快照列表: %1</source>
        <translation>Cannot parse the snapshot list: %1</translation>
    </message>
    <message>
        <location filename="../src/backend/reclaim.cpp" line="54"/>
        <source>部署状态无法解析</source>
        <translation>The deployment status cannot be read</translation>
    </message>
    <message>
        <source>无法识别可写层状态: %1</source>
        <translation>Unrecognised writable-layer status: %1</translation>
    </message>
    <message>
        <source>备份名称不能为空。</source>
        <translation>The backup name must not be empty.</translation>
    </message>
    <message>
        <source>一次最多清理 %1 个备份。</source>
        <translation>At most %1 backups can be removed at once.</translation>
    </message>
    <message>
        <source>%1 个超限备份未能删除。</source>
        <translation>%1 backups over the limit could not be deleted.</translation>
    </message>
</context>
<context>
    <name>DeploysPage</name>
    <message>
        <source>放弃待生效部署失败，系统未做任何更改。</source>
        <translation>Discarding the pending deployment failed; the system was not changed.</translation>
    </message>
    <message>
        <source>放弃待生效部署</source>
        <translation>Discard the pending deployment</translation>
    </message>
    <message>
        <source>放弃后，重启电脑时仍启动当前系统，这次还原不会生效。回滚前安全备份会保留，可在「系统快照」页手动删除。此操作不可撤销。</source>
        <translation>After discarding, the computer starts the current system again at the next boot and this rollback does not take effect. The safety backup made before the rollback is kept; you can delete it on the “System snapshots” page. This cannot be undone.</translation>
    </message>
    <message>
        <source>放弃后，重启电脑时仍启动当前系统，这次升级不会生效，需要时可以重新升级。此操作不可撤销。</source>
        <translation>After discarding, the computer starts the current system again at the next boot and this upgrade does not take effect; you can upgrade again when you need to. This cannot be undone.</translation>
    </message>
    <message>
        <source>放弃后，重启电脑时仍启动当前系统，待生效的部署会被删除。此操作不可撤销。</source>
        <translation>After discarding, the computer starts the current system again at the next boot and the pending deployment is deleted. This cannot be undone.</translation>
    </message>
    <message>
        <source>放弃部署</source>
        <translation>Discard deployment</translation>
    </message>
    <message>
        <source>正在放弃待生效部署...</source>
        <translation>Discarding the pending deployment...</translation>
    </message>
    <message>
        <source>已放弃待生效的还原，重启后仍启动当前系统。回滚前安全备份已保留，可在「系统快照」页手动删除。</source>
        <translation>The pending rollback was discarded; the current system starts again after a reboot. The safety backup made before the rollback was kept; you can delete it on the “System snapshots” page.</translation>
    </message>
    <message>
        <source>已放弃待生效的部署，重启后仍启动当前系统。</source>
        <translation>The pending deployment was discarded; the current system starts again after a reboot.</translation>
    </message>
    <message>
        <source>没有获得管理员授权，待生效的部署保持不变。</source>
        <translation>Administrator authorization was not given; the pending deployment is unchanged.</translation>
    </message>
    <message>
        <location filename="../src/deployspage.cpp" line="43"/>
        <source>该部署缺少标识信息，无法删除，请刷新列表后重试。</source>
        <translation>This deployment has no identifier and cannot be deleted; refresh the list and try again.</translation>
    </message>
    <message>
        <location filename="../src/deployspage.cpp" line="44"/>
        <source>删除该部署实例以释放磁盘空间，删除后该系统将无法再启动。</source>
        <translation>Delete this deployment to free disk space; it can no longer be booted afterwards.</translation>
    </message>
    <message>
        <location filename="../src/deployspage.cpp" line="46"/>
        <location filename="../src/deployspage.cpp" line="111"/>
        <source>当前启动</source>
        <translation>Booted</translation>
    </message>
    <message>
        <location filename="../src/deployspage.cpp" line="47"/>
        <source>此刻正在运行的系统，受系统保护，不能删除。</source>
        <translation>The system running right now; protected, cannot be deleted.</translation>
    </message>
    <message>
        <location filename="../src/deployspage.cpp" line="48"/>
        <source>这是当前正在运行的系统，不能删除。</source>
        <translation>This is the running system; it cannot be deleted.</translation>
    </message>
    <message>
        <location filename="../src/deployspage.cpp" line="51"/>
        <source>待生效</source>
        <translation>Pending</translation>
    </message>
    <message>
        <location filename="../src/deployspage.cpp" line="52"/>
        <source>系统更新后待生效的新系统，重启电脑后才会启用，届时它会变成「当前启动」。受系统保护，不能删除。</source>
        <translation>The new system staged by an update; it is used after a restart, when it becomes &quot;Booted&quot;. Protected, cannot be deleted.</translation>
    </message>
    <message>
        <location filename="../src/deployspage.cpp" line="54"/>
        <source>这是系统更新后待生效的新系统，重启电脑后才会启用，目前受系统保护，不能删除。</source>
        <translation>This is the new system staged by an update, used after a restart; it is protected and cannot be deleted.</translation>
    </message>
    <message>
        <location filename="../src/deployspage.cpp" line="56"/>
        <source>回滚备份</source>
        <translation>Rollback backup</translation>
    </message>
    <message>
        <location filename="../src/deployspage.cpp" line="57"/>
        <source>还原系统时自动创建的安全部署，确认系统正常后可以删除。</source>
        <translation>A safety deployment made when restoring; delete it once the system works.</translation>
    </message>
    <message>
        <location filename="../src/deployspage.cpp" line="58"/>
        <source>历史</source>
        <translation>History</translation>
    </message>
    <message>
        <location filename="../src/deployspage.cpp" line="59"/>
        <source>已不再使用的旧系统，可删除以释放磁盘空间。</source>
        <translation>An old system no longer in use; delete it to free disk space.</translation>
    </message>
    <message>
        <location filename="../src/deployspage.cpp" line="73"/>
        <source>无法计算</source>
        <translation>cannot be determined</translation>
    </message>
    <message>
        <location filename="../src/deployspage.cpp" line="110"/>
        <source>部署总数</source>
        <translation>Deployments</translation>
    </message>
    <message>
        <location filename="../src/deployspage.cpp" line="112"/>
        <source>可删除部署</source>
        <translation>Deletable</translation>
    </message>
    <message>
        <location filename="../src/deployspage.cpp" line="119"/>
        <location filename="../src/deployspage.cpp" line="177"/>
        <source>正在读取部署状态...</source>
        <translation>Reading deployments...</translation>
    </message>
    <message>
        <location filename="../src/deployspage.cpp" line="124"/>
        <source>索引</source>
        <translation>Index</translation>
    </message>
    <message>
        <location filename="../src/deployspage.cpp" line="124"/>
        <source>版本号</source>
        <translation>Version</translation>
    </message>
    <message>
        <location filename="../src/deployspage.cpp" line="124"/>
        <source>状态</source>
        <translation>Status</translation>
    </message>
    <message>
        <location filename="../src/deployspage.cpp" line="124"/>
        <source>部署时间</source>
        <translation>Deployed</translation>
    </message>
    <message>
        <location filename="../src/deployspage.cpp" line="124"/>
        <source>提交ID</source>
        <translation>Commit ID</translation>
    </message>
    <message>
        <location filename="../src/deployspage.cpp" line="124"/>
        <source>操作</source>
        <translation>Actions</translation>
    </message>
    <message>
        <location filename="../src/deployspage.cpp" line="124"/>
        <source>系统部署列表</source>
        <translation>Deployment list</translation>
    </message>
    <message>
        <location filename="../src/deployspage.cpp" line="136"/>
        <source>暂无系统部署实例</source>
        <translation>No deployments</translation>
    </message>
    <message>
        <location filename="../src/deployspage.cpp" line="137"/>
        <source>每次系统升级或回滚都会生成一个新的可启动系统（部署实例）。</source>
        <translation>Every upgrade or rollback creates a new bootable system (deployment).</translation>
    </message>
    <message>
        <location filename="../src/deployspage.cpp" line="145"/>
        <source>无法读取部署列表</source>
        <translation>Cannot read the deployment list</translation>
    </message>
    <message>
        <location filename="../src/deployspage.cpp" line="146"/>
        <source>重试</source>
        <translation>Retry</translation>
    </message>
    <message>
        <location filename="../src/deployspage.cpp" line="147"/>
        <source>重新读取部署列表</source>
        <translation>Read the deployment list again</translation>
    </message>
    <message>
        <location filename="../src/deployspage.cpp" line="152"/>
        <source>提示：带「当前启动」「待生效」标记的部署受系统保护，不能删除；要回到某个时间点，请到「系统快照」页还原。</source>
        <translation>Tip: deployments marked &quot;Booted&quot; or &quot;Pending&quot; are protected and cannot be deleted; to return to a point in time, restore on the Snapshots tab.</translation>
    </message>
    <message>
        <location filename="../src/deployspage.cpp" line="203"/>
        <source>未知错误</source>
        <translation>Unknown error</translation>
    </message>
    <message>
        <location filename="../src/deployspage.cpp" line="205"/>
        <location filename="../src/deployspage.cpp" line="220"/>
        <source>读取部署列表失败，请查看详情了解具体原因。</source>
        <translation>Reading the deployment list failed; see the details.</translation>
    </message>
    <message>
        <location filename="../src/deployspage.cpp" line="206"/>
        <location filename="../src/deployspage.cpp" line="425"/>
        <source>完整输出</source>
        <translation>Full output</translation>
    </message>
    <message>
        <location filename="../src/deployspage.cpp" line="276"/>
        <location filename="../src/deployspage.cpp" line="389"/>
        <source>删除部署</source>
        <translation>Delete deployment</translation>
    </message>
    <message>
        <location filename="../src/deployspage.cpp" line="280"/>
        <source>删除部署：%1</source>
        <translation>Delete deployment: %1</translation>
    </message>
    <message>
        <location filename="../src/deployspage.cpp" line="356"/>
        <source>该版本是系统更新后待生效的新系统，重启电脑后才会启用，目前受系统保护，无法删除。</source>
        <translation>This version is the new system staged by an update and is used after a restart; it is protected and cannot be deleted.</translation>
    </message>
    <message>
        <location filename="../src/deployspage.cpp" line="358"/>
        <source>这是当前正在运行的系统版本，无法删除。</source>
        <translation>This is the system version running now; it cannot be deleted.</translation>
    </message>
    <message>
        <location filename="../src/deployspage.cpp" line="360"/>
        <source>找不到对应的系统版本（索引越界或已不存在），请刷新列表后重试。</source>
        <translation>This system version was not found (index out of range or already gone); refresh the list and try again.</translation>
    </message>
    <message>
        <location filename="../src/deployspage.cpp" line="362"/>
        <source>没有获得管理员授权，删除未执行。请确认已正确输入密码；若仍失败，请检查系统的授权（polkit）设置。</source>
        <translation>Administrator authorisation was not granted; nothing was deleted. Check the password; if it still fails, check the system&apos;s authorisation (polkit) settings.</translation>
    </message>
    <message>
        <location filename="../src/deployspage.cpp" line="364"/>
        <source>删除失败，请查看详情了解具体原因。</source>
        <translation>Deletion failed; see the details.</translation>
    </message>
    <message>
        <location filename="../src/deployspage.cpp" line="376"/>
        <source>可释放空间: %1</source>
        <translation>Space freed: %1</translation>
    </message>
    <message>
        <location filename="../src/deployspage.cpp" line="377"/>
        <source>计算中…</source>
        <translation>calculating…</translation>
    </message>
    <message>
        <location filename="../src/deployspage.cpp" line="390"/>
        <source>删除后该版本的系统将无法再启动，占用空间会被释放。此操作不可撤销。</source>
        <translation>After deletion this system can no longer be booted and its space is freed. This cannot be undone.</translation>
    </message>
    <message>
        <location filename="../src/deployspage.cpp" line="391"/>
        <source>系统版本: %1</source>
        <translation>System version: %1</translation>
    </message>
    <message>
        <location filename="../src/deployspage.cpp" line="391"/>
        <source>部署时间: %1</source>
        <translation>Deployed: %1</translation>
    </message>
    <message>
        <location filename="../src/deployspage.cpp" line="392"/>
        <source>提交ID: %1</source>
        <translation>Commit ID: %1</translation>
    </message>
    <message>
        <location filename="../src/deployspage.cpp" line="394"/>
        <source>删除</source>
        <translation>Delete</translation>
    </message>
    <message>
        <location filename="../src/deployspage.cpp" line="395"/>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <location filename="../src/deployspage.cpp" line="402"/>
        <source>正在删除部署...</source>
        <translation>Deleting deployment...</translation>
    </message>
    <message>
        <location filename="../src/deployspage.cpp" line="421"/>
        <source>部署已删除，占用空间已释放。</source>
        <translation>Deployment deleted; its space was freed.</translation>
    </message>
</context>
<context>
    <name>DiskPage::HistoryModel</name>
    <message>
        <location filename="../src/diskpage/historymodel.cpp" line="253"/>
        <source>保存失败</source>
        <translation>Save failed</translation>
    </message>
    <message>
        <location filename="../src/diskpage/historymodel.cpp" line="280"/>
        <source>历史目录正被另一个进程占用，未清除任何数据</source>
        <translation>Another process holds the history directory; nothing was cleared</translation>
    </message>
    <message>
        <location filename="../src/diskpage/historymodel.cpp" line="281"/>
        <source>无法锁定历史目录，未清除任何数据</source>
        <translation>Could not lock the history directory; nothing was cleared</translation>
    </message>
    <message>
        <location filename="../src/diskpage/historymodel.cpp" line="299"/>
        <source>部分监控数据未能删除：%1</source>
        <translation>Some monitoring data could not be deleted: %1</translation>
    </message>
</context>
<context>
    <name>DiskUsagePage</name>
    <message>
        <source>打开位置：%1（菜单键或 Ctrl+O）</source>
        <translation>Open location: %1 (Menu key or Ctrl+O)</translation>
    </message>
    <message>
        <source>目录操作：%1</source>
        <translation>Folder actions: %1</translation>
    </message>
    <message>
        <location filename="../src/diskusagepage.cpp" line="219"/>
        <source>磁盘空间</source>
        <translation>Disk Space</translation>
    </message>
    <message>
        <location filename="../src/diskusagepage.cpp" line="219"/>
        <source>系统盘占用历史、增长分析与异常告警</source>
        <translation>System disk usage history, growth analysis and abnormal growth alerts</translation>
    </message>
    <message>
        <location filename="../src/diskpage/alertviews.cpp" line="25"/>
        <source>磁盘增长告警</source>
        <translation>Disk growth alert</translation>
    </message>
    <message>
        <location filename="../src/diskpage/rangebar.cpp" line="42"/>
        <source>15 天</source>
        <translation>15 days</translation>
    </message>
    <message>
        <location filename="../src/diskpage/rangebar.cpp" line="42"/>
        <source>30 天</source>
        <translation>30 days</translation>
    </message>
    <message>
        <location filename="../src/diskpage/rangebar.cpp" line="42"/>
        <source>90 天</source>
        <translation>90 days</translation>
    </message>
    <message>
        <location filename="../src/diskpage/rangebar.cpp" line="42"/>
        <source>180 天</source>
        <translation>180 days</translation>
    </message>
    <message>
        <location filename="../src/diskpage/rangebar.cpp" line="43"/>
        <source>1 年</source>
        <translation>1 year</translation>
    </message>
    <message>
        <location filename="../src/diskpage/rangebar.cpp" line="47"/>
        <source>显示最近 %1 天</source>
        <translation>Show the last %1 days</translation>
    </message>
    <message>
        <location filename="../src/diskpage/rangebar.cpp" line="53"/>
        <source>自定义…</source>
        <translation>Custom…</translation>
    </message>
    <message>
        <location filename="../src/diskpage/rangebar.cpp" line="54"/>
        <location filename="../src/diskpage/rangebar.cpp" line="96"/>
        <source>自定义日期范围</source>
        <translation>Custom date range</translation>
    </message>
    <message>
        <location filename="../src/diskpage/rangebar.cpp" line="96"/>
        <source>选择要查看的起止日期（最多 730 天）</source>
        <translation>Choose the first and last day to show (at most 730 days)</translation>
    </message>
    <message>
        <location filename="../src/diskpage/rangebar.cpp" line="108"/>
        <location filename="../src/diskpage/rangebar.cpp" line="110"/>
        <source>开始日期</source>
        <translation>From</translation>
    </message>
    <message>
        <location filename="../src/diskpage/rangebar.cpp" line="109"/>
        <location filename="../src/diskpage/rangebar.cpp" line="112"/>
        <source>结束日期</source>
        <translation>To</translation>
    </message>
    <message>
        <location filename="../src/diskpage/rangebar.cpp" line="115"/>
        <location filename="../src/diskusagepage.cpp" line="555"/>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <location filename="../src/diskpage/rangebar.cpp" line="116"/>
        <source>确定</source>
        <translation>OK</translation>
    </message>
    <message>
        <location filename="../src/diskpage/rangebar.cpp" line="60"/>
        <source>告警历史（0）</source>
        <translation>Alert history (0)</translation>
    </message>
    <message>
        <location filename="../src/diskpage/rangebar.cpp" line="62"/>
        <location filename="../src/diskusagepage.cpp" line="239"/>
        <source>导出 CSV</source>
        <translation>Export CSV</translation>
    </message>
    <message>
        <location filename="../src/diskpage/rangebar.cpp" line="63"/>
        <source>导出当前范围为 CSV</source>
        <translation>Export the loaded range as CSV</translation>
    </message>
    <message>
        <location filename="../src/diskusagepage.cpp" line="239"/>
        <source>CSV 文件 (*.csv)</source>
        <translation>CSV files (*.csv)</translation>
    </message>
    <message>
        <location filename="../src/diskpage/rangebar.cpp" line="64"/>
        <source>设置</source>
        <translation>Settings</translation>
    </message>
    <message>
        <location filename="../src/diskpage/rangebar.cpp" line="67"/>
        <location filename="../src/diskpage/settingsdialog.cpp" line="54"/>
        <source>磁盘空间设置</source>
        <translation>Disk Space Settings</translation>
    </message>
    <message>
        <location filename="../src/diskpage/rangebar.cpp" line="68"/>
        <source>立即扫描</source>
        <translation>Scan Now</translation>
    </message>
    <message>
        <location filename="../src/diskpage/rangebar.cpp" line="70"/>
        <source>立即扫描系统盘</source>
        <translation>Scan the system disk now</translation>
    </message>
    <message>
        <location filename="../src/diskpage/alertviews.cpp" line="57"/>
        <location filename="../src/diskpage/rangebar.cpp" line="74"/>
        <source>状态</source>
        <translation>Status</translation>
    </message>
    <message>
        <location filename="../src/diskpage/analysisview.cpp" line="172"/>
        <location filename="../src/diskpage/overviewcard.cpp" line="22"/>
        <source>系统盘</source>
        <translation>System disk</translation>
    </message>
    <message>
        <location filename="../src/diskpage/overviewcard.cpp" line="51"/>
        <location filename="../src/diskpage/servicepanel.cpp" line="145"/>
        <source>正在检测服务状态…</source>
        <translation>Checking the service…</translation>
    </message>
    <message>
        <location filename="../src/diskpage/overviewcard.cpp" line="29"/>
        <source>系统盘使用率</source>
        <translation>System disk usage</translation>
    </message>
    <message>
        <location filename="../src/diskpage/overviewcard.cpp" line="33"/>
        <location filename="../src/diskpage/overviewcard.cpp" line="77"/>
        <source>已用 --</source>
        <translation>Used --</translation>
    </message>
    <message>
        <location filename="../src/diskpage/overviewcard.cpp" line="35"/>
        <location filename="../src/diskpage/overviewcard.cpp" line="79"/>
        <source>总容量 -- · 可用 --</source>
        <translation>Capacity -- · Free --</translation>
    </message>
    <message>
        <location filename="../src/diskpage/overviewcard.cpp" line="47"/>
        <source>系统盘占用</source>
        <translation>System disk usage</translation>
    </message>
    <message>
        <location filename="../src/diskpage/overviewcard.cpp" line="61"/>
        <source>立即启动</source>
        <translation>Start Now</translation>
    </message>
    <message>
        <location filename="../src/diskpage/overviewcard.cpp" line="63"/>
        <source>立即启动磁盘监控</source>
        <translation>Start the disk monitor now</translation>
    </message>
    <message>
        <location filename="../src/diskpage/overviewcard.cpp" line="80"/>
        <source>总容量 -- · 可用 --（%1）</source>
        <translation>Capacity -- · Free -- (%1)</translation>
    </message>
    <message>
        <location filename="../src/diskpage/summarycard.cpp" line="21"/>
        <source>区间概览</source>
        <translation>Range Summary</translation>
    </message>
    <message>
        <location filename="../src/diskpage/summarycard.cpp" line="49"/>
        <source>净增长</source>
        <translation>Net growth</translation>
    </message>
    <message>
        <location filename="../src/diskpage/summarycard.cpp" line="50"/>
        <source>日均增长</source>
        <translation>Average per day</translation>
    </message>
    <message>
        <location filename="../src/diskpage/summarycard.cpp" line="51"/>
        <source>单日最大增长</source>
        <translation>Largest daily growth</translation>
    </message>
    <message>
        <location filename="../src/diskpage/summarycard.cpp" line="52"/>
        <source>最长连续增长起始</source>
        <translation>Longest growth run from</translation>
    </message>
    <message>
        <location filename="../src/diskpage/timelineview.cpp" line="17"/>
        <source>占用趋势</source>
        <translation>Usage Trend</translation>
    </message>
    <message>
        <location filename="../src/diskpage/timelineview.cpp" line="20"/>
        <location filename="../src/diskpage/timelineview.cpp" line="41"/>
        <source>当前显示：系统盘占用变化</source>
        <translation>Showing: system disk usage</translation>
    </message>
    <message>
        <location filename="../src/diskpage/timelineview.cpp" line="27"/>
        <source>每日已用</source>
        <translation>Used per day</translation>
    </message>
    <message>
        <location filename="../src/diskpage/timelineview.cpp" line="28"/>
        <source>异常增长</source>
        <translation>Abnormal growth</translation>
    </message>
    <message>
        <location filename="../src/diskpage/timelineview.cpp" line="29"/>
        <source>系统快照</source>
        <translation>System snapshot</translation>
    </message>
    <message>
        <location filename="../src/diskpage/analysisview.cpp" line="20"/>
        <location filename="../src/diskpage/analysisview.cpp" line="82"/>
        <source>目录分析</source>
        <translation>Directory Analysis</translation>
    </message>
    <message>
        <location filename="../src/diskpage/analysisview.cpp" line="28"/>
        <source>构成</source>
        <translation>Composition</translation>
    </message>
    <message>
        <location filename="../src/diskpage/alertviews.cpp" line="57"/>
        <location filename="../src/diskpage/analysisview.cpp" line="28"/>
        <source>增长</source>
        <translation>Growth</translation>
    </message>
    <message>
        <location filename="../src/diskpage/analysisview.cpp" line="28"/>
        <source>排行</source>
        <translation>Ranking</translation>
    </message>
    <message>
        <location filename="../src/diskpage/analysisview.cpp" line="32"/>
        <source>分析视图：%1</source>
        <translation>Analysis view: %1</translation>
    </message>
    <message>
        <location filename="../src/diskpage/analysisview.cpp" line="48"/>
        <source>返回</source>
        <translation>Back</translation>
    </message>
    <message>
        <location filename="../src/diskpage/analysisview.cpp" line="50"/>
        <source>返回上一级目录</source>
        <translation>Back to the previous directory</translation>
    </message>
    <message>
        <location filename="../src/diskpage/analysisview.cpp" line="66"/>
        <source>名称</source>
        <translation>Name</translation>
    </message>
    <message>
        <location filename="../src/diskpage/analysisview.cpp" line="66"/>
        <source>大小</source>
        <translation>Size</translation>
    </message>
    <message>
        <location filename="../src/diskpage/analysisview.cpp" line="66"/>
        <source>占比</source>
        <translation>Share</translation>
    </message>
    <message>
        <location filename="../src/diskpage/partitionsview.cpp" line="17"/>
        <source>其他分区</source>
        <translation>Other Partitions</translation>
    </message>
    <message>
        <location filename="../src/diskpage/partitionsview.cpp" line="17"/>
        <source>系统盘以外已挂载的分区，可点击“分析”查看其目录占用</source>
        <translation>Mounted partitions besides the system disk; &quot;Analyze&quot; shows what fills them</translation>
    </message>
    <message>
        <location filename="../src/diskusagepage.cpp" line="319"/>
        <source>正在检查系统信息…</source>
        <translation>Checking the system…</translation>
    </message>
    <message>
        <location filename="../src/diskusagepage.cpp" line="351"/>
        <source>正在加载 %1 ~ %2 的数据…</source>
        <translation>Loading %1 ~ %2…</translation>
    </message>
    <message>
        <location filename="../src/diskusagepage.cpp" line="384"/>
        <source>加载中 %1/%2 …</source>
        <translation>Loading %1/%2 …</translation>
    </message>
    <message>
        <location filename="../src/diskusagepage.cpp" line="392"/>
        <source>该范围内暂无监控数据</source>
        <translation>No monitoring data in this range</translation>
    </message>
    <message>
        <location filename="../src/diskusagepage.cpp" line="393"/>
        <source>已加载 %1 天记录</source>
        <translation>Loaded %1 days</translation>
    </message>
    <message>
        <location filename="../src/diskusagepage.cpp" line="398"/>
        <source>加载历史记录</source>
        <translation>Load the history</translation>
    </message>
    <message>
        <location filename="../src/diskpage/timelineview.cpp" line="61"/>
        <source>%1 · 已用 %2</source>
        <translation>%1 · used %2</translation>
    </message>
    <message>
        <location filename="../src/diskpage/timelineview.cpp" line="66"/>
        <source>当日增长 %1</source>
        <translation>growth that day %1</translation>
    </message>
    <message>
        <location filename="../src/diskpage/overviewcard.cpp" line="112"/>
        <source>最近记录 %1 · 该日增长 %2</source>
        <translation>latest record %1 · growth that day %2</translation>
    </message>
    <message>
        <location filename="../src/diskpage/settingsdialog.cpp" line="85"/>
        <source>MB</source>
        <translation>MB</translation>
    </message>
    <message>
        <location filename="../src/diskpage/settingsdialog.cpp" line="96"/>
        <source>小时</source>
        <translation>h</translation>
    </message>
    <message>
        <location filename="../src/diskpage/overviewcard.cpp" line="86"/>
        <source>已用 %1</source>
        <translation>Used %1</translation>
    </message>
    <message>
        <location filename="../src/diskpage/overviewcard.cpp" line="89"/>
        <source>总容量 %1 · 可用 %2</source>
        <translation>Capacity %1 · Free %2</translation>
    </message>
    <message>
        <location filename="../src/diskusagepage.cpp" line="492"/>
        <source>读取磁盘容量</source>
        <translation>Read the disk capacity</translation>
    </message>
    <message>
        <location filename="../src/diskpage/overviewcard.cpp" line="109"/>
        <source>每 %1 分钟采样一次 · 历史保留 %2 天</source>
        <translation>Sampled every %1 minutes · history kept %2 days</translation>
    </message>
    <message>
        <location filename="../src/diskpage/overviewcard.cpp" line="110"/>
        <source>开启后自动建立基线并持续监控</source>
        <translation>Once on, a baseline is built and the disk is watched</translation>
    </message>
    <message>
        <location filename="../src/diskusagepage.cpp" line="498"/>
        <source>读取历史数据索引</source>
        <translation>Read the history index</translation>
    </message>
    <message>
        <location filename="../src/diskpage/overviewcard.cpp" line="122"/>
        <source>最近采样：尚无记录，后台服务将在 15 分钟内完成首次采样</source>
        <translation>Latest sample: none yet; the background service takes the first within 15 minutes</translation>
    </message>
    <message>
        <location filename="../src/diskpage/overviewcard.cpp" line="123"/>
        <source>最近采样：尚无记录</source>
        <translation>Latest sample: none yet</translation>
    </message>
    <message>
        <location filename="../src/diskpage/overviewcard.cpp" line="130"/>
        <source>监控可能已停止：最近采样 %1，已超过 3 个采样周期</source>
        <translation>The monitor may have stopped: latest sample %1, more than 3 intervals ago</translation>
    </message>
    <message>
        <location filename="../src/diskpage/overviewcard.cpp" line="133"/>
        <source>最近采样 %1</source>
        <translation>Latest sample %1</translation>
    </message>
    <message>
        <location filename="../src/diskpage/alertviews.cpp" line="35"/>
        <source>%1 · %2 增长 %3</source>
        <translation>%1 · %2 grew %3</translation>
    </message>
    <message>
        <location filename="../src/diskusagepage.cpp" line="257"/>
        <source>告警已关闭，可随时在「告警历史」中查看</source>
        <translation>Alert dismissed; it stays in &quot;Alert history&quot;</translation>
    </message>
    <message>
        <location filename="../src/diskpage/alertviews.cpp" line="47"/>
        <source>告警历史（%1 条新增）</source>
        <translation>Alert history (%1 new)</translation>
    </message>
    <message>
        <location filename="../src/diskpage/alertviews.cpp" line="47"/>
        <source>告警历史（%1）</source>
        <translation>Alert history (%1)</translation>
    </message>
    <message>
        <location filename="../src/diskpage/alertviews.cpp" line="52"/>
        <location filename="../src/diskpage/alertviews.cpp" line="81"/>
        <source>告警历史</source>
        <translation>Alert History</translation>
    </message>
    <message>
        <location filename="../src/diskpage/alertviews.cpp" line="52"/>
        <source>共 %1 条告警，最新的在前</source>
        <translation>%1 alerts, newest first</translation>
    </message>
    <message>
        <location filename="../src/diskpage/alertviews.cpp" line="57"/>
        <source>日期</source>
        <translation>Date</translation>
    </message>
    <message>
        <location filename="../src/diskpage/alertviews.cpp" line="57"/>
        <source>目录</source>
        <translation>Directory</translation>
    </message>
    <message>
        <location filename="../src/diskpage/alertviews.cpp" line="71"/>
        <source>新增</source>
        <translation>New</translation>
    </message>
    <message>
        <location filename="../src/diskpage/alertviews.cpp" line="72"/>
        <source>已关闭</source>
        <translation>Dismissed</translation>
    </message>
    <message>
        <location filename="../src/diskpage/alertviews.cpp" line="73"/>
        <source>已查看</source>
        <translation>Seen</translation>
    </message>
    <message>
        <location filename="../src/diskpage/alertviews.cpp" line="84"/>
        <location filename="../src/diskpage/settingsdialog.cpp" line="243"/>
        <source>关闭</source>
        <translation>Close</translation>
    </message>
    <message>
        <location filename="../src/diskpage/settingsdialog.cpp" line="222"/>
        <location filename="../src/diskpage/settingsdialog.cpp" line="224"/>
        <location filename="../src/diskusagepage.cpp" line="553"/>
        <source>清除全部监控数据</source>
        <translation>Clear All Monitoring Data</translation>
    </message>
    <message>
        <location filename="../src/diskusagepage.cpp" line="553"/>
        <source>将删除所有历史占用记录与告警，且不可恢复。确定继续？</source>
        <translation>All usage history and alerts will be deleted for good. Continue?</translation>
    </message>
    <message>
        <location filename="../src/diskusagepage.cpp" line="556"/>
        <source>清除</source>
        <translation>Clear</translation>
    </message>
    <message>
        <location filename="../src/diskusagepage.cpp" line="584"/>
        <source>已清除全部监控数据</source>
        <translation>All monitoring data cleared</translation>
    </message>
    <message>
        <source>历史目录正被另一个进程占用，未清除任何数据</source>
        <translation type="vanished">Another process holds the history directory; nothing was cleared</translation>
    </message>
    <message>
        <source>无法锁定历史目录，未清除任何数据</source>
        <translation type="vanished">Could not lock the history directory; nothing was cleared</translation>
    </message>
    <message>
        <source>部分监控数据未能删除：%1</source>
        <translation type="vanished">Some monitoring data could not be deleted: %1</translation>
    </message>
    <message>
        <location filename="../src/diskusagepage.cpp" line="602"/>
        <location filename="../src/diskusagepage.cpp" line="603"/>
        <source>正在扫描系统盘目录…（可稍候，完成后自动刷新）</source>
        <translation>Scanning the system disk… (the page refreshes when done)</translation>
    </message>
    <message>
        <location filename="../src/diskusagepage.cpp" line="110"/>
        <source>扫描完成，但今日记录保存失败：%1</source>
        <translation>Scan finished, but today&apos;s record could not be saved: %1</translation>
    </message>
    <message>
        <location filename="../src/diskusagepage.cpp" line="634"/>
        <source>扫描失败</source>
        <translation>Scan failed</translation>
    </message>
    <message>
        <location filename="../src/diskusagepage.cpp" line="643"/>
        <source>扫描完成，今日记录已更新</source>
        <translation>Scan finished, today&apos;s record updated</translation>
    </message>
    <message>
        <location filename="../src/diskpage/settingsdialog.cpp" line="67"/>
        <source>监控</source>
        <translation>Monitoring</translation>
    </message>
    <message>
        <location filename="../src/diskpage/settingsdialog.cpp" line="73"/>
        <source>启用磁盘监控</source>
        <translation>Enable disk monitoring</translation>
    </message>
    <message>
        <location filename="../src/diskpage/settingsdialog.cpp" line="74"/>
        <source>开启后立即建立基线，由后台服务每 15 分钟采样一次并自动告警</source>
        <translation>Builds a baseline at once; a background service samples every 15 minutes and raises alerts</translation>
    </message>
    <message>
        <location filename="../src/diskpage/settingsdialog.cpp" line="77"/>
        <source>告警规则</source>
        <translation>Alert Rules</translation>
    </message>
    <message>
        <location filename="../src/diskpage/settingsdialog.cpp" line="80"/>
        <source>智能基线</source>
        <translation>Smart baseline</translation>
    </message>
    <message>
        <location filename="../src/diskpage/settingsdialog.cpp" line="80"/>
        <location filename="../src/diskpage/settingsdialog.cpp" line="131"/>
        <source>固定阈值</source>
        <translation>Fixed threshold</translation>
    </message>
    <message>
        <location filename="../src/diskpage/settingsdialog.cpp" line="129"/>
        <source>告警模式</source>
        <translation>Alert mode</translation>
    </message>
    <message>
        <location filename="../src/diskpage/settingsdialog.cpp" line="131"/>
        <source>增长超过该值触发告警（固定阈值模式）</source>
        <translation>Growth above this raises an alert (fixed threshold mode)</translation>
    </message>
    <message>
        <location filename="../src/diskpage/settingsdialog.cpp" line="133"/>
        <source>基线倍数</source>
        <translation>Baseline multiplier</translation>
    </message>
    <message>
        <location filename="../src/diskpage/settingsdialog.cpp" line="134"/>
        <source>智能基线 = 近 7 天日均增长 × 该倍数，且不小于最小告警值</source>
        <translation>Smart baseline = average daily growth of the last 7 days × this, at least the minimum alert size</translation>
    </message>
    <message>
        <location filename="../src/diskpage/settingsdialog.cpp" line="136"/>
        <source>告警冷却</source>
        <translation>Alert cool-down</translation>
    </message>
    <message>
        <location filename="../src/diskpage/settingsdialog.cpp" line="136"/>
        <source>同一目录冷却期内只告警一次，避免刷屏</source>
        <translation>One alert per directory within the cool-down, so alerts do not flood</translation>
    </message>
    <message>
        <location filename="../src/diskpage/settingsdialog.cpp" line="139"/>
        <source>排除目录</source>
        <translation>Excluded Directories</translation>
    </message>
    <message>
        <location filename="../src/diskpage/settingsdialog.cpp" line="142"/>
        <source>输入目录，如 /home/Test/Downloads</source>
        <translation>A directory, such as /home/Test/Downloads</translation>
    </message>
    <message>
        <location filename="../src/diskpage/settingsdialog.cpp" line="143"/>
        <source>要排除的目录</source>
        <translation>Directory to exclude</translation>
    </message>
    <message>
        <location filename="../src/diskpage/settingsdialog.cpp" line="144"/>
        <source>添加</source>
        <translation>Add</translation>
    </message>
    <message>
        <location filename="../src/diskpage/settingsdialog.cpp" line="145"/>
        <source>添加排除目录</source>
        <translation>Add the excluded directory</translation>
    </message>
    <message>
        <location filename="../src/diskpage/settingsdialog.cpp" line="148"/>
        <source>排除目录列表</source>
        <translation>Excluded directories</translation>
    </message>
    <message>
        <location filename="../src/diskpage/settingsdialog.cpp" line="151"/>
        <source>移除选中</source>
        <translation>Remove Selected</translation>
    </message>
    <message>
        <location filename="../src/diskpage/settingsdialog.cpp" line="152"/>
        <source>移除选中的排除目录</source>
        <translation>Remove the selected excluded directory</translation>
    </message>
    <message>
        <location filename="../src/diskpage/settingsdialog.cpp" line="189"/>
        <source>数据存储</source>
        <translation>Data Storage</translation>
    </message>
    <message>
        <location filename="../src/diskpage/settingsdialog.cpp" line="215"/>
        <source>保留天数</source>
        <translation>Days kept</translation>
    </message>
    <message>
        <location filename="../src/diskpage/settingsdialog.cpp" line="217"/>
        <source>存储预算</source>
        <translation>Storage budget</translation>
    </message>
    <message>
        <location filename="../src/diskpage/settingsdialog.cpp" line="217"/>
        <source>历史数据本地占用上限，超出预算自动降级保存</source>
        <translation>Upper limit for the history on disk; older days are thinned beyond it</translation>
    </message>
    <message>
        <location filename="../src/diskpage/settingsdialog.cpp" line="218"/>
        <source>当前占用</source>
        <translation>Currently used</translation>
    </message>
    <message>
        <location filename="../src/diskpage/settingsdialog.cpp" line="221"/>
        <source>数据管理</source>
        <translation>Data Management</translation>
    </message>
    <message>
        <location filename="../src/diskpage/servicepanel.cpp" line="80"/>
        <location filename="../src/diskpage/servicepanel.cpp" line="129"/>
        <source>监控已开启，正在建立基线（由后台服务采样）</source>
        <translation>Monitoring on, building the baseline (sampled by the background service)</translation>
    </message>
    <message>
        <location filename="../src/diskpage/servicepanel.cpp" line="82"/>
        <source>监控已关闭，历史数据保留</source>
        <translation>Monitoring off, history kept</translation>
    </message>
    <message>
        <location filename="../src/diskpage/servicepanel.cpp" line="52"/>
        <location filename="../src/diskpage/servicepanel.cpp" line="117"/>
        <location filename="../src/diskpage/settingsdialog.cpp" line="250"/>
        <source>无法保存设置（配置目录不可写或磁盘已满），此项更改未生效</source>
        <translation>The setting could not be saved (the configuration directory is not writable or the disk is full); this change did not take effect.</translation>
    </message>
    <message>
        <location filename="../src/diskpage/servicepanel.cpp" line="95"/>
        <source>监控服务%1失败：%2</source>
        <translation>Could not %1 the monitor service: %2</translation>
    </message>
    <message>
        <location filename="../src/diskpage/servicepanel.cpp" line="96"/>
        <source>启动</source>
        <translation>start</translation>
    </message>
    <message>
        <location filename="../src/diskpage/servicepanel.cpp" line="96"/>
        <source>停止</source>
        <translation>stop</translation>
    </message>
    <message>
        <location filename="../src/diskpage/servicepanel.cpp" line="96"/>
        <location filename="../src/diskpage/servicepanel.cpp" line="134"/>
        <source>未知错误</source>
        <translation>unknown error</translation>
    </message>
    <message>
        <location filename="../src/diskpage/servicepanel.cpp" line="106"/>
        <source>正在启动磁盘监控…</source>
        <translation>Starting the disk monitor…</translation>
    </message>
    <message>
        <location filename="../src/diskpage/servicepanel.cpp" line="109"/>
        <source>监控组件未安装：请先安装应用（sudo ./install.sh）</source>
        <translation>Monitor not installed (sudo ./install.sh)</translation>
    </message>
    <message>
        <location filename="../src/diskpage/servicepanel.cpp" line="134"/>
        <source>启动失败：%1</source>
        <translation>Start failed: %1</translation>
    </message>
    <message>
        <location filename="../src/diskusagepage.cpp" line="127"/>
        <source>检测监控服务</source>
        <translation>Check the monitor service</translation>
    </message>
    <message>
        <location filename="../src/diskpage/servicepanel.cpp" line="176"/>
        <source>无法连接 systemd 用户会话</source>
        <translation>No systemd user session</translation>
    </message>
    <message>
        <location filename="../src/diskpage/servicepanel.cpp" line="179"/>
        <source>磁盘监控运行中</source>
        <translation>Disk monitor running</translation>
    </message>
    <message>
        <location filename="../src/diskpage/servicepanel.cpp" line="182"/>
        <source>磁盘监控未启动，无法自动记录</source>
        <translation>Monitor stopped: not recording</translation>
    </message>
    <message>
        <location filename="../src/diskpage/servicepanel.cpp" line="186"/>
        <source>磁盘监控未开启</source>
        <translation>Disk monitor off</translation>
    </message>
    <message>
        <location filename="../src/diskpage/timelineview.cpp" line="49"/>
        <source>目录“%1”暂无逐日数据，请先开启监控或在该目录下钻</source>
        <translation>No daily data for &quot;%1&quot; yet: turn monitoring on or drill into it</translation>
    </message>
    <message>
        <location filename="../src/diskpage/timelineview.cpp" line="51"/>
        <source>当前显示：目录 %1 的占用变化</source>
        <translation>Showing: usage of %1</translation>
    </message>
    <message>
        <location filename="../src/diskpage/analysisview.cpp" line="132"/>
        <location filename="../src/diskpage/analysisview.cpp" line="133"/>
        <location filename="../src/diskpage/analysisview.cpp" line="151"/>
        <source>打开位置：%1</source>
        <translation>Open location: %1</translation>
    </message>
    <message>
        <location filename="../src/diskpage/analysisview.cpp" line="67"/>
        <source>打开位置</source>
        <translation>Open location</translation>
    </message>
    <message>
        <location filename="../src/diskpage/analysisview.cpp" line="151"/>
        <source>无可打开的位置</source>
        <translation>No location to open</translation>
    </message>
    <message>
        <location filename="../src/diskusagepage.cpp" line="774"/>
        <source>正在读取 %1 的子目录…</source>
        <translation>Reading the subdirectories of %1…</translation>
    </message>
    <message>
        <location filename="../src/diskusagepage.cpp" line="793"/>
        <source>已读取 %1 的 %2 个子项</source>
        <translation>Read %2 entries of %1</translation>
    </message>
    <message>
        <location filename="../src/diskpage/analysisview.cpp" line="176"/>
        <source>返回系统盘</source>
        <translation>Back to the system disk</translation>
    </message>
    <message>
        <location filename="../src/diskpage/analysisview.cpp" line="177"/>
        <source>返回系统盘时间线与顶层目录</source>
        <translation>Back to the system disk timeline and top-level directories</translation>
    </message>
    <message>
        <location filename="../src/diskpage/analysisview.cpp" line="193"/>
        <location filename="../src/diskpage/analysisview.cpp" line="197"/>
        <source>回到 %1</source>
        <translation>Back to %1</translation>
    </message>
    <message>
        <location filename="../src/diskpage/partitionsview.cpp" line="37"/>
        <source>未发现其他已挂载的分区</source>
        <translation>No other mounted partitions</translation>
    </message>
    <message>
        <location filename="../src/diskpage/partitionsview.cpp" line="54"/>
        <source>%1 占用</source>
        <translation>%1 usage</translation>
    </message>
    <message>
        <location filename="../src/diskpage/partitionsview.cpp" line="58"/>
        <source>%1 / %2</source>
        <translation>%1 / %2</translation>
    </message>
    <message>
        <location filename="../src/diskpage/partitionsview.cpp" line="59"/>
        <source>未知</source>
        <translation>Unknown</translation>
    </message>
    <message>
        <location filename="../src/diskpage/partitionsview.cpp" line="61"/>
        <source>分析</source>
        <translation>Analyze</translation>
    </message>
    <message>
        <location filename="../src/diskpage/partitionsview.cpp" line="62"/>
        <source>分析 %1 的目录占用</source>
        <translation>Analyze what fills %1</translation>
    </message>
    <message>
        <location filename="../src/diskusagepage.cpp" line="878"/>
        <source>已导出 %1 天记录到 %2</source>
        <translation>Exported %1 days to %2</translation>
    </message>
    <message>
        <location filename="../src/diskusagepage.cpp" line="880"/>
        <source>导出失败：%1</source>
        <translation>Export failed: %1</translation>
    </message>
    <message>
        <location filename="../src/ui/diskanalysis.cpp" line="43"/>
        <source>点击时间线上任意数据点，查看该日的增长来源</source>
        <translation>Click a day on the timeline to see where that day&apos;s growth came from</translation>
    </message>
    <message>
        <location filename="../src/ui/diskanalysis.cpp" line="46"/>
        <source>所选日期不在当前加载范围内</source>
        <translation>The selected day is outside the loaded range</translation>
    </message>
    <message>
        <location filename="../src/ui/diskanalysis.cpp" line="54"/>
        <source>目录 %1</source>
        <translation>Directory %1</translation>
    </message>
    <message>
        <location filename="../src/ui/diskanalysis.cpp" line="55"/>
        <source>无数据</source>
        <translation>No data</translation>
    </message>
    <message>
        <location filename="../src/ui/diskanalysis.cpp" line="60"/>
        <source>前一日暂无数据</source>
        <translation>No data for the previous day</translation>
    </message>
    <message>
        <location filename="../src/ui/diskanalysis.cpp" line="63"/>
        <source>较前一日变化</source>
        <translation>Change from the previous day</translation>
    </message>
    <message>
        <location filename="../src/ui/diskanalysis.cpp" line="71"/>
        <source>前一日没有目录扫描记录，无法比较增长</source>
        <translation>The day before has no directory scan: nothing to compare the growth with</translation>
    </message>
    <message>
        <location filename="../src/ui/diskanalysis.cpp" line="76"/>
        <source>该日无显著增长</source>
        <translation>No notable growth that day</translation>
    </message>
    <message>
        <location filename="../src/ui/diskanalysis.cpp" line="97"/>
        <source>增长：所选日期相对前一日有增长的目录/文件（最多 8 项），占比 = 该目录增量占当日总增量</source>
        <translation>Growth: directories and files that grew on the selected day (up to 8); share = their part of the day&apos;s growth</translation>
    </message>
    <message>
        <location filename="../src/ui/diskanalysis.cpp" line="100"/>
        <source>排行：当前目录下所有子项从大到小；单击行让上方时间线跟随，双击进入子目录</source>
        <translation>Ranking: everything in the current directory, largest first; click a row to follow it on the timeline, double-click to open it</translation>
    </message>
    <message>
        <location filename="../src/ui/diskanalysis.cpp" line="102"/>
        <source>构成：系统盘顶层目录的占用结构（前 5 项 + 其他），占比 = 占系统盘已用</source>
        <translation>Composition: the system disk&apos;s top-level directories (top 5 + other); share = part of the used space</translation>
    </message>
    <message>
        <location filename="../src/ui/diskanalysis.cpp" line="122"/>
        <source>正在读取子目录…</source>
        <translation>Reading subdirectories…</translation>
    </message>
    <message>
        <location filename="../src/ui/diskanalysis.cpp" line="123"/>
        <source>暂无数据：请开启监控或点击“立即扫描”</source>
        <translation>No data: turn monitoring on or click &quot;Scan Now&quot;</translation>
    </message>
    <message>
        <location filename="../src/ui/diskanalysis.cpp" line="147"/>
        <source>其他</source>
        <translation>Other</translation>
    </message>
    <message>
        <location filename="../src/ui/diskanalysis.cpp" line="219"/>
        <source>%1 ~ %2 · %3 天 · %4 条记录</source>
        <translation>%1 ~ %2 · %3 days · %4 records</translation>
    </message>
    <message>
        <location filename="../src/ui/diskanalysis.cpp" line="228"/>
        <source>区间起始 %1 → 结束 %2</source>
        <translation>Start %1 → end %2</translation>
    </message>
    <message>
        <location filename="../src/ui/diskanalysis.cpp" line="240"/>
        <source>所选范围内暂无监控数据</source>
        <translation>No monitoring data in the selected range</translation>
    </message>
    <message>
        <location filename="../src/ui/diskanalysis.cpp" line="245"/>
        <source>无连续增长</source>
        <translation>No growth run</translation>
    </message>
    <message>
        <location filename="../src/ui/diskanalysis.cpp" line="250"/>
        <source>暂无数据，无法预测</source>
        <translation>No data, no forecast</translation>
    </message>
    <message>
        <location filename="../src/ui/diskanalysis.cpp" line="253"/>
        <source>暂无风险</source>
        <translation>No risk</translation>
    </message>
    <message>
        <location filename="../src/ui/diskanalysis.cpp" line="254"/>
        <source>增长已趋稳，短期不会写满</source>
        <translation>Growth is steady; the disk will not fill soon</translation>
    </message>
    <message>
        <location filename="../src/ui/diskanalysis.cpp" line="257"/>
        <source>约 %1 天后写满</source>
        <translation>Full in about %1 days</translation>
    </message>
    <message>
        <location filename="../src/ui/diskanalysis.cpp" line="259"/>
        <source>按当前增速 · 预计 %1</source>
        <translation>At the current rate · expected %1</translation>
    </message>
    <message>
        <location filename="../src/ui/monitorservice.cpp" line="29"/>
        <source>systemctl --user %1 执行超时</source>
        <translation>systemctl --user %1 timed out</translation>
    </message>
    <message>
        <location filename="../src/ui/monitorservice.cpp" line="55"/>
        <source>systemd 未识别监控单元（tavrin-monitor.timer）</source>
        <translation>systemd does not know the monitor unit (tavrin-monitor.timer)</translation>
    </message>
    <message>
        <location filename="../src/ui/monitorservice.cpp" line="67"/>
        <source>systemctl --user 执行失败</source>
        <translation>systemctl --user failed</translation>
    </message>
    <message>
        <location filename="../src/diskpage/settingsdialog.cpp" line="1"/>
        <source>天</source>
        <translation>days</translation>
    </message>
    <message>
        <location filename="../src/diskpage/settingsdialog.cpp" line="1"/>
        <source>写满预警</source>
        <translation>Full-disk warning</translation>
    </message>
    <message>
        <location filename="../src/diskpage/settingsdialog.cpp" line="1"/>
        <source>按近 14 天的增长预计系统盘在该天数内写满时提醒一次，0 为关闭</source>
        <translation>Notify once when, at the growth of the last 14 days, the system disk fills within this many days; 0 turns it off</translation>
    </message>
    <message>
        <location filename="../src/ui/diskanalysis.cpp" line="1"/>
        <source>预计 %1 天后写满（%2）</source>
        <translation>Full in about %1 days (%2)</translation>
    </message>
    <message>
        <location filename="../src/ui/diskanalysis.cpp" line="1"/>
        <source>系统盘已满</source>
        <translation>The system disk is full</translation>
    </message>
    <message>
        <location filename="../src/ui/diskanalysis.cpp" line="1"/>
        <source>写满预测：未知（%1）</source>
        <translation>Full-disk forecast: unknown (%1)</translation>
    </message>
    <message>
        <location filename="../src/ui/diskanalysis.cpp" line="1"/>
        <source>写满预测：尚无，后台监控完成一次采样后给出</source>
        <translation>Full-disk forecast: none yet; the background monitor gives one after its next sample</translation>
    </message>
    <message>
        <location filename="../src/ui/diskanalysis.cpp" line="1"/>
        <source>%1（%2 的预测）</source>
        <translation>%1 (forecast of %2)</translation>
    </message>
    <message>
        <location filename="../src/ui/diskanalysis.cpp" line="1"/>
        <source>增长最多的目录未知</source>
        <translation>the directory that grew most is unknown</translation>
    </message>
    <message>
        <location filename="../src/ui/diskanalysis.cpp" line="1"/>
        <source>增长最多：%1（14 天内 %2）</source>
        <translation>grew most: %1 (%2 in 14 days)</translation>
    </message>
    <message>
        <location filename="../src/ui/diskanalysis.cpp" line="1"/>
        <source>写满预测：记录不足 3 天，暂不预测</source>
        <translation>Full-disk forecast: fewer than 3 days recorded, no forecast yet</translation>
    </message>
    <message>
        <location filename="../src/ui/diskanalysis.cpp" line="1"/>
        <source>写满预测：近 14 天未增长</source>
        <translation>Full-disk forecast: no growth in the last 14 days</translation>
    </message>
    <message>
        <location filename="../src/ui/diskanalysis.cpp" line="1"/>
        <source>写满预测：系统盘已满 · %1</source>
        <translation>Full-disk forecast: the system disk is full · %1</translation>
    </message>
    <message>
        <location filename="../src/ui/diskanalysis.cpp" line="1"/>
        <source>记录不完整</source>
        <translation>incomplete record</translation>
    </message>
    <message>
        <location filename="../src/ui/diskanalysis.cpp" line="1"/>
        <source>约 %1 天后</source>
        <translation>in about %1 days</translation>
    </message>
    <message>
        <location filename="../src/ui/diskanalysis.cpp" line="1"/>
        <source>约 %1 天后（%2）</source>
        <translation>in about %1 days (%2)</translation>
    </message>
    <message>
        <location filename="../src/ui/diskanalysis.cpp" line="1"/>
        <source>写满预测：%1写满 · %2</source>
        <translation>Full-disk forecast: full %1 · %2</translation>
    </message>
    <message>
        <location filename="../src/diskusagepage.cpp" line="1"/>
        <source>无法读取 %1</source>
        <translation>Cannot read %1</translation>
    </message>
    <message>
        <location filename="../src/diskpage/alertviews.cpp" line="1"/>
        <source>%1 · %2 · 增长最多 %3</source>
        <translation>%1 · %2 · grew most: %3</translation>
    </message>
    <message>
        <location filename="../src/diskpage/alertviews.cpp" line="1"/>
        <source>类型</source>
        <translation>Type</translation>
    </message>
    <message>
        <location filename="../src/diskpage/alertviews.cpp" line="1"/>
        <source>增长告警</source>
        <translation>Growth alert</translation>
    </message>
    <message>
        <location filename="../src/diskpage/alertviews.cpp" line="1"/>
        <source>%1（14 天）</source>
        <translation>%1 (14 days)</translation>
    </message>
    <message>
        <location filename="../src/ui/diskanalysis.cpp" line="1"/>
        <source>未知版本</source>
        <translation>unknown version</translation>
    </message>
    <message>
        <location filename="../src/ui/diskanalysis.cpp" line="1"/>
        <source>待生效的 %1</source>
        <translation>%1, staged</translation>
    </message>
    <message>
        <location filename="../src/ui/diskanalysis.cpp" line="1"/>
        <source>回滚到 %1</source>
        <translation>rolled back to %1</translation>
    </message>
    <message>
        <location filename="../src/ui/diskanalysis.cpp" line="1"/>
        <source>升级到 %1</source>
        <translation>upgraded to %1</translation>
    </message>
    <message>
        <location filename="../src/diskpage/timelineview.cpp" line="1"/>
        <source>升级与回滚</source>
        <translation>Upgrades and rollbacks</translation>
    </message>
    <message>
        <location filename="../src/diskpage/settingsdialog.cpp" line="1"/>
        <source>关闭</source>
        <comment>a setting turned off</comment>
        <translation>Off</translation>
    </message>
    <message>
        <source>释放空间</source>
        <translation>Free Up Space</translation>
    </message>
    <message>
        <source>释放空间：选择要删除的快照、旧部署和升级缓存</source>
        <translation>Free up space: choose snapshots, old deployments and the upgrade cache to remove</translation>
    </message>
</context>
<context>
    <name>FreeSpace</name>
    <message>
        <source>未知版本</source>
        <translation>Unknown version</translation>
    </message>
    <message>
        <source>%1（%2）</source>
        <translation>%1 (%2)</translation>
    </message>
    <message>
        <source>升级下载缓存</source>
        <translation>Upgrade download cache</translation>
    </message>
    <message>
        <source>没有选择要释放的项目</source>
        <translation>No item was chosen to remove</translation>
    </message>
    <message>
        <source>一次最多释放 %1 项，请减少选择</source>
        <translation>At most %1 items can be removed at once; choose fewer</translation>
    </message>
    <message>
        <source>无效的标识: %1</source>
        <translation>Invalid ID: %1</translation>
    </message>
    <message>
        <source>没有获得管理员授权</source>
        <translation>Administrator authorization was not given</translation>
    </message>
    <message>
        <source>未知</source>
        <translation>unknown</translation>
    </message>
    <message>
        <source>至少 %1</source>
        <translation>at least %1</translation>
    </message>
    <message>
        <source>当前可用空间：未知</source>
        <translation>Free space now: unknown</translation>
    </message>
    <message>
        <source>当前可用空间：%1</source>
        <translation>Free space now: %1</translation>
    </message>
    <message>
        <source>未选择任何项目</source>
        <translation>No item chosen</translation>
    </message>
    <message>
        <source>%1（正在计算…）</source>
        <translation>%1 (measuring…)</translation>
    </message>
    <message numerus="yes">
        <source>%1（%n 项大小未知）</source>
        <translation>
            <numerusform>%1 (%n item of unknown size)</numerusform>
            <numerusform>%1 (%n items of unknown size)</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>已选 %n 项，可释放 %1，释放后可用 %2</source>
        <translation>
            <numerusform>%n item chosen, frees %1, free space afterwards %2</numerusform>
            <numerusform>%n items chosen, frees %1, free space afterwards %2</numerusform>
        </translation>
    </message>
    <message>
        <source>快照（从旧到新）</source>
        <translation>Snapshots (oldest first)</translation>
    </message>
    <message>
        <source>未启动、未暂存的部署</source>
        <translation>Deployments neither booted nor staged</translation>
    </message>
    <message>
        <source>升级缓存</source>
        <translation>Upgrade cache</translation>
    </message>
    <message>
        <source>%1：正在读取…</source>
        <translation>%1: reading…</translation>
    </message>
    <message>
        <source>%1：读取失败：%2</source>
        <translation>%1: could not be read: %2</translation>
    </message>
    <message>
        <source>%1：没有可释放的项目</source>
        <translation>%1: nothing to remove</translation>
    </message>
    <message>
        <source>计算中…</source>
        <translation>Measuring…</translation>
    </message>
    <message>
        <source>%1，%2，可释放 %3，%4（空格键切换）</source>
        <translation>%1, %2, frees %3, %4 (Space toggles)</translation>
    </message>
    <message>
        <source>已选中</source>
        <translation>checked</translation>
    </message>
    <message>
        <source>未选中</source>
        <translation>not checked</translation>
    </message>
    <message>
        <source>项目</source>
        <translation>Item</translation>
    </message>
    <message>
        <source>时间</source>
        <translation>Time</translation>
    </message>
    <message>
        <source>可释放</source>
        <translation>Frees</translation>
    </message>
</context>
<context>
    <name>FreeSpaceDialog</name>
    <message>
        <source>%1：%2</source>
        <translation>%1: %2</translation>
    </message>
    <message>
        <source>释放空间</source>
        <translation>Free Up Space</translation>
    </message>
    <message>
        <source>勾选要删除的项目（空格键切换）。每项显示单独删除它可释放的空间；初始快照、当前及待生效的部署、未完成回滚的备份不会列出。</source>
        <translation>Check the items to remove (Space toggles). Each shows the space its removal alone frees; the initial snapshot, the current and the staged deployment and the backup of an unfinished rollback are not listed.</translation>
    </message>
    <message>
        <source>系统盘可用空间</source>
        <translation>Free space of the system disk</translation>
    </message>
    <message>
        <source>可释放空间的项目</source>
        <translation>Items that can be removed to free space</translation>
    </message>
    <message>
        <source>方向键选择，空格键勾选或取消</source>
        <translation>Arrow keys choose a row, Space checks or unchecks it</translation>
    </message>
    <message>
        <source>已选项目合计</source>
        <translation>Total of the checked items</translation>
    </message>
    <message>
        <source>释放空间状态</source>
        <translation>Free-up status</translation>
    </message>
    <message>
        <source>释放结果</source>
        <translation>Result of the removal</translation>
    </message>
    <message>
        <source>刷新</source>
        <translation>Refresh</translation>
    </message>
    <message>
        <source>重新读取可释放的项目</source>
        <translation>Read the removable items again</translation>
    </message>
    <message>
        <source>释放</source>
        <translation>Free Up</translation>
    </message>
    <message>
        <source>删除所选项目以释放空间</source>
        <translation>Remove the checked items to free space</translation>
    </message>
    <message>
        <source>关闭</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>关闭释放空间</source>
        <translation>Close Free Up Space</translation>
    </message>
    <message>
        <source>当前可用空间：读取中…</source>
        <translation>Free space now: reading…</translation>
    </message>
    <message>
        <source>正在释放所选项目…</source>
        <translation>Removing the checked items…</translation>
    </message>
    <message>
        <source>正在读取可释放的项目…</source>
        <translation>Reading the removable items…</translation>
    </message>
    <message>
        <source>正在计算各项可释放的空间…</source>
        <translation>Measuring what each item frees…</translation>
    </message>
    <message>
        <source>%1 — 可释放 %2</source>
        <translation>%1 — frees %2</translation>
    </message>
    <message numerus="yes">
        <source>将删除以下 %n 项，合计可释放 %1。删除后无法恢复。</source>
        <translation>
            <numerusform>The following %n item will be removed, freeing %1 in total. This cannot be undone.</numerusform>
            <numerusform>The following %n items will be removed, freeing %1 in total. This cannot be undone.</numerusform>
        </translation>
    </message>
    <message>
        <source>未知</source>
        <translation>unknown</translation>
    </message>
    <message>
        <source>只需授权一次；某项失败时，其后的项目保持原样。</source>
        <translation>One authorization for all; if an item fails, the items after it are left as they are.</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>未获得管理员授权，没有删除任何项目：%1</source>
        <translation>Administrator authorization was not given; nothing was removed: %1</translation>
    </message>
    <message numerus="yes">
        <source>已释放 %n 项：</source>
        <translation>
            <numerusform>%n item removed:</numerusform>
            <numerusform>%n items removed:</numerusform>
        </translation>
    </message>
    <message>
        <source>删除“%1”失败：%2。其后的项目未改动。</source>
        <translation>Removing “%1” failed: %2. The items after it were left as they are.</translation>
    </message>
    <message>
        <source>释放失败：%1</source>
        <translation>Freeing space failed: %1</translation>
    </message>
    <message>
        <source>已删除：%1</source>
        <translation>Removed: %1</translation>
    </message>
    <message>
        <source>失败：%1</source>
        <translation>Failed: %1</translation>
    </message>
    <message>
        <source>未执行：%1</source>
        <translation>Not done: %1</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <location filename="../src/mainwindow.cpp" line="57"/>
        <location filename="../src/mainwindow.cpp" line="62"/>
        <source>Tavrin设置</source>
        <translation>Tavrin Settings</translation>
    </message>
    <message>
        <location filename="../src/mainwindow.cpp" line="120"/>
        <source>概览</source>
        <translation>Overview</translation>
    </message>
    <message>
        <location filename="../src/mainwindow.cpp" line="121"/>
        <source>总览</source>
        <translation>Dashboard</translation>
    </message>
    <message>
        <location filename="../src/mainwindow.cpp" line="123"/>
        <source>系统维护</source>
        <translation>System Maintenance</translation>
    </message>
    <message>
        <location filename="../src/mainwindow.cpp" line="124"/>
        <source>磁盘空间</source>
        <translation>Disk Space</translation>
    </message>
    <message>
        <location filename="../src/mainwindow.cpp" line="126"/>
        <source>系统保护</source>
        <translation>System Protection</translation>
    </message>
    <message>
        <location filename="../src/mainwindow.cpp" line="129"/>
        <source>备份与版本</source>
        <translation>Backups</translation>
    </message>
    <message>
        <location filename="../src/mainwindow.cpp" line="130"/>
        <source>系统更新</source>
        <translation>System Update</translation>
    </message>
    <message>
        <location filename="../src/mainwindow.cpp" line="131"/>
        <source>设置</source>
        <translation>Settings</translation>
    </message>
    <message>
        <location filename="../src/mainwindow.cpp" line="132"/>
        <source>策略与设置</source>
        <translation>Policy &amp; Settings</translation>
    </message>
    <message>
        <location filename="../src/mainwindow.cpp" line="134"/>
        <source>关于</source>
        <translation>About</translation>
    </message>
    <message>
        <location filename="../src/mainwindow.cpp" line="360"/>
        <source>语言</source>
        <translation>Language</translation>
    </message>
    <message>
        <location filename="../src/mainwindow.cpp" line="371"/>
        <source>跟随系统</source>
        <translation>System Default</translation>
    </message>
    <message>
        <location filename="../src/mainwindow.cpp" line="372"/>
        <source>简体中文</source>
        <translation>简体中文</translation>
    </message>
</context>
<context>
    <name>OverviewPage</name>
    <message>
        <source>部分系统状态无法读取。</source>
        <translation>Part of the system state could not be read.</translation>
    </message>
    <message>
        <source>完整输出</source>
        <translation>Full output</translation>
    </message>
    <message>
        <location filename="../src/overviewpage.cpp" line="119"/>
        <source>总览</source>
        <translation>Dashboard</translation>
    </message>
    <message>
        <location filename="../src/overviewpage.cpp" line="119"/>
        <source>Tavrin系统运行状态一览</source>
        <translation>Tavrin system status at a glance</translation>
    </message>
    <message>
        <location filename="../src/overviewpage.cpp" line="75"/>
        <source>存储空间占用</source>
        <translation>Storage use</translation>
    </message>
    <message>
        <location filename="../src/overviewpage.cpp" line="123"/>
        <location filename="../src/overviewpage.cpp" line="124"/>
        <source>刷新状态</source>
        <translation>Refresh status</translation>
    </message>
    <message>
        <location filename="../src/overviewpage.cpp" line="144"/>
        <source>Tavrin保护</source>
        <translation>Tavrin protection</translation>
    </message>
    <message>
        <location filename="../src/overviewpage.cpp" line="145"/>
        <source>系统可写层</source>
        <translation>Writable layer</translation>
    </message>
    <message>
        <location filename="../src/overviewpage.cpp" line="146"/>
        <source>系统快照</source>
        <translation>Snapshots</translation>
    </message>
    <message>
        <location filename="../src/overviewpage.cpp" line="147"/>
        <source>系统盘剩余</source>
        <translation>System disk free</translation>
    </message>
    <message>
        <location filename="../src/overviewpage.cpp" line="186"/>
        <source>存储空间</source>
        <translation>Storage</translation>
    </message>
    <message>
        <location filename="../src/overviewpage.cpp" line="186"/>
        <source>Tavrin系统各仓库占用（物理）</source>
        <translation>Physical use of the Tavrin repositories</translation>
    </message>
    <message>
        <location filename="../src/overviewpage.cpp" line="192"/>
        <source>系统仓库 /ostree</source>
        <translation>System repository /ostree</translation>
    </message>
    <message>
        <location filename="../src/overviewpage.cpp" line="192"/>
        <source>数据仓库 /persistent</source>
        <translation>Data repository /persistent</translation>
    </message>
    <message>
        <location filename="../src/overviewpage.cpp" line="192"/>
        <source>快照数据</source>
        <translation>Snapshot data</translation>
    </message>
    <message>
        <location filename="../src/overviewpage.cpp" line="193"/>
        <source>可用空间</source>
        <translation>Free space</translation>
    </message>
    <message>
        <location filename="../src/overviewpage.cpp" line="199"/>
        <source>系统信息</source>
        <translation>System information</translation>
    </message>
    <message>
        <location filename="../src/overviewpage.cpp" line="199"/>
        <source>当前运行的系统与内核</source>
        <translation>The running system and kernel</translation>
    </message>
    <message>
        <location filename="../src/overviewpage.cpp" line="203"/>
        <source>系统名称</source>
        <translation>System name</translation>
    </message>
    <message>
        <location filename="../src/overviewpage.cpp" line="204"/>
        <source>系统版本</source>
        <translation>System version</translation>
    </message>
    <message>
        <location filename="../src/overviewpage.cpp" line="205"/>
        <source>内核版本</source>
        <translation>Kernel version</translation>
    </message>
    <message>
        <location filename="../src/overviewpage.cpp" line="206"/>
        <source>Tavrin部署</source>
        <translation>Tavrin deployment</translation>
    </message>
    <message>
        <location filename="../src/overviewpage.cpp" line="212"/>
        <source>快速操作</source>
        <translation>Quick actions</translation>
    </message>
    <message>
        <location filename="../src/overviewpage.cpp" line="212"/>
        <source>常用功能快捷入口</source>
        <translation>Shortcuts to common tasks</translation>
    </message>
    <message>
        <location filename="../src/overviewpage.cpp" line="215"/>
        <source>立即创建备份</source>
        <translation>Create backup now</translation>
    </message>
    <message>
        <location filename="../src/overviewpage.cpp" line="216"/>
        <source>检查系统更新</source>
        <translation>Check for system updates</translation>
    </message>
    <message>
        <location filename="../src/overviewpage.cpp" line="217"/>
        <source>保护设置</source>
        <translation>Protection settings</translation>
    </message>
    <message>
        <location filename="../src/overviewpage.cpp" line="293"/>
        <source>正在读取Tavrin系统状态…</source>
        <translation>Reading the Tavrin system state…</translation>
    </message>
    <message>
        <location filename="../src/overviewpage.cpp" line="346"/>
        <location filename="../src/overviewpage.cpp" line="381"/>
        <source>%1 个</source>
        <translation>%1</translation>
    </message>
    <message>
        <location filename="../src/overviewpage.cpp" line="348"/>
        <location filename="../src/overviewpage.cpp" line="351"/>
        <source>统计中…</source>
        <translation>Measuring…</translation>
    </message>
    <message>
        <location filename="../src/overviewpage.cpp" line="369"/>
        <source>正在统计存储空间…</source>
        <translation>Measuring storage…</translation>
    </message>
    <message>
        <source>释放空间</source>
        <translation>Free Up Space</translation>
    </message>
    <message>
        <source>释放空间：选择要删除的快照、旧部署和升级缓存</source>
        <translation>Free up space: choose snapshots, old deployments and the upgrade cache to remove</translation>
    </message>
</context>
<context>
    <name>PolicyPage</name>
    <message>
        <source>Tavrin系统参数有未保存的修改，离开前是否保存？</source>
        <translation>The Tavrin system parameters have unsaved changes. Save them before leaving?</translation>
    </message>
    <message>
        <source>无法读取系统参数，未显示任何值: %1</source>
        <translation>The system parameters cannot be read; no values are shown: %1</translation>
    </message>
    <message>
        <source>系统参数未保存</source>
        <translation>System parameters not saved</translation>
    </message>
    <message>
        <source>配置文件的 %1 中另有 %2=%3，它覆盖此处 [global] 的值：系统实际使用 %3。</source>
        <translation>Section %1 of the configuration file also sets %2=%3, which overrides the [global] value here: the system uses %3.</translation>
    </message>
    <message>
        <source>（首个段之前）</source>
        <translation>(before the first section)</translation>
    </message>
    <message>
        <location filename="../src/policypage.cpp" line="84"/>
        <source>策略与设置</source>
        <translation>Policy &amp; Settings</translation>
    </message>
    <message>
        <location filename="../src/policypage.cpp" line="84"/>
        <source>备份保留策略与Tavrin系统参数</source>
        <translation>Backup retention policy and Tavrin system parameters</translation>
    </message>
    <message>
        <location filename="../src/policypage.cpp" line="92"/>
        <location filename="../src/policypage.cpp" line="266"/>
        <source>正在读取配置...</source>
        <translation>Reading configuration...</translation>
    </message>
    <message>
        <location filename="../src/policypage.cpp" line="96"/>
        <source>备份保留</source>
        <translation>Backup retention</translation>
    </message>
    <message>
        <location filename="../src/policypage.cpp" line="99"/>
        <source>系统升级会自动创建备份（系统内置，不可关闭）。以下策略控制备份保留与清理，避免无限累积。</source>
        <translation>Upgrades always create a backup (built in, cannot be turned off). These policies control how backups are kept and cleaned so they do not pile up.</translation>
    </message>
    <message>
        <location filename="../src/policypage.cpp" line="101"/>
        <location filename="../src/policypage.cpp" line="112"/>
        <source>即时生效</source>
        <translation>Applies at once</translation>
    </message>
    <message>
        <location filename="../src/policypage.cpp" line="102"/>
        <location filename="../src/policypage.cpp" line="122"/>
        <source>个</source>
        <translation>items</translation>
    </message>
    <message>
        <location filename="../src/policypage.cpp" line="102"/>
        <location filename="../src/policypage.cpp" line="103"/>
        <source>备份数量上限</source>
        <translation>Backup limit</translation>
    </message>
    <message>
        <location filename="../src/policypage.cpp" line="103"/>
        <source>0 表示不限；超出后按清理策略处理</source>
        <translation>0 means no limit; beyond it the cleanup policy applies</translation>
    </message>
    <message>
        <location filename="../src/policypage.cpp" line="105"/>
        <location filename="../src/policypage.cpp" line="106"/>
        <source>超限自动清理</source>
        <translation>Clean up beyond the limit</translation>
    </message>
    <message>
        <location filename="../src/policypage.cpp" line="109"/>
        <source>更新与回滚</source>
        <translation>Updates and rollback</translation>
    </message>
    <message>
        <location filename="../src/policypage.cpp" line="111"/>
        <source>以下策略控制系统升级失败时的回滚与清理流程。</source>
        <translation>These policies control rollback and cleanup when an upgrade fails.</translation>
    </message>
    <message>
        <location filename="../src/policypage.cpp" line="113"/>
        <location filename="../src/policypage.cpp" line="115"/>
        <source>升级失败自动回滚</source>
        <translation>Roll back failed upgrades</translation>
    </message>
    <message>
        <location filename="../src/policypage.cpp" line="115"/>
        <source>失败时回滚到升级前状态，避免系统无法启动</source>
        <translation>Return to the state before the upgrade when it fails, so the system still boots</translation>
    </message>
    <message>
        <location filename="../src/policypage.cpp" line="118"/>
        <source>手动清理（默认）</source>
        <translation>Manual cleanup (default)</translation>
    </message>
    <message>
        <location filename="../src/policypage.cpp" line="118"/>
        <source>重启 3 次正常后自动清理</source>
        <translation>Clean up after 3 normal restarts</translation>
    </message>
    <message>
        <location filename="../src/policypage.cpp" line="119"/>
        <location filename="../src/policypage.cpp" line="120"/>
        <source>回滚前备份清理</source>
        <translation>Pre-rollback backup cleanup</translation>
    </message>
    <message>
        <location filename="../src/policypage.cpp" line="121"/>
        <source>还原前自动创建回滚前备份；回滚成功后按所选方式清理</source>
        <translation>A pre-rollback backup is made before restoring; it is cleaned up as chosen after a successful rollback</translation>
    </message>
    <message>
        <location filename="../src/policypage.cpp" line="122"/>
        <location filename="../src/policypage.cpp" line="124"/>
        <source>保留旧部署数</source>
        <translation>Old deployments kept</translation>
    </message>
    <message>
        <location filename="../src/policypage.cpp" line="125"/>
        <source>升级/回滚时保留的旧系统部署数量（默认 1，新备份自动覆盖旧备份）</source>
        <translation>Old deployments kept on upgrade or rollback (default 1; newer ones replace older ones)</translation>
    </message>
    <message>
        <location filename="../src/policypage.cpp" line="128"/>
        <source>Tavrin系统参数</source>
        <translation>Tavrin system parameters</translation>
    </message>
    <message>
        <location filename="../src/policypage.cpp" line="130"/>
        <source>以下参数写入系统配置文件，需管理员权限；修改后点击「保存系统参数」生效。</source>
        <translation>These parameters are written to the system configuration file and need administrator rights; press &quot;Save system parameters&quot; to apply changes.</translation>
    </message>
    <message>
        <location filename="../src/policypage.cpp" line="131"/>
        <source>有未保存修改</source>
        <translation>Unsaved changes</translation>
    </message>
    <message>
        <location filename="../src/policypage.cpp" line="135"/>
        <location filename="../src/policypage.cpp" line="138"/>
        <source>保存系统参数</source>
        <translation>Save system parameters</translation>
    </message>
    <message>
        <location filename="../src/policypage.cpp" line="140"/>
        <location filename="../src/policypage.cpp" line="142"/>
        <source>自动刷新阈值</source>
        <translation>Auto-refresh threshold</translation>
    </message>
    <message>
        <location filename="../src/policypage.cpp" line="142"/>
        <source>修改层超过该阈值时自动刷新合并到系统层；建议 200–1000 MiB</source>
        <translation>Above this size the modification layer is merged into the system layer; 200–1000 MiB recommended</translation>
    </message>
    <message>
        <location filename="../src/policypage.cpp" line="148"/>
        <source>配置文件</source>
        <translation>Configuration file</translation>
    </message>
    <message>
        <location filename="../src/policypage.cpp" line="148"/>
        <source>保存系统参数的目标文件</source>
        <translation>The file the system parameters are saved to</translation>
    </message>
    <message>
        <location filename="../src/policypage.cpp" line="233"/>
        <source>偏好设置未能保存到 %1，已恢复为保存的值。</source>
        <translation>The preference could not be saved to %1; the stored value is shown again.</translation>
    </message>
    <message>
        <location filename="../src/policypage.cpp" line="260"/>
        <source>仅删除最旧普通备份；初始备份永不删除</source>
        <translation>Only the oldest ordinary backups are deleted; the initial backup never is</translation>
    </message>
    <message>
        <location filename="../src/policypage.cpp" line="261"/>
        <source>上限为不限时无需自动清理</source>
        <translation>No cleanup needed while there is no limit</translation>
    </message>
    <message>
        <location filename="../src/policypage.cpp" line="336"/>
        <source>系统参数没有修改，无需保存</source>
        <translation>No system parameter changed; nothing to save</translation>
    </message>
    <message>
        <location filename="../src/policypage.cpp" line="340"/>
        <source>正在保存系统参数...</source>
        <translation>Saving system parameters...</translation>
    </message>
    <message>
        <location filename="../src/policypage.cpp" line="360"/>
        <source>系统参数已保存</source>
        <translation>System parameters saved</translation>
    </message>
    <message>
        <location filename="../src/policypage.cpp" line="366"/>
        <source>保存失败: %1</source>
        <translation>Save failed: %1</translation>
    </message>
</context>
<context>
    <name>ProtectionPage</name>
    <message>
        <location filename="../src/protectionpage.cpp" line="39"/>
        <source>系统保护</source>
        <translation>System Protection</translation>
    </message>
    <message>
        <location filename="../src/protectionpage.cpp" line="39"/>
        <source>Tavrin系统只读保护(可写层)管理</source>
        <translation>Tavrin read-only protection (writable layer) management</translation>
    </message>
    <message>
        <location filename="../src/protectionpage.cpp" line="47"/>
        <location filename="../src/protectionpage.cpp" line="91"/>
        <source>正在读取保护状态...</source>
        <translation>Reading the protection status...</translation>
    </message>
    <message>
        <location filename="../src/protectionpage.cpp" line="61"/>
        <location filename="../src/protectionpage.cpp" line="142"/>
        <source>保护开关</source>
        <translation>Protection Switch</translation>
    </message>
    <message>
        <location filename="../src/protectionpage.cpp" line="61"/>
        <source>总开关：开启或关闭Tavrin系统保护</source>
        <translation>Master switch: turn Tavrin system protection on or off</translation>
    </message>
    <message>
        <location filename="../src/protectionpage.cpp" line="66"/>
        <source>说明</source>
        <translation>How It Works</translation>
    </message>
    <message>
        <location filename="../src/protectionpage.cpp" line="68"/>
        <source>Tavrin系统将核心目录(/usr 等)以只读方式挂载, 防止误操作或恶意软件破坏系统。
开启“可写层”将解除只读保护(适合开发调试), 关闭后恢复保护。</source>
        <translation>Tavrin mounts the core directories (/usr and others) read-only, so that mistakes or malware cannot damage the system.
Turning on the “writable layer” lifts the read-only protection (useful for development and debugging); turning it off restores the protection.</translation>
    </message>
    <message>
        <location filename="../src/protectionpage.cpp" line="72"/>
        <source>注意: 开启可写层后系统将拒绝执行快照还原。</source>
        <translation>Note: while the writable layer is on, the system refuses to restore snapshots.</translation>
    </message>
    <message>
        <location filename="../src/protectionpage.cpp" line="79"/>
        <location filename="../src/protectionpage.cpp" line="143"/>
        <source>Tavrin功能</source>
        <translation>Tavrin Protection</translation>
    </message>
    <message>
        <location filename="../src/protectionpage.cpp" line="144"/>
        <source>总开关：控制Tavrin系统保护的启用状态</source>
        <translation>Master switch: controls whether Tavrin system protection is on</translation>
    </message>
    <message>
        <source>无法读取可写层状态。</source>
        <translation>Could not read the writable layer's state.</translation>
    </message>
    <message>
        <source>完整输出</source>
        <translation>Full output</translation>
    </message>
</context>
<context>
    <name>SnapshotsPage</name>
    <message>
        <source>类型: %1</source>
        <translation>Type: %1</translation>
    </message>
    <message>
        <source>无法完整测量，稍后将自动重试：</source>
        <translation>Not fully measured; retried later:</translation>
    </message>
    <message>
        <source>删除安全备份</source>
        <translation>Delete safety backup</translation>
    </message>
    <message>
        <source>删除安全备份失败: %1</source>
        <translation>Deleting the safety backup failed: %1</translation>
    </message>
    <message>
        <source>安全备份: %1</source>
        <translation>Safety backup: %1</translation>
    </message>
    <message>
        <source>安全备份已删除</source>
        <translation>Safety backup deleted</translation>
    </message>
    <message>
        <source>已被升级取代</source>
        <translation>Replaced by an upgrade</translation>
    </message>
    <message>
        <source>正在删除安全备份...</source>
        <translation>Deleting the safety backup...</translation>
    </message>
    <message>
        <source>清除</source>
        <translation>Clear</translation>
    </message>
    <message>
        <source>该还原已被升级取代，其回滚前安全备份将被删除，且无法恢复。</source>
        <translation>This rollback was replaced by an upgrade; its pre-rollback safety backup will be deleted and cannot be restored.</translation>
    </message>
    <message>
        <source>该还原已被升级取代，将清除它的还原记录。</source>
        <translation>This rollback was replaced by an upgrade; its record will be cleared.</translation>
    </message>
    <message>
        <source>还原未生效，安全备份需手动删除</source>
        <translation>The rollback did not take effect; delete the safety backup by hand</translation>
    </message>
    <message>
        <source>还原未执行，系统未做任何更改。</source>
        <translation>The restore was not carried out; nothing on the system was changed.</translation>
    </message>
    <message>
        <source>还原已就绪，但回滚状态未能记录：回滚前备份已保留，不会自动清理。</source>
        <translation>The restore is ready, but the rollback state could not be recorded: the pre-rollback backup is kept and will not be cleaned up automatically.</translation>
    </message>
    <message>
        <source>创建回滚前备份失败，未执行还原，系统未做任何更改。</source>
        <translation>Creating the pre-rollback backup failed; the restore was not carried out and nothing on the system was changed.</translation>
    </message>
    <message>
        <source>安装自动清理失败，已撤销回滚前备份，未执行还原。</source>
        <translation>Installing the automatic clean-up failed; the pre-rollback backup was removed again and the restore was not carried out.</translation>
    </message>
    <message>
        <source>还原失败，已撤销已完成的步骤，系统未做任何更改。</source>
        <translation>The restore failed; the steps already done were undone and nothing on the system was changed.</translation>
    </message>
    <message>
        <location filename="../src/snapshotspage.cpp" line="517"/>
        <source>需手动清理</source>
        <translation>Remove by Hand</translation>
    </message>
    <message>
        <location filename="../src/snapshotspage.cpp" line="517"/>
        <source>等待还原生效</source>
        <translation>Waiting for Restore</translation>
    </message>
    <message>
        <location filename="../src/snapshotspage.cpp" line="122"/>
        <source>备份数量上限</source>
        <translation>Backup Limit</translation>
    </message>
    <message>
        <location filename="../src/snapshotspage.cpp" line="123"/>
        <source>当前数量</source>
        <translation>Current Count</translation>
    </message>
    <message>
        <location filename="../src/snapshotspage.cpp" line="124"/>
        <source>回滚前安全备份</source>
        <translation>Pre-Rollback Backup</translation>
    </message>
    <message>
        <location filename="../src/snapshotspage.cpp" line="130"/>
        <location filename="../src/snapshotspage.cpp" line="210"/>
        <source>正在读取快照列表...</source>
        <translation>Reading the snapshot list...</translation>
    </message>
    <message>
        <location filename="../src/snapshotspage.cpp" line="142"/>
        <source>名称</source>
        <translation>Name</translation>
    </message>
    <message>
        <location filename="../src/snapshotspage.cpp" line="142"/>
        <source>类型</source>
        <translation>Type</translation>
    </message>
    <message>
        <location filename="../src/snapshotspage.cpp" line="142"/>
        <source>创建时间</source>
        <translation>Created</translation>
    </message>
    <message>
        <location filename="../src/snapshotspage.cpp" line="142"/>
        <source>占用空间</source>
        <translation>Size</translation>
    </message>
    <message>
        <location filename="../src/snapshotspage.cpp" line="142"/>
        <source>ID</source>
        <translation>ID</translation>
    </message>
    <message>
        <location filename="../src/snapshotspage.cpp" line="142"/>
        <source>操作</source>
        <translation>Actions</translation>
    </message>
    <message>
        <location filename="../src/snapshotspage.cpp" line="142"/>
        <source>系统备份列表</source>
        <translation>System backup list</translation>
    </message>
    <message>
        <location filename="../src/snapshotspage.cpp" line="161"/>
        <source>暂无备份</source>
        <translation>No Backups Yet</translation>
    </message>
    <message>
        <location filename="../src/snapshotspage.cpp" line="163"/>
        <source>创建备份后可在系统出问题时还原到当前状态。系统初始备份由Tavrin自动创建，受保护、不可删除。</source>
        <translation>Create a backup to return to the current state if something goes wrong with the system. The initial system backup is created by Tavrin automatically; it is protected and cannot be deleted.</translation>
    </message>
    <message>
        <location filename="../src/snapshotspage.cpp" line="164"/>
        <location filename="../src/snapshotspage.cpp" line="790"/>
        <source>创建备份</source>
        <translation>Create Backup</translation>
    </message>
    <message>
        <location filename="../src/snapshotspage.cpp" line="181"/>
        <source>提示：悬停名称列可查看完整描述与用途；系统初始备份受Tavrin保护，不可删除。</source>
        <translation>Tip: hover over a name to see its full description and purpose; the initial system backup is protected by Tavrin and cannot be deleted.</translation>
    </message>
    <message>
        <location filename="../src/snapshotspage.cpp" line="420"/>
        <source>%1
描述: %2</source>
        <translation>%1
Description: %2</translation>
    </message>
    <message>
        <location filename="../src/snapshotspage.cpp" line="370"/>
        <source>%1，%2</source>
        <translation>%1, %2</translation>
    </message>
    <message>
        <location filename="../src/snapshotrowdelegate.cpp" line="81"/>
        <source>初始</source>
        <translation>Initial</translation>
    </message>
    <message>
        <location filename="../src/snapshotrowdelegate.cpp" line="85"/>
        <source>系统初始备份, 受Tavrin保护, 不可删除</source>
        <translation>Initial system backup, protected by Tavrin, cannot be deleted</translation>
    </message>
    <message>
        <location filename="../src/snapshotrowdelegate.cpp" line="87"/>
        <source>回滚前</source>
        <translation>Pre-rollback</translation>
    </message>
    <message>
        <location filename="../src/snapshotrowdelegate.cpp" line="91"/>
        <source>还原前自动创建的安全备份, 回滚成功后可在本页手动删除</source>
        <translation>Safety backup taken automatically before a restore; you can delete it here once the rollback has succeeded</translation>
    </message>
    <message>
        <location filename="../src/snapshotspage.cpp" line="427"/>
        <location filename="../src/snapshotspage.cpp" line="543"/>
        <source>系统初始备份</source>
        <translation>Initial</translation>
    </message>
    <message>
        <location filename="../src/snapshotspage.cpp" line="427"/>
        <location filename="../src/snapshotspage.cpp" line="543"/>
        <source>回滚前备份</source>
        <translation>Pre-rollback</translation>
    </message>
    <message>
        <location filename="../src/snapshotspage.cpp" line="427"/>
        <location filename="../src/snapshotspage.cpp" line="543"/>
        <source>普通备份</source>
        <translation>Regular</translation>
    </message>
    <message>
        <location filename="../src/snapshotspage.cpp" line="451"/>
        <location filename="../src/snapshotspage.cpp" line="546"/>
        <source>计算中...</source>
        <translation>Calculating...</translation>
    </message>
    <message>
        <location filename="../src/snapshotspage.cpp" line="452"/>
        <source>正在计算占用空间</source>
        <translation>Calculating the space used</translation>
    </message>
    <message>
        <location filename="../src/snapshotspage.cpp" line="455"/>
        <source>无法计算占用空间：部分系统树无法读取。稍后将自动重试。</source>
        <translation>The space used cannot be calculated: some system trees could not be read. It will be tried again shortly.</translation>
    </message>
    <message>
        <location filename="../src/snapshotspage.cpp" line="456"/>
        <source>无法测量此备份的占用空间。稍后将自动重试。</source>
        <translation>The space used by this snapshot cannot be measured. It will be tried again shortly.</translation>
    </message>
    <message>
        <location filename="../src/snapshotspage.cpp" line="448"/>
        <source>增量数据: %1
独占对象: %2</source>
        <translation>Incremental data: %1
Exclusive objects: %2</translation>
    </message>
    <message>
        <location filename="../src/snapshotrowdelegate.cpp" line="73"/>
        <source>还原</source>
        <translation>Restore</translation>
    </message>
    <message>
        <location filename="../src/snapshotrowdelegate.cpp" line="76"/>
        <source>将系统还原到此备份的状态（重启后生效）</source>
        <translation>Restore the system to the state of this backup (takes effect after a reboot)</translation>
    </message>
    <message>
        <source>还原到备份：%1</source>
        <translation type="vanished">Restore backup: %1</translation>
    </message>
    <message>
        <location filename="../src/snapshotrowdelegate.cpp" line="78"/>
        <location filename="../src/snapshotspage.cpp" line="888"/>
        <source>删除</source>
        <translation>Delete</translation>
    </message>
    <message>
        <location filename="../src/snapshotrowdelegate.cpp" line="266"/>
        <source>系统初始备份受保护, 不可删除</source>
        <translation>The initial system backup is protected and cannot be deleted</translation>
    </message>
    <message>
        <location filename="../src/snapshotrowdelegate.cpp" line="265"/>
        <source>删除此备份</source>
        <translation>Delete this backup</translation>
    </message>
    <message>
        <source>删除备份：%1</source>
        <translation type="vanished">Delete backup: %1</translation>
    </message>
    <message>
        <location filename="../src/snapshotspage.cpp" line="493"/>
        <source>不限制</source>
        <translation>Unlimited</translation>
    </message>
    <message>
        <location filename="../src/snapshotspage.cpp" line="494"/>
        <source>%1 个</source>
        <translation>%1</translation>
    </message>
    <message>
        <location filename="../src/snapshotspage.cpp" line="498"/>
        <source>未启用</source>
        <translation>Not enabled</translation>
    </message>
    <message>
        <location filename="../src/snapshotspage.cpp" line="503"/>
        <source>手动</source>
        <translation>Manual</translation>
    </message>
    <message>
        <location filename="../src/snapshotspage.cpp" line="505"/>
        <source>失败</source>
        <translation>Failed</translation>
    </message>
    <message>
        <location filename="../src/snapshotspage.cpp" line="507"/>
        <source>重启 3 次后</source>
        <translation>After 3 boots</translation>
    </message>
    <message>
        <location filename="../src/snapshotspage.cpp" line="509"/>
        <source>已完成</source>
        <translation>Done</translation>
    </message>
    <message>
        <location filename="../src/snapshotspage.cpp" line="511"/>
        <source>已取消</source>
        <translation>Cancelled</translation>
    </message>
    <message>
        <location filename="../src/snapshotspage.cpp" line="513"/>
        <source>进行中</source>
        <translation>In progress</translation>
    </message>
    <message>
        <location filename="../src/snapshotspage.cpp" line="782"/>
        <source>上一项操作尚未完成，请稍候再试。</source>
        <translation>The previous action has not finished yet. Please try again in a moment.</translation>
    </message>
    <message>
        <location filename="../src/snapshotspage.cpp" line="796"/>
        <source>备份名称</source>
        <translation>Backup name</translation>
    </message>
    <message>
        <location filename="../src/snapshotspage.cpp" line="801"/>
        <source>例如: 更新前备份</source>
        <translation>For example: Before-update</translation>
    </message>
    <message>
        <location filename="../src/snapshotspage.cpp" line="802"/>
        <source>手动备份-</source>
        <translation>Manual-backup-</translation>
    </message>
    <message>
        <location filename="../src/snapshotspage.cpp" line="807"/>
        <source>描述(可选)</source>
        <translation>Description (optional)</translation>
    </message>
    <message>
        <location filename="../src/snapshotspage.cpp" line="817"/>
        <source>记录该备份的用途...</source>
        <translation>What this backup is for...</translation>
    </message>
    <message>
        <location filename="../src/snapshotspage.cpp" line="820"/>
        <location filename="../src/snapshotspage.cpp" line="889"/>
        <location filename="../src/snapshotspage.cpp" line="959"/>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <location filename="../src/snapshotspage.cpp" line="821"/>
        <source>创建</source>
        <translation>Create</translation>
    </message>
    <message>
        <location filename="../src/snapshotspage.cpp" line="836"/>
        <source>备份名称不能为空，请填写后重试。</source>
        <translation>The backup name cannot be empty. Enter a name and try again.</translation>
    </message>
    <message>
        <location filename="../src/snapshotspage.cpp" line="848"/>
        <source>正在创建备份, 请稍候...</source>
        <translation>Creating the backup, please wait...</translation>
    </message>
    <message>
        <location filename="../src/snapshotspage.cpp" line="862"/>
        <source>备份“%1”创建成功。</source>
        <translation>Backup “%1” created.</translation>
    </message>
    <message>
        <location filename="../src/snapshotspage.cpp" line="864"/>
        <source>创建失败，请查看详情了解具体原因。</source>
        <translation>Creating the backup failed. See the details for the reason.</translation>
    </message>
    <message>
        <location filename="../src/snapshotspage.cpp" line="392"/>
        <location filename="../src/snapshotspage.cpp" line="773"/>
        <source>完整输出</source>
        <translation>Full Output</translation>
    </message>
    <message>
        <location filename="../src/snapshotspage.cpp" line="877"/>
        <source>删除备份</source>
        <translation>Delete Backup</translation>
    </message>
    <message>
        <location filename="../src/snapshotspage.cpp" line="878"/>
        <source>删除后该备份的增量数据将被释放，且无法恢复。</source>
        <translation>Deleting the backup frees its incremental data. This cannot be undone.</translation>
    </message>
    <message>
        <location filename="../src/snapshotspage.cpp" line="882"/>
        <location filename="../src/snapshotspage.cpp" line="948"/>
        <location filename="../src/snapshotspage.cpp" line="1033"/>
        <source>目标备份: %1</source>
        <translation>Backup: %1</translation>
    </message>
    <message>
        <location filename="../src/snapshotspage.cpp" line="883"/>
        <location filename="../src/snapshotspage.cpp" line="949"/>
        <source>创建时间: %1</source>
        <translation>Created: %1</translation>
    </message>
    <message>
        <location filename="../src/snapshotspage.cpp" line="895"/>
        <source>正在删除备份...</source>
        <translation>Deleting the backup...</translation>
    </message>
    <message>
        <location filename="../src/snapshotspage.cpp" line="908"/>
        <source>备份已删除，占用空间已释放。</source>
        <translation>Backup deleted; its space has been freed.</translation>
    </message>
    <message>
        <location filename="../src/snapshotspage.cpp" line="910"/>
        <source>删除失败，请查看详情了解具体原因。</source>
        <translation>Deleting the backup failed. See the details for the reason.</translation>
    </message>
    <message>
        <location filename="../src/snapshotspage.cpp" line="928"/>
        <source>可写层冲突</source>
        <translation>Writable Layer Conflict</translation>
    </message>
    <message>
        <location filename="../src/snapshotspage.cpp" line="929"/>
        <source>当前可写层（只读保护已关闭）处于开启状态，Tavrin会拒绝还原操作。
请先关闭可写层、恢复只读保护。</source>
        <translation>The writable layer is on (read-only protection is off), so Tavrin will refuse to restore.
Turn off the writable layer and restore read-only protection first.</translation>
    </message>
    <message>
        <location filename="../src/snapshotspage.cpp" line="931"/>
        <source>要还原的备份: %1</source>
        <translation>Backup to restore: %1</translation>
    </message>
    <message>
        <location filename="../src/snapshotspage.cpp" line="932"/>
        <source>前往设置</source>
        <translation>Go to Settings</translation>
    </message>
    <message>
        <location filename="../src/snapshotspage.cpp" line="946"/>
        <source>还原到备份</source>
        <translation>Restore Backup</translation>
    </message>
    <message>
        <location filename="../src/snapshotspage.cpp" line="947"/>
        <source>系统将还原到所选备份的状态，重启后生效。</source>
        <translation>The system will be restored to the state of the selected backup; this takes effect after a reboot.</translation>
    </message>
    <message>
        <location filename="../src/snapshotspage.cpp" line="950"/>
        <source>描述: %1</source>
        <translation>Description: %1</translation>
    </message>
    <message>
        <location filename="../src/snapshotspage.cpp" line="950"/>
        <source>无</source>
        <translation>None</translation>
    </message>
    <message>
        <location filename="../src/snapshotspage.cpp" line="951"/>
        <source>该备份之后对【系统层】的修改（安装的软件、系统配置）将丢失</source>
        <translation>Changes to the system layer made after this backup (installed software, system configuration) will be lost</translation>
    </message>
    <message>
        <location filename="../src/snapshotspage.cpp" line="952"/>
        <source>用户数据（/home 数据分区）不受影响</source>
        <translation>User data (the /home data partition) is not affected</translation>
    </message>
    <message>
        <location filename="../src/snapshotspage.cpp" line="953"/>
        <source>还原期间请勿断电，系统会在失败时自动回退</source>
        <translation>Do not cut the power during the restore; if it fails, the system rolls back automatically</translation>
    </message>
    <message>
        <location filename="../src/snapshotspage.cpp" line="954"/>
        <source>自动创建回滚前备份，保留待手动删除（推荐）</source>
        <translation>Create a pre-rollback backup and keep it until you delete it (recommended)</translation>
    </message>
    <message>
        <location filename="../src/snapshotspage.cpp" line="955"/>
        <source>自动创建，且系统重启 3 次正常后自动删除</source>
        <translation>Create one and delete it automatically after 3 successful boots</translation>
    </message>
    <message>
        <location filename="../src/snapshotspage.cpp" line="955"/>
        <source>不创建回滚前备份（不推荐）</source>
        <translation>Do not create a pre-rollback backup (not recommended)</translation>
    </message>
    <message>
        <location filename="../src/snapshotspage.cpp" line="958"/>
        <source>开始还原</source>
        <translation>Start Restore</translation>
    </message>
    <message>
        <location filename="../src/snapshotspage.cpp" line="973"/>
        <source>正在准备还原...</source>
        <translation>Preparing the restore...</translation>
    </message>
    <message>
        <location filename="../src/snapshotspage.cpp" line="975"/>
        <source>回滚前备份-</source>
        <translation>Pre-rollback-backup-</translation>
    </message>
    <message>
        <location filename="../src/snapshotspage.cpp" line="976"/>
        <source>回滚到[%1]前的系统状态</source>
        <translation>System state before rolling back to [%1]</translation>
    </message>
    <message>
        <location filename="../src/snapshotspage.cpp" line="1031"/>
        <source>还原已就绪</source>
        <translation>Restore Ready</translation>
    </message>
    <message>
        <location filename="../src/snapshotspage.cpp" line="1032"/>
        <source>系统将在重启后自动还原到所选备份。请先保存您的工作。</source>
        <translation>The system will be restored to the selected backup when it reboots. Save your work first.</translation>
    </message>
    <message>
        <location filename="../src/snapshotspage.cpp" line="1034"/>
        <source>立即重启</source>
        <translation>Reboot Now</translation>
    </message>
    <message>
        <location filename="../src/snapshotspage.cpp" line="1035"/>
        <source>稍后手动重启</source>
        <translation>Reboot Later</translation>
    </message>
    <message>
        <location filename="../src/snapshotspage.cpp" line="1047"/>
        <source>还原已就绪，请稍后手动重启系统以生效。</source>
        <translation>The restore is ready. Reboot the system later for it to take effect.</translation>
    </message>
    <message>
        <location filename="../src/snapshotspage.cpp" line="1050"/>
        <source>还原失败，请查看详情了解具体原因。</source>
        <translation>The restore failed. See the details for the reason.</translation>
    </message>
    <message>
        <location filename="../src/snapshotspage.cpp" line="173"/>
        <source>无法读取备份列表。这不表示系统中没有备份，请查看详情或重试。</source>
        <translation>The snapshot list could not be read. This does not mean there are no snapshots: see the details or try again.</translation>
    </message>
    <message>
        <location filename="../src/snapshotspage.cpp" line="174"/>
        <source>重试</source>
        <translation>Retry</translation>
    </message>
    <message>
        <location filename="../src/snapshotspage.cpp" line="372"/>
        <source>还原（Enter 或菜单键）</source>
        <translation>Restore (Enter or the menu key)</translation>
    </message>
    <message>
        <location filename="../src/snapshotspage.cpp" line="372"/>
        <source>还原、删除（Enter 或菜单键）</source>
        <translation>Restore, delete (Enter or the menu key)</translation>
    </message>
    <message>
        <location filename="../src/snapshotspage.cpp" line="391"/>
        <location filename="../src/snapshotspage.cpp" line="887"/>
        <source>未知</source>
        <translation>Unknown</translation>
    </message>
    <message>
        <location filename="../src/snapshotspage.cpp" line="710"/>
        <source>备份操作：%1</source>
        <translation>Snapshot actions: %1</translation>
    </message>
    <message>
        <location filename="../src/snapshotspage.cpp" line="711"/>
        <source>还原到此备份…</source>
        <translation>Restore to this snapshot…</translation>
    </message>
    <message>
        <location filename="../src/snapshotspage.cpp" line="713"/>
        <source>删除此备份…</source>
        <translation>Delete this snapshot…</translation>
    </message>
    <message>
        <location filename="../src/snapshotspage.cpp" line="884"/>
        <source>可释放空间: %1</source>
        <translation>Space freed: %1</translation>
    </message>
    <message>
        <location filename="../src/snapshotspage.cpp" line="886"/>
        <source>计算中…</source>
        <translation>calculating…</translation>
    </message>
    <message>
        <source>正在检查可写层状态...</source>
        <translation>Checking the writable layer...</translation>
    </message>
    <message>
        <source>无法读取可写层状态，未执行还原。</source>
        <translation>Could not read the writable layer's state; nothing was restored.</translation>
    </message>
    <message>
        <source>还原、编辑、删除（Enter 或菜单键）</source>
        <translation>Restore, edit, delete (Enter or the menu key)</translation>
    </message>
    <message>
        <source>编辑名称与描述…</source>
        <translation>Edit name and description…</translation>
    </message>
    <message>
        <source>编辑</source>
        <translation>Edit</translation>
    </message>
    <message>
        <source>修改此备份的名称与描述</source>
        <translation>Change the name and description of this backup</translation>
    </message>
    <message>
        <source>系统初始备份受保护, 不可修改</source>
        <translation>The initial system backup is protected and cannot be changed</translation>
    </message>
    <message>
        <source>编辑备份</source>
        <translation>Edit backup</translation>
    </message>
    <message>
        <source>保存</source>
        <translation>Save</translation>
    </message>
    <message>
        <source>名称含“First”或描述含“System initialization”的备份会被视为系统初始备份，请换一个写法。</source>
        <translation>A backup whose name contains “First” or whose description contains “System initialization” is taken for the initial system backup; please word it differently.</translation>
    </message>
    <message>
        <source>备份列表未能读取，本次创建不会自动清理超限备份。</source>
        <translation>The backup list could not be read: this creation removes no backups over the limit.</translation>
    </message>
    <message>
        <source>创建后将超出备份数量上限（%1 个），以下最旧的普通备份将被删除：</source>
        <translation>After the creation the backup limit (%1) is exceeded; these oldest ordinary backups will be deleted:</translation>
    </message>
    <message>
        <source>• %1（%2）</source>
        <translation>• %1 (%2)</translation>
    </message>
    <message>
        <source>系统初始备份与回滚前安全备份不会被删除，创建后仍有 %1 个超出上限。</source>
        <translation>The initial system backup and the pre-rollback safety backup are never deleted: %1 will still be over the limit afterwards.</translation>
    </message>
    <message>
        <source>创建未执行，未删除任何备份，系统未做任何更改。</source>
        <translation>Nothing was created and no backup was deleted; the system was not changed.</translation>
    </message>
    <message>
        <source>创建失败，未删除任何备份，请查看详情了解具体原因。</source>
        <translation>Creation failed and no backup was deleted; see the details for the reason.</translation>
    </message>
    <message>
        <source>备份“%1”创建成功，已清理 %2 个超限备份。</source>
        <translation>Backup “%1” created; %2 backups over the limit were removed.</translation>
    </message>
    <message>
        <source>备份“%1”创建成功，但以下超限备份未能删除：%2</source>
        <translation>Backup “%1” created, but these backups over the limit could not be deleted: %2</translation>
    </message>
    <message>
        <source>创建备份时自动删除超出上限的最旧普通备份。</source>
        <translation>Creating a backup deletes the oldest ordinary backups over the limit.</translation>
    </message>
    <message>
        <source>超限自动清理已关闭，超出上限的备份不会被删除。</source>
        <translation>Automatic clean-up is off: backups over the limit are not deleted.</translation>
    </message>
    <message>
        <source>当前 %1 个，超出上限 %2 个。%3</source>
        <translation>%1 now, %2 over the limit. %3</translation>
    </message>
    <message>
        <source>自动清理</source>
        <translation>Auto clean-up</translation>
    </message>
    <message>
        <source>不自动清理</source>
        <translation>No auto clean-up</translation>
    </message>
    <message>
        <source>正在创建备份并清理超限备份, 请稍候...</source>
        <translation>Creating the backup and removing backups over the limit, please wait...</translation>
    </message>
    <message>
        <source>正在读取备份信息...</source>
        <translation>Reading the backup...</translation>
    </message>
    <message>
        <source>无法读取该备份的当前名称与描述，未做任何修改。</source>
        <translation>The current name and description of this backup could not be read; nothing was changed.</translation>
    </message>
    <message>
        <source>snapshot show %1 未返回该备份</source>
        <translation>snapshot show %1 did not return this backup</translation>
    </message>
    <message>
        <source>正在保存备份信息...</source>
        <translation>Saving the backup...</translation>
    </message>
    <message>
        <source>修改失败，请查看详情了解具体原因。</source>
        <translation>The change failed; see the details for the reason.</translation>
    </message>
    <message>
        <source>备份“%1”已更新。</source>
        <translation>Backup “%1” updated.</translation>
    </message>
</context>
<context>
    <name>Startup</name>
    <message>
        <location filename="../src/startup.cpp" line="150"/>
        <source>Tavrin设置</source>
        <translation>Tavrin Settings</translation>
    </message>
    <message>
        <location filename="../src/windowmodule.cpp" line="22"/>
        <source>无法加载窗口模块：%1</source>
        <translation>cannot load the window module: %1</translation>
    </message>
    <message>
        <location filename="../src/startup.cpp" line="155"/>
        <source>用法：tavrin-manager [选项]

  （无选项）               打开 Tavrin设置 窗口
  --show-disk YYYY-MM-DD   打开磁盘页并定位到该日（已有窗口时交给它）
  --monitor                运行一次后台磁盘监控周期后退出（由 systemd 用户定时器启动）
  --status                 打印系统状态摘要后退出（不提权，不打开窗口）
  --status --json          以带版本号的 JSON 对象打印系统状态
  --help, -h               显示本帮助后退出
  --version                显示版本后退出

--status 的退出码：0 一切正常；1 有需要处理的事项（未查看的增长告警、磁盘将在预测期限内写满、监控停滞）；2 有部分状态无法读取。</source>
        <translation>Usage: tavrin-manager [option]

  (no option)              open the Tavrin Settings window
  --show-disk YYYY-MM-DD   open the disk page on that day (hands it to a running window)
  --monitor                run one background disk-monitor cycle and exit (started by a systemd user timer)
  --status                 print a summary of the system&apos;s state and exit (no elevation, no window)
  --status --json          print the system&apos;s state as a versioned JSON object
  --help, -h               show this help and exit
  --version                show the version and exit

Exit codes of --status: 0 all is well; 1 something to act on (an alert not yet seen, the disk full within the forecast limit, monitoring stalled); 2 part of the state could not be read.</translation>
    </message>
</context>
<context>
    <name>Status</name>
    <message>
        <location filename="../src/status/statusreport.cpp" line="42"/>
        <source>无法读取（%1）</source>
        <translation>unreadable (%1)</translation>
    </message>
    <message>
        <location filename="../src/status/statusreport.cpp" line="47"/>
        <source>开启</source>
        <translation>on</translation>
    </message>
    <message>
        <location filename="../src/status/statusreport.cpp" line="47"/>
        <source>关闭</source>
        <translation>off</translation>
    </message>
    <message>
        <location filename="../src/status/statusreport.cpp" line="140"/>
        <source>%1：%2</source>
        <translation>%1: %2</translation>
    </message>
    <message>
        <location filename="../src/status/statusreport.cpp" line="145"/>
        <location filename="../src/status/statusreport.cpp" line="147"/>
        <source>当前部署</source>
        <translation>Booted deployment</translation>
    </message>
    <message>
        <location filename="../src/status/statusreport.cpp" line="149"/>
        <location filename="../src/status/statusreport.cpp" line="153"/>
        <location filename="../src/status/statusreport.cpp" line="205"/>
        <location filename="../src/status/statusreport.cpp" line="220"/>
        <source>无</source>
        <translation>none</translation>
    </message>
    <message>
        <location filename="../src/status/statusreport.cpp" line="150"/>
        <source>%1（%2）</source>
        <translation>%1 (%2)</translation>
    </message>
    <message>
        <location filename="../src/status/statusreport.cpp" line="151"/>
        <source>待生效部署</source>
        <translation>Staged deployment</translation>
    </message>
    <message>
        <location filename="../src/status/statusreport.cpp" line="152"/>
        <source>%1（%2），重启后生效</source>
        <translation>%1 (%2), takes effect at the next boot</translation>
    </message>
    <message>
        <location filename="../src/status/statusreport.cpp" line="158"/>
        <location filename="../src/status/statusreport.cpp" line="160"/>
        <location filename="../src/status/statusreport.cpp" line="162"/>
        <source>快照</source>
        <translation>Snapshots</translation>
    </message>
    <message>
        <location filename="../src/status/statusreport.cpp" line="160"/>
        <source>共 0 个</source>
        <translation>none</translation>
    </message>
    <message>
        <location filename="../src/status/statusreport.cpp" line="162"/>
        <source>共 %1 个，最新 %2（%3）</source>
        <translation>%1, newest %2 (%3)</translation>
    </message>
    <message>
        <location filename="../src/status/statusreport.cpp" line="166"/>
        <source>只读保护</source>
        <translation>Read-only protection</translation>
    </message>
    <message>
        <location filename="../src/status/statusreport.cpp" line="167"/>
        <source>已启用</source>
        <translation>on</translation>
    </message>
    <message>
        <location filename="../src/status/statusreport.cpp" line="167"/>
        <source>已关闭</source>
        <translation>off</translation>
    </message>
    <message>
        <location filename="../src/status/statusreport.cpp" line="170"/>
        <location filename="../src/status/statusreport.cpp" line="172"/>
        <source>临时可写层</source>
        <translation>Temporary writable layer</translation>
    </message>
    <message>
        <location filename="../src/status/statusreport.cpp" line="173"/>
        <source>开启（重启后清除）</source>
        <translation>on (cleared at the next boot)</translation>
    </message>
    <message>
        <location filename="../src/status/statusreport.cpp" line="176"/>
        <source>系统盘</source>
        <translation>System disk</translation>
    </message>
    <message>
        <location filename="../src/status/statusreport.cpp" line="178"/>
        <source>已用 %1 / 共 %2</source>
        <translation>%1 used of %2</translation>
    </message>
    <message>
        <location filename="../src/status/statusreport.cpp" line="186"/>
        <source>已写满</source>
        <translation>full</translation>
    </message>
    <message>
        <location filename="../src/status/statusreport.cpp" line="188"/>
        <source>约 %1 天（每天增长 %2）</source>
        <translation>about %1 days (growing %2 a day)</translation>
    </message>
    <message>
        <location filename="../src/status/statusreport.cpp" line="192"/>
        <source>无预测：近期未增长</source>
        <translation>no forecast: not growing lately</translation>
    </message>
    <message>
        <location filename="../src/status/statusreport.cpp" line="194"/>
        <source>无预测：最近 %1 之后没有记录</source>
        <translation>no forecast: nothing recorded since %1</translation>
    </message>
    <message>
        <location filename="../src/status/statusreport.cpp" line="196"/>
        <source>无预测：容量未知</source>
        <translation>no forecast: capacity unknown</translation>
    </message>
    <message>
        <location filename="../src/status/statusreport.cpp" line="198"/>
        <source>无预测：历史不足两天</source>
        <translation>no forecast: less than two days of history</translation>
    </message>
    <message>
        <location filename="../src/status/statusreport.cpp" line="199"/>
        <source>预计写满</source>
        <translation>Full in</translation>
    </message>
    <message>
        <location filename="../src/status/statusreport.cpp" line="203"/>
        <location filename="../src/status/statusreport.cpp" line="205"/>
        <location filename="../src/status/statusreport.cpp" line="207"/>
        <source>最新告警</source>
        <translation>Newest alert</translation>
    </message>
    <message>
        <location filename="../src/status/statusreport.cpp" line="208"/>
        <source>%1 · %2 增长 %3</source>
        <translation>%1 · %2 grew by %3</translation>
    </message>
    <message>
        <location filename="../src/status/statusreport.cpp" line="208"/>
        <source>%1 · %2 增长 %3（未查看）</source>
        <translation>%1 · %2 grew by %3 (not seen yet)</translation>
    </message>
    <message>
        <location filename="../src/status/statusreport.cpp" line="217"/>
        <source>%1，最新采样 %2</source>
        <translation>%1, newest sample %2</translation>
    </message>
    <message>
        <location filename="../src/status/statusreport.cpp" line="217"/>
        <source>%1，最新采样 %2（已停滞）</source>
        <translation>%1, newest sample %2 (stalled)</translation>
    </message>
    <message>
        <location filename="../src/status/statusreport.cpp" line="221"/>
        <source>磁盘监控</source>
        <translation>Disk monitor</translation>
    </message>
    <message>
        <location filename="../src/status/statusreport.cpp" line="222"/>
        <source>监控定时器</source>
        <translation>Monitor timer</translation>
    </message>
    <message>
        <location filename="../src/status/statusreport.cpp" line="225"/>
        <source>结论：一切正常</source>
        <translation>Verdict: all is well</translation>
    </message>
    <message>
        <location filename="../src/status/statusreport.cpp" line="226"/>
        <source>结论：有需要处理的事项</source>
        <translation>Verdict: something to act on</translation>
    </message>
    <message>
        <location filename="../src/status/statusreport.cpp" line="227"/>
        <source>结论：部分状态无法读取</source>
        <translation>Verdict: part of the state could not be read</translation>
    </message>
    <message>
        <location filename="../src/status/systemstatus.cpp" line="36"/>
        <source>无法解析%1：%2</source>
        <translation>Cannot parse the %1: %2</translation>
    </message>
    <message>
        <location filename="../src/status/systemstatus.cpp" line="53"/>
        <source>部署列表</source>
        <translation>deployment list</translation>
    </message>
    <message>
        <location filename="../src/status/systemstatus.cpp" line="104"/>
        <source>保护状态</source>
        <translation>protection state</translation>
    </message>
    <message>
        <location filename="../src/status/systemstatus.cpp" line="124"/>
        <source>可写层状态</source>
        <translation>writable layer state</translation>
    </message>
    <message>
        <location filename="../src/status/systemstatus.cpp" line="139"/>
        <source>df 查询失败</source>
        <translation>df query failed</translation>
    </message>
    <message>
        <location filename="../src/status/systemstatus.cpp" line="161"/>
        <source>systemctl --user 没有回答</source>
        <translation>systemctl --user gave no answer</translation>
    </message>
    <message>
        <location filename="../src/status/systemstatus.cpp" line="235"/>
        <source>告警文件已损坏：%1</source>
        <translation>The alert file is damaged: %1</translation>
    </message>
    <message>
        <location filename="../src/status/systemstatus.cpp" line="327"/>
        <source>无法读取历史目录：%1</source>
        <translation>Cannot read the history directory: %1</translation>
    </message>
</context>
<context>
    <name>Tavrin::DiskHistoryStore</name>
    <message>
        <location filename="../src/disk/diskhistorystore.cpp" line="170"/>
        <source>历史目录正被另一个进程占用</source>
        <translation>The history directory is in use by another process</translation>
    </message>
    <message>
        <location filename="../src/disk/diskhistorystore.cpp" line="171"/>
        <source>无法在 %1 中加锁</source>
        <translation>Cannot take the lock in %1</translation>
    </message>
    <message>
        <location filename="../src/disk/diskhistorystore.cpp" line="225"/>
        <location filename="../src/disk/diskhistorystore.cpp" line="240"/>
        <source>日期无效</source>
        <translation>Invalid date</translation>
    </message>
    <message>
        <location filename="../src/disk/diskhistorystore.cpp" line="288"/>
        <source>记录过大，无法保存：%1</source>
        <translation>Record too large to save: %1</translation>
    </message>
    <message>
        <location filename="../src/disk/diskhistorystore.cpp" line="295"/>
        <source>无法写入 %1：%2</source>
        <translation>Cannot write %1: %2</translation>
    </message>
</context>
<context>
    <name>Tavrin::DiskMonitor</name>
    <message>
        <location filename="../src/disk/diskmonitor.cpp" line="604"/>
        <source>监控记录保存失败：%1</source>
        <translation>Could not save the monitor record: %1</translation>
    </message>
    <message>
        <location filename="../src/disk/diskmonitor.cpp" line="205"/>
        <source>磁盘空间异常增长</source>
        <translation>Abnormal disk space growth</translation>
    </message>
    <message>
        <location filename="../src/disk/forecastnotice.cpp" line="1"/>
        <source>增长最多的目录未知</source>
        <translation>The directory that grew most is unknown</translation>
    </message>
    <message>
        <location filename="../src/disk/forecastnotice.cpp" line="1"/>
        <source>增长最多：%1（14 天内 %2）</source>
        <translation>Grew most: %1 (%2 in 14 days)</translation>
    </message>
    <message>
        <location filename="../src/disk/forecastnotice.cpp" line="1"/>
        <source>系统盘已满。%1</source>
        <translation>The system disk is full. %1</translation>
    </message>
    <message>
        <location filename="../src/disk/forecastnotice.cpp" line="1"/>
        <source>按近 14 天的增长，系统盘约 %1 天后（%2）写满。%3</source>
        <translation>At the growth of the last 14 days, the system disk fills in about %1 days (%2). %3</translation>
    </message>
    <message>
        <location filename="../src/disk/forecastnotice.cpp" line="1"/>
        <source>系统盘即将写满</source>
        <translation>The system disk will soon be full</translation>
    </message>
    <message>
        <location filename="../src/disk/diskmonitor.cpp" line="206"/>
        <source>系统盘 %1 增长 %2，主要来源：%3</source>
        <translation>System disk grew by %2 on %1, mainly in %3</translation>
    </message>
    <message>
        <location filename="../src/disk/diskmonitor.cpp" line="208"/>
        <source>查看详情</source>
        <translation>View Details</translation>
    </message>
    <message>
        <location filename="../src/disk/diskmonitor.cpp" line="258"/>
        <location filename="../src/disk/diskmonitor.cpp" line="272"/>
        <source>监控周期已在运行</source>
        <translation>A monitor cycle is already running</translation>
    </message>
    <message>
        <location filename="../src/disk/diskmonitor.cpp" line="264"/>
        <source>监控未开启</source>
        <translation>Monitoring is off</translation>
    </message>
    <message>
        <location filename="../src/disk/diskmonitor.cpp" line="292"/>
        <source>df 查询失败</source>
        <translation>df query failed</translation>
    </message>
    <message>
        <location filename="../src/disk/diskmonitor.cpp" line="544"/>
        <source>监控周期超时</source>
        <translation>Monitor cycle timed out</translation>
    </message>
    <message>
        <location filename="../src/disk/diskmonitor.cpp" line="612"/>
        <source>监控完成</source>
        <translation>Monitor cycle finished</translation>
    </message>
    <message>
        <location filename="../src/disk/diskmonitor.cpp" line="746"/>
        <source>历史目录正被另一个进程占用</source>
        <translation>The history directory is in use by another process</translation>
    </message>
    <message>
        <location filename="../src/disk/diskmonitor.cpp" line="747"/>
        <source>无法在 %1 中加锁</source>
        <translation>Cannot take the lock in %1</translation>
    </message>
    <message>
        <location filename="../src/disk/diskmonitor.cpp" line="607"/>
        <source>告警记录保存失败：%1</source>
        <translation>Could not save the alert record: %1</translation>
    </message>
    <message>
        <location filename="../src/disk/diskmonitor.cpp" line="1"/>
        <source>预测记录保存失败：%1</source>
        <translation>Could not save the forecast record: %1</translation>
    </message>
</context>
<context>
    <name>Tavrin::DiskScanner</name>
    <message>
        <location filename="../src/disk/diskscanner.cpp" line="95"/>
        <source>无法启动 df 进程</source>
        <translation>Cannot start df</translation>
    </message>
    <message>
        <location filename="../src/disk/diskscanner.cpp" line="109"/>
        <source>df 执行超时</source>
        <translation>df timed out</translation>
    </message>
    <message>
        <location filename="../src/disk/diskscanner.cpp" line="109"/>
        <source>df 的输出过大，已停止</source>
        <translation>df printed far too much output and was stopped</translation>
    </message>
    <message>
        <location filename="../src/disk/diskscanner.cpp" line="397"/>
        <location filename="../src/disk/diskscanner.cpp" line="486"/>
        <source>扫描已取消</source>
        <translation>Scan cancelled</translation>
    </message>
    <message>
        <location filename="../src/disk/diskscanner.cpp" line="406"/>
        <source>无法启动 du 进程</source>
        <translation>Cannot start du</translation>
    </message>
    <message>
        <location filename="../src/disk/diskscanner.cpp" line="516"/>
        <source>扫描未完整完成</source>
        <translation>Scan did not complete</translation>
    </message>
    <message>
        <location filename="../src/disk/diskscanner.cpp" line="538"/>
        <source>无法解析 df 输出</source>
        <translation>Cannot parse the output of df</translation>
    </message>
    <message>
        <location filename="../src/disk/diskscanner.cpp" line="491"/>
        <source>du 的输出无法识别，扫描已停止</source>
        <translation>du printed something that is not its output; the scan was stopped</translation>
    </message>
</context>
<context>
    <name>TavrinAbout</name>
    <message>
        <location filename="../src/ui/aboutdialog.cpp" line="93"/>
        <source>版本 %1  ·  Zarnex 25 Tavrin系统管理工具</source>
        <translation>Version %1  ·  Tavrin system administration tool for Zarnex 25</translation>
    </message>
    <message>
        <location filename="../src/ui/aboutdialog.cpp" line="112"/>
        <source>技术基础</source>
        <translation>Technology</translation>
    </message>
    <message>
        <location filename="../src/ui/aboutdialog.cpp" line="114"/>
        <source>支持平台</source>
        <translation>Platforms</translation>
    </message>
    <message>
        <location filename="../src/ui/aboutdialog.cpp" line="114"/>
        <source>Zarnex 25（X11 / Wayland），ZDE 桌面风格（ZENTK）</source>
        <translation>Zarnex 25 (X11 / Wayland), ZDE desktop style (ZENTK)</translation>
    </message>
    <message>
        <location filename="../src/ui/aboutdialog.cpp" line="115"/>
        <source>开发者</source>
        <translation>Developer</translation>
    </message>
    <message>
        <location filename="../src/ui/aboutdialog.cpp" line="142"/>
        <source>核心目录只读保护</source>
        <translation>Read-only protection of core directories</translation>
    </message>
    <message>
        <location filename="../src/ui/aboutdialog.cpp" line="143"/>
        <source>/usr 只读 overlay，/etc /opt 可写 overlay</source>
        <translation>/usr as a read-only overlay, /etc and /opt as writable overlays</translation>
    </message>
    <message>
        <location filename="../src/ui/aboutdialog.cpp" line="144"/>
        <source>原子更新</source>
        <translation>Atomic updates</translation>
    </message>
    <message>
        <location filename="../src/ui/aboutdialog.cpp" line="145"/>
        <source>升级失败自动回滚（auto-rollback-on-failure）</source>
        <translation>Automatic rollback when an upgrade fails (auto-rollback-on-failure)</translation>
    </message>
    <message>
        <location filename="../src/ui/aboutdialog.cpp" line="146"/>
        <source>快照备份</source>
        <translation>Snapshot backups</translation>
    </message>
    <message>
        <location filename="../src/ui/aboutdialog.cpp" line="147"/>
        <source>基于 OSTree 秒级增量快照，支持导出/导入</source>
        <translation>Incremental OSTree snapshots in seconds, with export/import</translation>
    </message>
    <message>
        <location filename="../src/ui/aboutdialog.cpp" line="148"/>
        <source>初始备份保护</source>
        <translation>Protected initial backup</translation>
    </message>
    <message>
        <location filename="../src/ui/aboutdialog.cpp" line="148"/>
        <source>初始备份受系统保护，不可删除/修改</source>
        <translation>The initial backup is protected by the system and cannot be deleted or modified</translation>
    </message>
    <message>
        <location filename="../src/ui/aboutdialog.cpp" line="149"/>
        <source>还原需重启</source>
        <translation>Restore takes effect on reboot</translation>
    </message>
    <message>
        <location filename="../src/ui/aboutdialog.cpp" line="150"/>
        <source>快照还原需重启生效，可写层开启时禁止还原</source>
        <translation>A snapshot restore takes effect after a reboot; restoring is blocked while the writable layer is on</translation>
    </message>
    <message>
        <location filename="../src/ui/aboutdialog.cpp" line="151"/>
        <source>分层存储</source>
        <translation>Layered storage</translation>
    </message>
    <message>
        <location filename="../src/ui/aboutdialog.cpp" line="152"/>
        <source>系统与数据分区分层，/home 等数据分区不受还原影响</source>
        <translation>System and data partitions are kept apart; data partitions such as /home are not affected by a restore</translation>
    </message>
    <message>
        <location filename="../src/ui/aboutdialog.cpp" line="166"/>
        <source>列出快照</source>
        <translation>List snapshots</translation>
    </message>
    <message>
        <location filename="../src/ui/aboutdialog.cpp" line="167"/>
        <source>创建快照</source>
        <translation>Create snapshot</translation>
    </message>
    <message>
        <location filename="../src/ui/aboutdialog.cpp" line="167"/>
        <source>sudo zarnex-immutable-ctl snapshot create &lt;名称&gt; &lt;描述&gt;</source>
        <translation>sudo zarnex-immutable-ctl snapshot create &lt;name&gt; &lt;description&gt;</translation>
    </message>
    <message>
        <location filename="../src/ui/aboutdialog.cpp" line="168"/>
        <source>还原快照</source>
        <translation>Restore snapshot</translation>
    </message>
    <message>
        <location filename="../src/ui/aboutdialog.cpp" line="169"/>
        <source>保护状态</source>
        <translation>Protection status</translation>
    </message>
    <message>
        <location filename="../src/ui/aboutdialog.cpp" line="170"/>
        <source>开/关可写层</source>
        <translation>Writable layer on/off</translation>
    </message>
    <message>
        <location filename="../src/ui/aboutdialog.cpp" line="171"/>
        <source>部署状态</source>
        <translation>Deployment status</translation>
    </message>
    <message>
        <location filename="../src/ui/aboutdialog.cpp" line="180"/>
        <location filename="../src/ui/aboutdialog.cpp" line="187"/>
        <source>复制版本信息</source>
        <translation>Copy Version Info</translation>
    </message>
    <message>
        <location filename="../src/ui/aboutdialog.cpp" line="184"/>
        <source>Tavrin设置</source>
        <translation>Tavrin Settings</translation>
    </message>
    <message>
        <location filename="../src/ui/aboutdialog.cpp" line="186"/>
        <source>已复制</source>
        <translation>Copied</translation>
    </message>
    <message>
        <location filename="../src/ui/aboutdialog.cpp" line="116"/>
        <source>许可证</source>
        <translation>License</translation>
    </message>
</context>
<context>
    <name>TavrinConfirm</name>
    <message>
        <source>高风险操作确认</source>
        <translation type="vanished">Confirm High-Risk Action</translation>
    </message>
    <message>
        <source>此为高风险操作，请务必确认后再继续</source>
        <translation type="vanished">This is a high-risk action. Make sure before you continue.</translation>
    </message>
    <message>
        <location filename="../src/ui/confirmdialog.cpp" line="109"/>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>我已知晓风险（%1s）</source>
        <translation type="vanished">I Understand the Risk (%1s)</translation>
    </message>
    <message>
        <source>我已知晓风险</source>
        <translation type="vanished">I Understand the Risk</translation>
    </message>
    <message>
        <location filename="../src/ui/confirmdialog.cpp" line="111"/>
        <source>确定</source>
        <translation>OK</translation>
    </message>
</context>
<context>
    <name>TavrinCountdownDialog</name>
    <message>
        <location filename="../src/countdowndialog.cpp" line="77"/>
        <location filename="../src/countdowndialog.cpp" line="93"/>
        <source>即将完全关闭Tavrin保护</source>
        <translation>Tavrin Protection Off for Good</translation>
    </message>
    <message>
        <location filename="../src/countdowndialog.cpp" line="99"/>
        <source>此为高风险操作，请务必确认后再继续</source>
        <translation>This is a high-risk action. Make sure before you continue.</translation>
    </message>
    <message>
        <location filename="../src/countdowndialog.cpp" line="109"/>
        <source>核心目录(/usr 等)将失去只读保护</source>
        <translation>Core directories (/usr and others) lose their read-only protection</translation>
    </message>
    <message>
        <location filename="../src/countdowndialog.cpp" line="109"/>
        <source>恶意软件与误操作可直接破坏系统</source>
        <translation>Malware and mistakes can damage the system directly</translation>
    </message>
    <message>
        <location filename="../src/countdowndialog.cpp" line="110"/>
        <source>重启后仍保持关闭，需手动重新开启保护</source>
        <translation>Protection stays off after a reboot until you turn it on again</translation>
    </message>
    <message>
        <location filename="../src/countdowndialog.cpp" line="125"/>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <location filename="../src/countdowndialog.cpp" line="187"/>
        <source>我已知晓风险，完全关闭</source>
        <translation>I Understand, Turn It Off</translation>
    </message>
    <message>
        <location filename="../src/countdowndialog.cpp" line="188"/>
        <source>我已知晓风险，完全关闭（%1s）</source>
        <translation>I Understand, Turn It Off (%1s)</translation>
    </message>
</context>
<context>
    <name>TavrinPageBlocks</name>
    <message>
        <location filename="../src/ui/pageblocks.cpp" line="255"/>
        <source>复制命令</source>
        <translation>Copy command</translation>
    </message>
    <message>
        <location filename="../src/ui/pageblocks.cpp" line="264"/>
        <source>复制</source>
        <translation>Copy</translation>
    </message>
    <message>
        <location filename="../src/ui/pageblocks.cpp" line="275"/>
        <source>已复制</source>
        <translation>Copied</translation>
    </message>
    <message>
        <location filename="../src/ui/pageblocks.cpp" line="257"/>
        <source>复制命令：%1</source>
        <translation>Copy command: %1</translation>
    </message>
</context>
<context>
    <name>TavrinProtection</name>
    <message>
        <location filename="../src/protectionpage.cpp" line="52"/>
        <source>只读保护</source>
        <translation>Read-Only Protection</translation>
    </message>
    <message>
        <location filename="../src/protectionpage.cpp" line="53"/>
        <source>可写层</source>
        <translation>Writable Layer</translation>
    </message>
    <message>
        <location filename="../src/protectionpage.cpp" line="54"/>
        <source>重启后状态</source>
        <translation>After Reboot</translation>
    </message>
    <message>
        <location filename="../src/overviewpage.cpp" line="333"/>
        <location filename="../src/protectionpage.cpp" line="117"/>
        <source>已开启</source>
        <translation>On</translation>
    </message>
    <message>
        <location filename="../src/overviewpage.cpp" line="334"/>
        <location filename="../src/protectionpage.cpp" line="118"/>
        <source>核心目录只读</source>
        <translation>Core directories read-only</translation>
    </message>
    <message>
        <location filename="../src/overviewpage.cpp" line="343"/>
        <location filename="../src/protectionpage.cpp" line="119"/>
        <source>已锁定</source>
        <translation>Locked</translation>
    </message>
    <message>
        <location filename="../src/overviewpage.cpp" line="344"/>
        <location filename="../src/protectionpage.cpp" line="120"/>
        <source>未启用</source>
        <translation>Not enabled</translation>
    </message>
    <message>
        <location filename="../src/protectionpage.cpp" line="121"/>
        <source>仍为只读</source>
        <translation>Still read-only</translation>
    </message>
    <message>
        <location filename="../src/protectionpage.cpp" line="122"/>
        <source>未做变更</source>
        <translation>No change</translation>
    </message>
    <message>
        <location filename="../src/overviewpage.cpp" line="336"/>
        <location filename="../src/protectionpage.cpp" line="125"/>
        <source>已关闭</source>
        <translation>Off</translation>
    </message>
    <message>
        <location filename="../src/overviewpage.cpp" line="337"/>
        <location filename="../src/protectionpage.cpp" line="126"/>
        <source>核心目录可写</source>
        <translation>Core directories writable</translation>
    </message>
    <message>
        <location filename="../src/overviewpage.cpp" line="340"/>
        <location filename="../src/protectionpage.cpp" line="127"/>
        <source>已解锁</source>
        <translation>Unlocked</translation>
    </message>
    <message>
        <location filename="../src/overviewpage.cpp" line="341"/>
        <location filename="../src/protectionpage.cpp" line="128"/>
        <source>开发调试模式</source>
        <translation>Development mode</translation>
    </message>
    <message>
        <location filename="../src/protectionpage.cpp" line="130"/>
        <source>恢复只读</source>
        <translation>Read-only again</translation>
    </message>
    <message>
        <location filename="../src/protectionpage.cpp" line="131"/>
        <source>临时关闭</source>
        <translation>Temporarily off</translation>
    </message>
    <message>
        <location filename="../src/protectionpage.cpp" line="133"/>
        <source>仍保持可写</source>
        <translation>Stays writable</translation>
    </message>
    <message>
        <location filename="../src/protectionpage.cpp" line="134"/>
        <source>永久关闭</source>
        <translation>Permanently off</translation>
    </message>
    <message>
        <source>读取失败</source>
        <translation>Read failed</translation>
    </message>
    <message>
        <source>未知</source>
        <translation>Unknown</translation>
    </message>
</context>
<context>
    <name>TavrinSwitch</name>
    <message>
        <location filename="../src/masterswitch.cpp" line="81"/>
        <source>设置成功，请重启系统使设置生效。</source>
        <translation>Setting saved. Reboot the system for it to take effect.</translation>
    </message>
    <message>
        <location filename="../src/masterswitch.cpp" line="89"/>
        <source>设置失败，请查看详情了解具体原因。</source>
        <translation>The setting failed. See the details for the reason.</translation>
    </message>
    <message>
        <location filename="../src/masterswitch.cpp" line="90"/>
        <source>完整输出</source>
        <translation>Full Output</translation>
    </message>
    <message>
        <location filename="../src/masterswitch.cpp" line="118"/>
        <source>未知状态 · 无法读取Tavrin配置</source>
        <translation>Unknown · Cannot read the Tavrin configuration</translation>
    </message>
    <message>
        <location filename="../src/masterswitch.cpp" line="125"/>
        <source>保护中 · 核心目录只读</source>
        <translation>Protected · Core directories read-only</translation>
    </message>
    <message>
        <location filename="../src/masterswitch.cpp" line="128"/>
        <source>已临时关闭 · 重启后自动恢复</source>
        <translation>Temporarily off · Restored after reboot</translation>
    </message>
    <message>
        <location filename="../src/masterswitch.cpp" line="131"/>
        <source>已完全关闭 · 重启后仍保持关闭</source>
        <translation>Fully off · Stays off after reboot</translation>
    </message>
    <message>
        <location filename="../src/masterswitch.cpp" line="162"/>
        <source>开启Tavrin保护</source>
        <translation>Turn On Tavrin Protection</translation>
    </message>
    <message>
        <location filename="../src/masterswitch.cpp" line="163"/>
        <source>确定要恢复核心目录只读保护吗？此操作需要重启后生效。</source>
        <translation>Restore the read-only protection of the core directories? This takes effect after a reboot.</translation>
    </message>
    <message>
        <location filename="../src/masterswitch.cpp" line="164"/>
        <source>恢复保护</source>
        <translation>Restore Protection</translation>
    </message>
    <message>
        <location filename="../src/masterswitch.cpp" line="165"/>
        <location filename="../src/masterswitch.cpp" line="184"/>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <location filename="../src/masterswitch.cpp" line="174"/>
        <source>关闭Tavrin保护</source>
        <translation>Turn Off Tavrin Protection</translation>
    </message>
    <message>
        <location filename="../src/masterswitch.cpp" line="175"/>
        <source>关闭后核心目录将解除只读保护，恶意软件与误操作可能直接破坏系统。</source>
        <translation>Turning it off lifts the read-only protection of the core directories; malware or mistakes can then damage the system directly.</translation>
    </message>
    <message>
        <location filename="../src/masterswitch.cpp" line="176"/>
        <source>核心系统目录将变为可写</source>
        <translation>Core system directories become writable</translation>
    </message>
    <message>
        <location filename="../src/masterswitch.cpp" line="177"/>
        <source>恶意软件或误操作可直接破坏系统文件</source>
        <translation>Malware or mistakes can damage system files directly</translation>
    </message>
    <message>
        <location filename="../src/masterswitch.cpp" line="178"/>
        <source>重启后按所选方式决定是否恢复保护</source>
        <translation>After a reboot, protection comes back or not as chosen below</translation>
    </message>
    <message>
        <location filename="../src/masterswitch.cpp" line="179"/>
        <source>临时关闭（重启后自动恢复）</source>
        <translation>Turn off temporarily (restored after reboot)</translation>
    </message>
    <message>
        <location filename="../src/masterswitch.cpp" line="180"/>
        <source>完全关闭（重启后仍保持关闭）</source>
        <translation>Turn off completely (stays off after reboot)</translation>
    </message>
    <message>
        <location filename="../src/masterswitch.cpp" line="183"/>
        <source>关闭保护</source>
        <translation>Turn Off Protection</translation>
    </message>
    <message>
        <location filename="../src/masterswitch.cpp" line="219"/>
        <location filename="../src/masterswitch.cpp" line="249"/>
        <source>Tavrin功能</source>
        <translation>Tavrin Protection</translation>
    </message>
    <message>
        <location filename="../src/masterswitch.cpp" line="230"/>
        <source>详情</source>
        <translation>Details</translation>
    </message>
    <message>
        <location filename="../src/masterswitch.cpp" line="242"/>
        <source>正在切换…</source>
        <translation>Switching…</translation>
    </message>
</context>
<context>
    <name>TavrinUi::TavrinAboutDialog</name>
    <message>
        <location filename="../src/ui/aboutdialog.cpp" line="194"/>
        <source>Tavrin设置</source>
        <translation>Tavrin Settings</translation>
    </message>
    <message>
        <location filename="../src/ui/aboutdialog.cpp" line="196"/>
        <source>关于Tavrin设置</source>
        <translation>About Tavrin Settings</translation>
    </message>
    <message>
        <location filename="../src/ui/aboutdialog.cpp" line="212"/>
        <source>Tavrin系统技术参考</source>
        <translation>Tavrin Technical Reference</translation>
    </message>
    <message>
        <location filename="../src/ui/aboutdialog.cpp" line="215"/>
        <source>常用命令参考</source>
        <translation>Command Reference</translation>
    </message>
</context>
<context>
    <name>TavrinUi::TavrinInlineBanner</name>
    <message>
        <location filename="../src/ui/components.cpp" line="622"/>
        <source>关闭</source>
        <translation>Close</translation>
    </message>
    <message>
        <location filename="../src/ui/components.cpp" line="623"/>
        <source>关闭提示</source>
        <translation>Close message</translation>
    </message>
</context>
<context>
    <name>TavrinUi::TavrinSidebar</name>
    <message>
        <location filename="../src/ui/sidebar.cpp" line="27"/>
        <source>主导航</source>
        <translation>Main navigation</translation>
    </message>
</context>
<context>
    <name>UpdatePage</name>
    <message>
        <source>%1: 剩余 %2，升级需要 %3（%4）</source>
        <translation>%1: %2 free, the upgrade needs %3 (%4)</translation>
    </message>
    <message>
        <source>%1: 剩余空间未知（%2），升级需要 %3</source>
        <translation>%1: free space unknown (%2), the upgrade needs %3</translation>
    </message>
    <message>
        <source>回滚前安全备份「%1」不会自动删除，可在快照页手动删除。</source>
        <translation>The pre-rollback safety backup “%1” will not be deleted automatically; you can delete it on the snapshots page.</translation>
    </message>
    <message>
        <source>已安排在下次启动时生效的还原（回滚到「%1」）将被此次升级取代，不会生效。</source>
        <translation>The rollback staged for the next boot (to “%1”) will be replaced by this upgrade and will not take effect.</translation>
    </message>
    <message>
        <source>无法启动重启，请稍后手动重启系统。</source>
        <translation>The restart could not be started; please restart the system by hand later.</translation>
    </message>
    <message>
        <source>更新检查报告</source>
        <translation>reported by the update check</translation>
    </message>
    <message>
        <source>未获取到更新大小，按安全下限</source>
        <translation>no size reported, safe minimum</translation>
    </message>
    <message>
        <source>磁盘空间可能不足，升级可能因此失败；建议先清理下载缓存或删除不再需要的部署。</source>
        <translation>Disk space may not suffice and the upgrade may fail; consider cleaning the download cache or deleting deployments you no longer need first.</translation>
    </message>
    <message>
        <source>稍后手动重启</source>
        <translation>Restart later</translation>
    </message>
    <message>
        <source>系统将立即重启并进入新系统。请先保存您的工作。</source>
        <translation>The system will restart now into the new system. Save your work first.</translation>
    </message>
    <message>
        <location filename="../src/updatepage.cpp" line="115"/>
        <source>系统更新</source>
        <translation>System Update</translation>
    </message>
    <message>
        <location filename="../src/updatepage.cpp" line="115"/>
        <source>通过Tavrin系统原子更新机制升级系统</source>
        <translation>Upgrade the system with Tavrin atomic updates</translation>
    </message>
    <message>
        <location filename="../src/updatepage.cpp" line="123"/>
        <source>立即重启</source>
        <translation>Restart now</translation>
    </message>
    <message>
        <location filename="../src/updatepage.cpp" line="123"/>
        <source>立即重启以进入新系统</source>
        <translation>Restart now to enter the new system</translation>
    </message>
    <message>
        <location filename="../src/updatepage.cpp" line="129"/>
        <source>更新检查</source>
        <translation>Update check</translation>
    </message>
    <message>
        <location filename="../src/updatepage.cpp" line="129"/>
        <source>检查系统是否有可用的更新</source>
        <translation>Check whether system updates are available</translation>
    </message>
    <message>
        <location filename="../src/updatepage.cpp" line="140"/>
        <location filename="../src/updatepage.cpp" line="259"/>
        <source>未检查</source>
        <translation>Not checked</translation>
    </message>
    <message>
        <location filename="../src/updatepage.cpp" line="144"/>
        <source>尚未检查更新，点击下方「检查更新」获取最新状态。</source>
        <translation>Not checked yet; press &quot;Check for updates&quot; below.</translation>
    </message>
    <message>
        <location filename="../src/updatepage.cpp" line="146"/>
        <source>更新说明</source>
        <translation>About updates</translation>
    </message>
    <message>
        <location filename="../src/updatepage.cpp" line="146"/>
        <source>Tavrin系统升级特性</source>
        <translation>Upgrade features of the Tavrin system</translation>
    </message>
    <message>
        <location filename="../src/updatepage.cpp" line="148"/>
        <source>自动备份与回滚</source>
        <translation>Automatic backup and rollback</translation>
    </message>
    <message>
        <location filename="../src/updatepage.cpp" line="149"/>
        <source>升级前系统自动创建备份，升级失败自动回滚到之前状态</source>
        <translation>A backup is made before upgrading; a failed upgrade rolls back automatically</translation>
    </message>
    <message>
        <location filename="../src/updatepage.cpp" line="150"/>
        <source>原子更新</source>
        <translation>Atomic updates</translation>
    </message>
    <message>
        <location filename="../src/updatepage.cpp" line="151"/>
        <source>更新过程要么全部成功，要么整体回退，无需手动干预</source>
        <translation>An update either succeeds completely or is rolled back as a whole, without manual steps</translation>
    </message>
    <message>
        <location filename="../src/updatepage.cpp" line="152"/>
        <source>部署保留策略</source>
        <translation>Deployment retention</translation>
    </message>
    <message>
        <location filename="../src/updatepage.cpp" line="153"/>
        <source>升级会创建新的系统部署，旧部署按「最大备份部署数」策略保留</source>
        <translation>An upgrade creates a new deployment; old ones are kept by the &quot;maximum backup deployments&quot; policy</translation>
    </message>
    <message>
        <location filename="../src/updatepage.cpp" line="154"/>
        <source>重启生效</source>
        <translation>Applies after restart</translation>
    </message>
    <message>
        <location filename="../src/updatepage.cpp" line="154"/>
        <source>升级完成后需重启进入新系统</source>
        <translation>Restart after the upgrade to enter the new system</translation>
    </message>
    <message>
        <location filename="../src/updatepage.cpp" line="159"/>
        <source>操作</source>
        <translation>Actions</translation>
    </message>
    <message>
        <location filename="../src/updatepage.cpp" line="162"/>
        <source>检查更新</source>
        <translation>Check for updates</translation>
    </message>
    <message>
        <location filename="../src/updatepage.cpp" line="163"/>
        <source>下载并升级</source>
        <translation>Download and upgrade</translation>
    </message>
    <message>
        <location filename="../src/updatepage.cpp" line="163"/>
        <source>下载并升级系统</source>
        <translation>Download and upgrade the system</translation>
    </message>
    <message>
        <location filename="../src/updatepage.cpp" line="164"/>
        <source>清理下载缓存</source>
        <translation>Clean download cache</translation>
    </message>
    <message>
        <location filename="../src/updatepage.cpp" line="164"/>
        <source>清理升级下载缓存</source>
        <translation>Clean the upgrade download cache</translation>
    </message>
    <message>
        <location filename="../src/updatepage.cpp" line="178"/>
        <source>更新详情</source>
        <translation>Update details</translation>
    </message>
    <message>
        <location filename="../src/updatepage.cpp" line="229"/>
        <source>可更新项：%1&#x3000;需下载：%2</source>
        <translation>Updatable items: %1&#x3000;To download: %2</translation>
    </message>
    <message>
        <location filename="../src/updatepage.cpp" line="231"/>
        <source>可更新项：%1</source>
        <translation>Updatable items: %1</translation>
    </message>
    <message>
        <location filename="../src/updatepage.cpp" line="233"/>
        <source>可更新项：0（系统已是最新）</source>
        <translation>Updatable items: 0 (up to date)</translation>
    </message>
    <message>
        <location filename="../src/updatepage.cpp" line="244"/>
        <source>已是最新</source>
        <translation>Up to date</translation>
    </message>
    <message>
        <location filename="../src/updatepage.cpp" line="249"/>
        <source>检查失败</source>
        <translation>Check failed</translation>
    </message>
    <message>
        <location filename="../src/updatepage.cpp" line="254"/>
        <source>有可用更新</source>
        <translation>Update available</translation>
    </message>
    <message>
        <location filename="../src/updatepage.cpp" line="270"/>
        <source>正在检查更新...</source>
        <translation>Checking for updates...</translation>
    </message>
    <message>
        <location filename="../src/updatepage.cpp" line="278"/>
        <source>检查更新失败</source>
        <translation>Update check failed</translation>
    </message>
    <message>
        <location filename="../src/updatepage.cpp" line="280"/>
        <source>检查更新失败: %1</source>
        <translation>Update check failed: %1</translation>
    </message>
    <message>
        <location filename="../src/updatepage.cpp" line="281"/>
        <source>未知错误</source>
        <translation>Unknown error</translation>
    </message>
    <message>
        <location filename="../src/updatepage.cpp" line="288"/>
        <source>检查完成，未获取到更新摘要。</source>
        <translation>Check complete; no update summary was found.</translation>
    </message>
    <message>
        <location filename="../src/updatepage.cpp" line="289"/>
        <source>检查完成</source>
        <translation>Check complete</translation>
    </message>
    <message>
        <location filename="../src/updatepage.cpp" line="293"/>
        <source>发现 %1 个可更新项。</source>
        <translation>%1 updatable items found.</translation>
    </message>
    <message>
        <location filename="../src/updatepage.cpp" line="294"/>
        <source>发现 %1 个可更新项，需下载 %2 个。</source>
        <translation>%1 updatable items found, %2 to download.</translation>
    </message>
    <message>
        <location filename="../src/updatepage.cpp" line="298"/>
        <source>系统已是最新版本，无需更新。</source>
        <translation>The system is up to date.</translation>
    </message>
    <message>
        <location filename="../src/updatepage.cpp" line="312"/>
        <source>正在检查磁盘空间...</source>
        <translation>Checking disk space...</translation>
    </message>
    <message>
        <location filename="../src/updatepage.cpp" line="321"/>
        <source>系统升级</source>
        <translation>System upgrade</translation>
    </message>
    <message>
        <location filename="../src/updatepage.cpp" line="322"/>
        <source>将开始下载并升级系统。

升级前系统会自动创建备份; 升级期间请勿关机或断电。
确定继续吗？</source>
        <translation>The system will now be downloaded and upgraded.

A backup is made before the upgrade; do not power off during it.
Continue?</translation>
    </message>
    <message>
        <location filename="../src/updatepage.cpp" line="324"/>
        <source>开始升级</source>
        <translation>Start upgrade</translation>
    </message>
    <message>
        <location filename="../src/updatepage.cpp" line="325"/>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>系统盘剩余: %1</source>
        <translation type="vanished">Free on the system disk: %1</translation>
    </message>
    <message>
        <source>升级建议至少: %1</source>
        <translation type="vanished">Recommended for the upgrade: at least %1</translation>
    </message>
    <message>
        <source>系统盘空间可能不足，升级可能因此失败；建议先清理下载缓存或删除不再需要的部署。</source>
        <translation type="vanished">The system disk may be too full and the upgrade may fail; consider cleaning the download cache or deleting deployments you no longer need.</translation>
    </message>
    <message>
        <location filename="../src/updatepage.cpp" line="343"/>
        <source>正在下载并升级系统, 请耐心等待...</source>
        <translation>Downloading and upgrading the system, please wait...</translation>
    </message>
    <message>
        <location filename="../src/updatepage.cpp" line="350"/>
        <source>系统升级完成，需重启后进入新系统。</source>
        <translation>Upgrade complete; restart to enter the new system.</translation>
    </message>
    <message>
        <location filename="../src/updatepage.cpp" line="355"/>
        <source>升级失败: %1</source>
        <translation>Upgrade failed: %1</translation>
    </message>
    <message>
        <location filename="../src/updatepage.cpp" line="370"/>
        <source>正在清理下载缓存...</source>
        <translation>Cleaning the download cache...</translation>
    </message>
    <message>
        <location filename="../src/updatepage.cpp" line="376"/>
        <source>缓存清理完成</source>
        <translation>Cache cleaned</translation>
    </message>
    <message>
        <location filename="../src/updatepage.cpp" line="380"/>
        <source>清理失败: %1</source>
        <translation>Cleanup failed: %1</translation>
    </message>
</context>
<context>
    <name>UsageChart</name>
    <message>
        <location filename="../src/ui/usagechart.cpp" line="196"/>
        <source>%1 ms</source>
        <translation>%1 ms</translation>
    </message>
    <message>
        <location filename="../src/ui/usagechart.cpp" line="202"/>
        <source>检查完成，用时 %1 ms</source>
        <translation>Check finished in %1 ms</translation>
    </message>
    <message>
        <location filename="../src/ui/usagechart.cpp" line="215"/>
        <location filename="../src/ui/usagechart.cpp" line="702"/>
        <source>磁盘占用时间线</source>
        <translation>Disk usage timeline</translation>
    </message>
    <message>
        <location filename="../src/ui/usagechart.cpp" line="369"/>
        <source>正在加载历史数据…</source>
        <translation>Loading the history…</translation>
    </message>
    <message>
        <location filename="../src/ui/usagechart.cpp" line="370"/>
        <source>正在读取…</source>
        <translation>Reading…</translation>
    </message>
    <message>
        <location filename="../src/ui/usagechart.cpp" line="386"/>
        <source>已加载 %1/%2 天</source>
        <translation>Loaded %1/%2 days</translation>
    </message>
    <message>
        <location filename="../src/ui/usagechart.cpp" line="395"/>
        <source>正在扫描系统盘目录…</source>
        <translation>Scanning the system disk…</translation>
    </message>
    <message>
        <location filename="../src/ui/usagechart.cpp" line="396"/>
        <source>正在准备…</source>
        <translation>Preparing…</translation>
    </message>
    <message>
        <location filename="../src/ui/usagechart.cpp" line="410"/>
        <source>已扫描 %1 项</source>
        <translation>%1 entries scanned</translation>
    </message>
    <message>
        <location filename="../src/ui/usagechart.cpp" line="411"/>
        <source>已扫描 %1 项 · %2</source>
        <translation>%1 entries scanned · %2</translation>
    </message>
    <message>
        <location filename="../src/ui/usagechart.cpp" line="422"/>
        <source>正在检查系统信息…</source>
        <translation>Checking the system…</translation>
    </message>
    <message>
        <location filename="../src/ui/usagechart.cpp" line="448"/>
        <source>%1
已用 %2</source>
        <translation>%1
Used %2</translation>
    </message>
    <message>
        <location filename="../src/ui/usagechart.cpp" line="451"/>
        <source>当日增长 %1</source>
        <translation>Growth that day %1</translation>
    </message>
    <message>
        <location filename="../src/ui/usagechart.cpp" line="453"/>
        <source>⚠ 异常增长</source>
        <translation>⚠ Abnormal growth</translation>
    </message>
    <message>
        <location filename="../src/ui/usagechart.cpp" line="456"/>
        <source>快照：%1</source>
        <translation>Snapshots: %1</translation>
    </message>
    <message>
        <location filename="../src/ui/usagechart.cpp" line="483"/>
        <source>暂无监控数据：请开启监控，或点击“立即扫描”</source>
        <translation>No monitoring data: turn monitoring on, or click &quot;Scan Now&quot;</translation>
    </message>
    <message>
        <location filename="../src/ui/usagechart.cpp" line="694"/>
        <source>暂无监控数据</source>
        <translation>No monitoring data</translation>
    </message>
    <message>
        <location filename="../src/ui/usagechart.cpp" line="696"/>
        <source>共 %1 天；用左右方向键选择日期</source>
        <translation>%1 days; choose a day with the arrow keys</translation>
    </message>
    <message>
        <location filename="../src/ui/usagechart.cpp" line="703"/>
        <source>磁盘占用时间线，已选 %1</source>
        <translation>Disk usage timeline, %1 selected</translation>
    </message>
    <message>
        <location filename="../src/ui/usagechart.cpp" line="1"/>
        <source>部署：%1</source>
        <translation>Deployments: %1</translation>
    </message>
</context>
<context>
    <name>VersionManagementPage</name>
    <message>
        <source>比较</source>
        <translation>Compare</translation>
    </message>
    <message>
        <source>比较两个快照或部署</source>
        <translation>Compare two snapshots or deployments</translation>
    </message>
    <message>
        <source>与当前系统比较</source>
        <translation>Compare with current system</translation>
    </message>
    <message>
        <source>将所选的一行与当前系统比较</source>
        <translation>Compare the selected row with the current system</translation>
    </message>
    <message>
        <location filename="../src/versionpage.cpp" line="51"/>
        <source>备份与版本</source>
        <translation>Backups &amp; Versions</translation>
    </message>
    <message>
        <location filename="../src/versionpage.cpp" line="51"/>
        <source>系统快照是可还原的备份点，系统部署实例是可启动的系统</source>
        <translation>Snapshots are restore points; deployments are bootable systems</translation>
    </message>
    <message>
        <location filename="../src/versionpage.cpp" line="73"/>
        <location filename="../src/versionpage.cpp" line="144"/>
        <source>系统快照</source>
        <translation>Snapshots</translation>
    </message>
    <message>
        <location filename="../src/versionpage.cpp" line="74"/>
        <location filename="../src/versionpage.cpp" line="144"/>
        <source>系统部署实例</source>
        <translation>Deployments</translation>
    </message>
    <message>
        <location filename="../src/versionpage.cpp" line="222"/>
        <source>这里记录的是「可还原的备份点」：可以创建、删除，也可以把系统还原回它记录的那一刻。</source>
        <translation>These are restore points: you can create and delete them, and restore the system to the moment one was taken.</translation>
    </message>
    <message>
        <location filename="../src/versionpage.cpp" line="223"/>
        <source>这里列出的是「一整套可启动的系统」：只能删除以释放磁盘空间，删除后该系统无法再启动。</source>
        <translation>These are complete bootable systems: you can only delete one to free disk space, and a deleted system can no longer be booted.</translation>
    </message>
    <message>
        <location filename="../src/versionpage.cpp" line="54"/>
        <source>刷新</source>
        <translation>Refresh</translation>
    </message>
    <message>
        <location filename="../src/versionpage.cpp" line="55"/>
        <source>刷新当前列表</source>
        <translation>Refresh the current list</translation>
    </message>
    <message>
        <location filename="../src/versionpage.cpp" line="56"/>
        <location filename="../src/versionpage.cpp" line="58"/>
        <source>创建备份</source>
        <translation>Create backup</translation>
    </message>
    <message>
        <location filename="../src/versionpage.cpp" line="77"/>
        <source>备份与版本分类</source>
        <translation>Backup and version categories</translation>
    </message>
    <message>
        <location filename="../src/versionpage.cpp" line="85"/>
        <source>「系统快照」和「系统部署实例」有什么区别？</source>
        <translation>What is the difference between snapshots and deployments?</translation>
    </message>
    <message>
        <location filename="../src/versionpage.cpp" line="144"/>
        <source>对比项</source>
        <translation>Aspect</translation>
    </message>
    <message>
        <location filename="../src/versionpage.cpp" line="150"/>
        <source>是什么</source>
        <translation>What it is</translation>
    </message>
    <message>
        <location filename="../src/versionpage.cpp" line="150"/>
        <source>可还原的备份点，只记录系统层的差异</source>
        <translation>A restore point recording only the system layer&apos;s changes</translation>
    </message>
    <message>
        <location filename="../src/versionpage.cpp" line="150"/>
        <source>一整套可启动的系统，占用完整磁盘空间</source>
        <translation>A complete bootable system taking its full disk space</translation>
    </message>
    <message>
        <location filename="../src/versionpage.cpp" line="151"/>
        <source>怎么来的</source>
        <translation>Origin</translation>
    </message>
    <message>
        <location filename="../src/versionpage.cpp" line="151"/>
        <source>你手动创建，或系统初始化时自动生成</source>
        <translation>Created by you, or automatically when the system was set up</translation>
    </message>
    <message>
        <location filename="../src/versionpage.cpp" line="151"/>
        <source>系统升级、回滚时自动生成</source>
        <translation>Created automatically by upgrades and rollbacks</translation>
    </message>
    <message>
        <location filename="../src/versionpage.cpp" line="152"/>
        <source>能做什么</source>
        <translation>What you can do</translation>
    </message>
    <message>
        <location filename="../src/versionpage.cpp" line="152"/>
        <source>可以创建、删除，也可以还原回它记录的时刻</source>
        <translation>Can be created, deleted and restored to the moment it recorded</translation>
    </message>
    <message>
        <location filename="../src/versionpage.cpp" line="152"/>
        <source>只能删除，用来释放磁盘空间</source>
        <translation>Can only be deleted, to free disk space</translation>
    </message>
    <message>
        <location filename="../src/versionpage.cpp" line="153"/>
        <source>删除后</source>
        <translation>After deletion</translation>
    </message>
    <message>
        <location filename="../src/versionpage.cpp" line="153"/>
        <source>只是少一个还原点，系统照常运行</source>
        <translation>One restore point fewer; the system runs as before</translation>
    </message>
    <message>
        <location filename="../src/versionpage.cpp" line="153"/>
        <source>该系统将无法再启动</source>
        <translation>That system can no longer boot</translation>
    </message>
    <message>
        <location filename="../src/versionpage.cpp" line="166"/>
        <source>两者关系：还原一个快照后，系统会自动生成一个新的部署实例（带「回滚前」标记），可在「系统部署实例」页看到它。</source>
        <translation>How they relate: restoring a snapshot creates a new deployment (marked &quot;before rollback&quot;), shown on the Deployments tab.</translation>
    </message>
</context>
<context>
    <name>BasePage</name>
    <message>
        <source>超时后仍在后台运行的操作已结束，请查看当前状态。</source>
        <translation>The operation that kept running after its time-out has ended; check the current state.</translation>
    </message>
    <message>
        <source>命令执行超时，但操作仍在后台运行；结束前不能开始新的操作。</source>
        <translation>The command timed out but the operation is still running; no new operation can start until it ends.</translation>
    </message>
</context>
<context>
    <name>CompareDialog</name>
    <message>
        <source>快照“%1”</source>
        <translation>snapshot “%1”</translation>
    </message>
    <message>
        <source>当前系统 %1</source>
        <translation>current system %1</translation>
    </message>
    <message>
        <source>待生效的系统 %1</source>
        <translation>pending system %1</translation>
    </message>
    <message>
        <source>部署 %1（%2）</source>
        <translation>deployment %1 (%2)</translation>
    </message>
    <message>
        <source>比较：%1 → %2</source>
        <translation>Compare: %1 → %2</translation>
    </message>
    <message>
        <source>从 %1 到 %2</source>
        <translation>From %1 to %2</translation>
    </message>
    <message>
        <source>正在比较…</source>
        <translation>Comparing…</translation>
    </message>
    <message>
        <source>比较摘要</source>
        <translation>Comparison summary</translation>
    </message>
    <message>
        <source>比较状态</source>
        <translation>Comparison status</translation>
    </message>
    <message>
        <source>按路径筛选</source>
        <translation>Filter by path</translation>
    </message>
    <message>
        <source>按路径筛选变化</source>
        <translation>Filter the changes by path</translation>
    </message>
    <message>
        <source>复制路径</source>
        <translation>Copy path</translation>
    </message>
    <message>
        <source>复制所选变化的路径</source>
        <translation>Copy the path of the selected change</translation>
    </message>
    <message>
        <source>导出 CSV</source>
        <translation>Export CSV</translation>
    </message>
    <message>
        <source>将全部变化导出为 CSV 文件</source>
        <translation>Export every change to a CSV file</translation>
    </message>
    <message>
        <source>比较结果</source>
        <translation>Comparison results</translation>
    </message>
    <message>
        <source>按目录分组的文件变化</source>
        <translation>File changes grouped by directory</translation>
    </message>
    <message>
        <source>文件</source>
        <translation>Files</translation>
    </message>
    <message>
        <source>关闭</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>关闭比较窗口</source>
        <translation>Close the comparison window</translation>
    </message>
    <message>
        <source>两者完全相同：没有文件变化。</source>
        <translation>The two are identical: no file changed.</translation>
    </message>
    <message>
        <source>无法比较：提交 %1 已不在系统仓库中。%2</source>
        <translation>Cannot compare: commit %1 is no longer in the system repository. %2</translation>
    </message>
    <message>
        <source>（空）</source>
        <translation>(empty)</translation>
    </message>
    <message>
        <source>比较失败：%1</source>
        <translation>Comparison failed: %1</translation>
    </message>
    <message>
        <source>ostree 的输出无法识别。</source>
        <translation>The output of ostree could not be read.</translation>
    </message>
    <message>
        <source>比较未完成：%1</source>
        <translation>Comparison not finished: %1</translation>
    </message>
    <message>
        <source>比较已取消。</source>
        <translation>Comparison cancelled.</translation>
    </message>
    <message>
        <source>新增 %1 个文件，删除 %2 个，修改 %3 个；大小变化 %4</source>
        <translation>%1 files added, %2 removed, %3 changed; size change %4</translation>
    </message>
    <message>
        <source>%1（另有 %2 个文件大小未知）</source>
        <translation>%1 (size unknown for %2 more files)</translation>
    </message>
    <message>
        <source>正在读取文件大小：%1 / %2</source>
        <translation>Reading file sizes: %1 / %2</translation>
    </message>
    <message>
        <source>ostree 的输出中有 %1 行无法识别，已略过。</source>
        <translation>%1 lines of the ostree output could not be read and were skipped.</translation>
    </message>
    <message>
        <source>无法读取软件包列表：%1</source>
        <translation>Cannot read the package lists: %1</translation>
    </message>
    <message>
        <source>软件包变化</source>
        <translation>Package changes</translation>
    </message>
    <message>
        <source>软件包</source>
        <translation>Package</translation>
    </message>
    <message>
        <source>变化</source>
        <translation>Change</translation>
    </message>
    <message>
        <source>旧版本</source>
        <translation>Old version</translation>
    </message>
    <message>
        <source>新版本</source>
        <translation>New version</translation>
    </message>
    <message>
        <source>新增</source>
        <translation>Added</translation>
    </message>
    <message>
        <source>删除</source>
        <translation>Removed</translation>
    </message>
    <message>
        <source>升级</source>
        <translation>Upgraded</translation>
    </message>
    <message>
        <source>降级</source>
        <translation>Downgraded</translation>
    </message>
    <message>
        <source>软件包（无变化）</source>
        <translation>Packages (no changes)</translation>
    </message>
    <message>
        <source>软件包（新增 %1，删除 %2，升级 %3，降级 %4）</source>
        <translation>Packages (%1 added, %2 removed, %3 upgraded, %4 downgraded)</translation>
    </message>
    <message>
        <source>已复制路径：%1</source>
        <translation>Path copied: %1</translation>
    </message>
    <message>
        <source>CSV 文件 (*.csv)</source>
        <translation>CSV files (*.csv)</translation>
    </message>
    <message>
        <source>已导出 %1 项变化到 %2</source>
        <translation>Exported %1 changes to %2</translation>
    </message>
    <message>
        <source>导出失败：%1</source>
        <translation>Export failed: %1</translation>
    </message>
</context>
<context>
    <name>ComparePickDialog</name>
    <message>
        <source>完整输出</source>
        <translation>Full output</translation>
    </message>
    <message>
        <source>请先在列表中选择要比较的一行。</source>
        <translation>Select the row to compare in the list first.</translation>
    </message>
    <message>
        <source>无法确定当前启动的系统，不能比较。</source>
        <translation>The booted system cannot be determined, so nothing can be compared.</translation>
    </message>
    <message>
        <source>所选的一行已不在列表中，请刷新后重试。</source>
        <translation>The selected row is no longer in the list. Refresh and try again.</translation>
    </message>
    <message>
        <source>可比较的快照和部署不足两个。</source>
        <translation>There are fewer than two snapshots and deployments to compare.</translation>
    </message>
    <message>
        <source>选择要比较的两项</source>
        <translation>Choose two to compare</translation>
    </message>
    <message>
        <source>勾选两个快照或部署（可各选一个），较早的一项作为比较的起点。</source>
        <translation>Check two snapshots or deployments (or one of each); the older one is the starting point.</translation>
    </message>
    <message>
        <source>可比较的快照和部署</source>
        <translation>Snapshots and deployments to compare</translation>
    </message>
    <message>
        <source>%1（仓库中没有提交，无法比较）</source>
        <translation>%1 (no commit in the repository, cannot be compared)</translation>
    </message>
    <message>
        <source>比较</source>
        <translation>Compare</translation>
    </message>
    <message>
        <source>比较勾选的两项</source>
        <translation>Compare the two checked</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>取消比较</source>
        <translation>Cancel the comparison</translation>
    </message>
</context>
<context>
    <name>CompareTreeModel</name>
    <message>
        <source>新增</source>
        <translation>Added</translation>
    </message>
    <message>
        <source>删除</source>
        <translation>Removed</translation>
    </message>
    <message>
        <source>修改</source>
        <translation>Changed</translation>
    </message>
    <message>
        <source>%1（详情未知）</source>
        <translation>%1 (details unknown)</translation>
    </message>
    <message>
        <source>目录</source>
        <translation>directory</translation>
    </message>
    <message>
        <source>符号链接</source>
        <translation>symbolic link</translation>
    </message>
    <message>
        <source>文件</source>
        <translation>Files</translation>
    </message>
    <message>
        <source>%1变为%2</source>
        <translation>%1 became %2</translation>
    </message>
    <message>
        <source>权限 %1 → %2</source>
        <translation>mode %1 → %2</translation>
    </message>
    <message>
        <source>链接 %1 → %2</source>
        <translation>link %1 → %2</translation>
    </message>
    <message>
        <source>内容</source>
        <translation>content</translation>
    </message>
    <message>
        <source>新增 %1</source>
        <translation>%1 added</translation>
    </message>
    <message>
        <source>删除 %1</source>
        <translation>%1 removed</translation>
    </message>
    <message>
        <source>修改 %1</source>
        <translation>%1 changed</translation>
    </message>
    <message>
        <source>目录属性变化</source>
        <translation>Directory attributes changed</translation>
    </message>
    <message>
        <source>未知</source>
        <translation>Unknown</translation>
    </message>
    <message>
        <source>%1（%2 个未知）</source>
        <translation>%1 (%2 unknown)</translation>
    </message>
    <message>
        <source>目录 %1：%2，大小变化 %3</source>
        <translation>Directory %1: %2, size change %3</translation>
    </message>
    <message>
        <source>%1：%2，旧大小 %3，新大小 %4，大小变化 %5</source>
        <translation>%1: %2, old size %3, new size %4, size change %5</translation>
    </message>
    <message>
        <source>路径</source>
        <translation>Path</translation>
    </message>
    <message>
        <source>变化</source>
        <translation>Change</translation>
    </message>
    <message>
        <source>旧大小</source>
        <translation>Old size</translation>
    </message>
    <message>
        <source>新大小</source>
        <translation>New size</translation>
    </message>
    <message>
        <source>大小差异</source>
        <translation>Size difference</translation>
    </message>
</context>
<context>
    <name>StagedChangesButton</name>
    <message>
        <source>查看变更</source>
        <translation>View changes</translation>
    </message>
    <message>
        <source>查看待生效的系统与当前系统相比的变更</source>
        <translation>View the changes of the pending system against the current one</translation>
    </message>
    <message>
        <source>重启前查看这次升级会改变哪些文件和软件包</source>
        <translation>See which files and packages this upgrade changes before you reboot</translation>
    </message>
</context>
<context>
    <name>TreeDiff</name>
    <message>
        <source>无法启动 %1：%2</source>
        <translation>Cannot start %1: %2</translation>
    </message>
    <message>
        <source>ostree 在 %1 秒内没有完成，已停止。</source>
        <translation>ostree did not finish within %1 seconds and was stopped.</translation>
    </message>
    <message>
        <source>ostree 以状态 %1 退出。</source>
        <translation>ostree exited with status %1.</translation>
    </message>
    <message>
        <source>没有可比较的提交。</source>
        <translation>There is no commit to compare.</translation>
    </message>
</context>
<context>
    <name>SupersededNotice</name>
    <message>
        <source>删除安全备份</source>
        <translation>Delete safety backup</translation>
    </message>
    <message>
        <source>删除安全备份：%1</source>
        <translation>Delete safety backup: %1</translation>
    </message>
    <message>
        <source>回滚到「%1」的还原已被随后的升级取代，不会生效。</source>
        <translation>The rollback to “%1” was replaced by a later upgrade and will not take effect.</translation>
    </message>
    <message>
        <source>回滚前安全备份「%1」不会再自动删除，可在此手动删除。</source>
        <translation>The pre-rollback safety backup “%1” will no longer be deleted automatically; you can delete it here.</translation>
    </message>
    <message>
        <source>清除还原记录</source>
        <translation>Clear rollback record</translation>
    </message>
</context>
<context>
    <name>TavrinLeave</name>
    <message>
        <source>保存</source>
        <translation>Save</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>放弃修改</source>
        <translation>Discard</translation>
    </message>
</context>
</TS>
