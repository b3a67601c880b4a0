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
        <location filename="../src/backend/rollback.cpp" line="165"/>
        <source>无法写入临时状态文件</source>
        <translation>Cannot write the temporary state file</translation>
    </message>
    <message>
        <location filename="../src/backend/rollback.cpp" line="196"/>
        <source>安装 systemd 服务失败</source>
        <translation>Failed to install the systemd service</translation>
    </message>
    <message>
        <location filename="../src/backend/runner.cpp" line="205"/>
        <source>无法启动进程: %1</source>
        <translation>Cannot start process: %1</translation>
    </message>
    <message>
        <location filename="../src/backend/runner.cpp" line="208"/>
        <source>命令执行超时: %1</source>
        <translation>Command timed out: %1</translation>
    </message>
    <message>
        <location filename="../src/backend/runner.cpp" line="211"/>
        <source>命令输出过大: %1</source>
        <translation>Command output too large: %1</translation>
    </message>
    <message>
        <location filename="../src/backend/runner.cpp" line="235"/>
        <location filename="../src/backend/runner.cpp" line="243"/>
        <source>命令执行失败</source>
        <translation>Command failed</translation>
    </message>
    <message>
        <location filename="../src/backend/runner.cpp" line="245"/>
        <source>已取消授权，未执行操作</source>
        <translation>Authorization was cancelled; nothing was done</translation>
    </message>
    <message>
        <location filename="../src/backend/runner.cpp" line="247"/>
        <source>没有权限执行此操作</source>
        <translation>You are not allowed to perform this action</translation>
    </message>
    <message>
        <location filename="../src/backend/runner.cpp" line="249"/>
        <source>身份验证失败，请检查密码后重试</source>
        <translation>Authentication failed; check your password and try again</translation>
    </message>
    <message>
        <location filename="../src/backend/runner.cpp" line="251"/>
        <source>密码错误，请重试</source>
        <translation>Wrong password, please try again</translation>
    </message>
    <message>
        <location filename="../src/backend/runner.cpp" line="253"/>
        <source>权限不足，无法执行此操作</source>
        <translation>Insufficient privileges to perform this action</translation>
    </message>
    <message>
        <location filename="../src/backend/runner.cpp" line="255"/>
        <source>命令执行超时</source>
        <translation>Command timed out</translation>
    </message>
    <message>
        <location filename="../src/backend/writable.cpp" line="191"/>
        <source>无效的配置项: %1</source>
        <translation>Invalid configuration key: %1</translation>
    </message>
    <message>
        <location filename="../src/backend/writable.cpp" line="202"/>
        <location filename="../src/backend/writable.cpp" line="209"/>
        <source>无法读取系统配置文件</source>
        <translation>Cannot read the system configuration file</translation>
    </message>
    <message>
        <location filename="../src/backend/writable.cpp" line="216"/>
        <source>无法写入临时配置文件</source>
        <translation>Cannot write the temporary configuration file</translation>
    </message>
</context>
<context>
    <name>DiskUsagePage</name>
    <message>
        <location filename="../src/diskusagepage.cpp" line="13"/>
        <source>磁盘空间</source>
        <translation>Disk Space</translation>
    </message>
    <message>
        <location filename="../src/diskusagepage.cpp" line="13"/>
        <source>系统盘占用历史、增长分析与异常告警</source>
        <translation>System disk usage history, growth analysis and abnormal growth alerts</translation>
    </message>
    <message>
        <location filename="../src/diskusagepage.cpp" line="26"/>
        <source>查看日期：%1</source>
        <translation>Showing day: %1</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <location filename="../src/mainwindow.cpp" line="47"/>
        <location filename="../src/mainwindow.cpp" line="52"/>
        <source>Tavrin设置</source>
        <translation>Tavrin Settings</translation>
    </message>
    <message>
        <location filename="../src/mainwindow.cpp" line="112"/>
        <source>概览</source>
        <translation>Overview</translation>
    </message>
    <message>
        <location filename="../src/mainwindow.cpp" line="113"/>
        <source>总览</source>
        <translation>Dashboard</translation>
    </message>
    <message>
        <location filename="../src/mainwindow.cpp" line="115"/>
        <source>系统维护</source>
        <translation>System Maintenance</translation>
    </message>
    <message>
        <location filename="../src/mainwindow.cpp" line="116"/>
        <source>磁盘空间</source>
        <translation>Disk Space</translation>
    </message>
    <message>
        <location filename="../src/mainwindow.cpp" line="118"/>
        <source>系统保护</source>
        <translation>System Protection</translation>
    </message>
    <message>
        <location filename="../src/mainwindow.cpp" line="121"/>
        <source>备份与版本</source>
        <translation>Backups</translation>
    </message>
    <message>
        <location filename="../src/mainwindow.cpp" line="122"/>
        <source>系统更新</source>
        <translation>System Update</translation>
    </message>
    <message>
        <location filename="../src/mainwindow.cpp" line="123"/>
        <source>设置</source>
        <translation>Settings</translation>
    </message>
    <message>
        <location filename="../src/mainwindow.cpp" line="124"/>
        <source>策略与设置</source>
        <translation>Policy &amp; Settings</translation>
    </message>
    <message>
        <location filename="../src/mainwindow.cpp" line="126"/>
        <source>关于</source>
        <translation>About</translation>
    </message>
    <message>
        <location filename="../src/mainwindow.cpp" line="291"/>
        <source>语言</source>
        <translation>Language</translation>
    </message>
    <message>
        <location filename="../src/mainwindow.cpp" line="302"/>
        <source>跟随系统</source>
        <translation>Follow System</translation>
    </message>
    <message>
        <location filename="../src/mainwindow.cpp" line="303"/>
        <source>简体中文</source>
        <translation>简体中文</translation>
    </message>
</context>
<context>
    <name>OverviewPage</name>
    <message>
        <location filename="../src/overviewpage.cpp" line="8"/>
        <source>总览</source>
        <translation>Dashboard</translation>
    </message>
    <message>
        <location filename="../src/overviewpage.cpp" line="8"/>
        <source>Tavrin系统运行状态一览</source>
        <translation>Tavrin system status at a glance</translation>
    </message>
</context>
<context>
    <name>PolicyPage</name>
    <message>
        <location filename="../src/policypage.cpp" line="9"/>
        <source>策略与设置</source>
        <translation>Policy &amp; Settings</translation>
    </message>
    <message>
        <location filename="../src/policypage.cpp" line="9"/>
        <source>备份保留策略与Tavrin系统参数</source>
        <translation>Backup retention policy and Tavrin system parameters</translation>
    </message>
</context>
<context>
    <name>ProtectionPage</name>
    <message>
        <location filename="../src/protectionpage.cpp" line="9"/>
        <source>系统保护</source>
        <translation>System Protection</translation>
    </message>
    <message>
        <location filename="../src/protectionpage.cpp" line="9"/>
        <source>Tavrin系统只读保护(可写层)管理</source>
        <translation>Tavrin read-only protection (writable layer) management</translation>
    </message>
    <message>
        <location filename="../src/protectionpage.cpp" line="15"/>
        <source>保护开关将在后续版本中提供</source>
        <translation>The protection switch will be available in a later version</translation>
    </message>
</context>
<context>
    <name>Startup</name>
    <message>
        <location filename="../src/startup.cpp" line="83"/>
        <source>Tavrin设置</source>
        <translation>Tavrin Settings</translation>
    </message>
</context>
<context>
    <name>Tavrin::DiskMonitor</name>
    <message>
        <location filename="../src/disk/diskmonitor.cpp" line="135"/>
        <source>磁盘空间异常增长</source>
        <translation>Abnormal disk space growth</translation>
    </message>
    <message>
        <location filename="../src/disk/diskmonitor.cpp" line="136"/>
        <source>系统盘 %1 增长 %2，主要来源：%3</source>
        <translation>System disk grew by %2 on %1, mainly in %3</translation>
    </message>
    <message>
        <location filename="../src/disk/diskmonitor.cpp" line="138"/>
        <source>查看详情</source>
        <translation>View Details</translation>
    </message>
    <message>
        <location filename="../src/disk/diskmonitor.cpp" line="188"/>
        <source>监控周期已在运行</source>
        <translation>A monitor cycle is already running</translation>
    </message>
    <message>
        <location filename="../src/disk/diskmonitor.cpp" line="193"/>
        <source>监控未开启</source>
        <translation>Monitoring is off</translation>
    </message>
    <message>
        <location filename="../src/disk/diskmonitor.cpp" line="206"/>
        <source>df 查询失败</source>
        <translation>df query failed</translation>
    </message>
    <message>
        <location filename="../src/disk/diskmonitor.cpp" line="317"/>
        <source>监控周期超时</source>
        <translation>Monitor cycle timed out</translation>
    </message>
    <message>
        <location filename="../src/disk/diskmonitor.cpp" line="327"/>
        <source>监控完成</source>
        <translation>Monitor cycle finished</translation>
    </message>
</context>
<context>
    <name>Tavrin::DiskScanner</name>
    <message>
        <location filename="../src/disk/diskscanner.cpp" line="87"/>
        <source>无法启动 df 进程</source>
        <translation>Cannot start df</translation>
    </message>
    <message>
        <location filename="../src/disk/diskscanner.cpp" line="93"/>
        <source>df 执行超时</source>
        <translation>df timed out</translation>
    </message>
    <message>
        <location filename="../src/disk/diskscanner.cpp" line="329"/>
        <location filename="../src/disk/diskscanner.cpp" line="398"/>
        <source>扫描已取消</source>
        <translation>Scan cancelled</translation>
    </message>
    <message>
        <location filename="../src/disk/diskscanner.cpp" line="338"/>
        <source>无法启动 du 进程</source>
        <translation>Cannot start du</translation>
    </message>
    <message>
        <location filename="../src/disk/diskscanner.cpp" line="423"/>
        <source>扫描未完整完成</source>
        <translation>Scan did not complete</translation>
    </message>
    <message>
        <location filename="../src/disk/diskscanner.cpp" line="445"/>
        <source>无法解析 df 输出</source>
        <translation>Cannot parse the output of df</translation>
    </message>
</context>
<context>
    <name>TavrinAbout</name>
    <message>
        <location filename="../src/ui/aboutdialog.cpp" line="68"/>
        <source>版本 %1  ·  Zarnex 25 Tavrin系统管理工具</source>
        <translation>Version %1  ·  Tavrin system administration tool for Zarnex 25</translation>
    </message>
    <message>
        <location filename="../src/ui/aboutdialog.cpp" line="87"/>
        <source>技术基础</source>
        <translation>Technology</translation>
    </message>
    <message>
        <location filename="../src/ui/aboutdialog.cpp" line="89"/>
        <source>支持平台</source>
        <translation>Platforms</translation>
    </message>
    <message>
        <location filename="../src/ui/aboutdialog.cpp" line="89"/>
        <source>Zarnex 25（X11 / Wayland），ZDE 桌面风格（ZENTK）</source>
        <translation>Zarnex 25 (X11 / Wayland), ZDE desktop style (ZENTK)</translation>
    </message>
    <message>
        <location filename="../src/ui/aboutdialog.cpp" line="90"/>
        <source>开发者</source>
        <translation>Developer</translation>
    </message>
    <message>
        <location filename="../src/ui/aboutdialog.cpp" line="90"/>
        <source>Tavrin 开发团队</source>
        <translation>Tavrin development team</translation>
    </message>
    <message>
        <location filename="../src/ui/aboutdialog.cpp" line="116"/>
        <source>核心目录只读保护</source>
        <translation>Read-only protection of core directories</translation>
    </message>
    <message>
        <location filename="../src/ui/aboutdialog.cpp" line="117"/>
        <source>/usr 只读 overlay，/etc /opt 可写 overlay</source>
        <translation>/usr as a read-only overlay, /etc and /opt as writable overlays</translation>
    </message>
    <message>
        <location filename="../src/ui/aboutdialog.cpp" line="118"/>
        <source>原子更新</source>
        <translation>Atomic updates</translation>
    </message>
    <message>
        <location filename="../src/ui/aboutdialog.cpp" line="119"/>
        <source>升级失败自动回滚（auto-rollback-on-failure）</source>
        <translation>Automatic rollback when an upgrade fails (auto-rollback-on-failure)</translation>
    </message>
    <message>
        <location filename="../src/ui/aboutdialog.cpp" line="120"/>
        <source>快照备份</source>
        <translation>Snapshot backups</translation>
    </message>
    <message>
        <location filename="../src/ui/aboutdialog.cpp" line="121"/>
        <source>基于 OSTree 秒级增量快照，支持导出/导入</source>
        <translation>Incremental OSTree snapshots in seconds, with export/import</translation>
    </message>
    <message>
        <location filename="../src/ui/aboutdialog.cpp" line="122"/>
        <source>初始备份保护</source>
        <translation>Protected initial backup</translation>
    </message>
    <message>
        <location filename="../src/ui/aboutdialog.cpp" line="122"/>
        <source>初始备份受系统保护，不可删除/修改</source>
        <translation>The initial backup is protected by the system and cannot be deleted or modified</translation>
    </message>
    <message>
        <location filename="../src/ui/aboutdialog.cpp" line="123"/>
        <source>还原需重启</source>
        <translation>Restore takes effect on reboot</translation>
    </message>
    <message>
        <location filename="../src/ui/aboutdialog.cpp" line="124"/>
        <source>快照还原需重启生效，可写层开启时禁止还原</source>
        <translation>A snapshot restore takes effect after a reboot; restoring is blocked while the writable layer is on</translation>
    </message>
    <message>
        <location filename="../src/ui/aboutdialog.cpp" line="125"/>
        <source>分层存储</source>
        <translation>Layered storage</translation>
    </message>
    <message>
        <location filename="../src/ui/aboutdialog.cpp" line="126"/>
        <source>系统与数据分区分层，/home 等数据分区不受还原影响</source>
        <translation>System and data partitions are kept apart; data partitions such as /home are not affected by a restore</translation>
    </message>
    <message>
        <location filename="../src/ui/aboutdialog.cpp" line="140"/>
        <source>列出快照</source>
        <translation>List snapshots</translation>
    </message>
    <message>
        <location filename="../src/ui/aboutdialog.cpp" line="141"/>
        <source>创建快照</source>
        <translation>Create snapshot</translation>
    </message>
    <message>
        <location filename="../src/ui/aboutdialog.cpp" line="141"/>
        <source>sudo zarnex-immutable-ctl snapshot create &lt;名称&gt; &lt;描述&gt;</source>
        <translation>sudo zarnex-immutable-ctl snapshot create &lt;name&gt; &lt;description&gt;</translation>
    </message>
    <message>
        <location filename="../src/ui/aboutdialog.cpp" line="142"/>
        <source>还原快照</source>
        <translation>Restore snapshot</translation>
    </message>
    <message>
        <location filename="../src/ui/aboutdialog.cpp" line="143"/>
        <source>保护状态</source>
        <translation>Protection status</translation>
    </message>
    <message>
        <location filename="../src/ui/aboutdialog.cpp" line="144"/>
        <source>开/关可写层</source>
        <translation>Writable layer on/off</translation>
    </message>
    <message>
        <location filename="../src/ui/aboutdialog.cpp" line="145"/>
        <source>部署状态</source>
        <translation>Deployment status</translation>
    </message>
    <message>
        <location filename="../src/ui/aboutdialog.cpp" line="154"/>
        <location filename="../src/ui/aboutdialog.cpp" line="161"/>
        <source>复制版本信息</source>
        <translation>Copy Version Info</translation>
    </message>
    <message>
        <location filename="../src/ui/aboutdialog.cpp" line="158"/>
        <source>Tavrin设置</source>
        <translation>Tavrin Settings</translation>
    </message>
    <message>
        <location filename="../src/ui/aboutdialog.cpp" line="160"/>
        <source>已复制</source>
        <translation>Copied</translation>
    </message>
</context>
<context>
    <name>TavrinConfirm</name>
    <message>
        <location filename="../src/ui/confirmdialog.cpp" line="39"/>
        <source>高风险操作确认</source>
        <translation>Confirm High-Risk Action</translation>
    </message>
    <message>
        <location filename="../src/ui/confirmdialog.cpp" line="43"/>
        <source>此为高风险操作，请务必确认后再继续</source>
        <translation>This is a high-risk action. Make sure before you continue.</translation>
    </message>
    <message>
        <location filename="../src/ui/confirmdialog.cpp" line="46"/>
        <location filename="../src/ui/confirmdialog.cpp" line="147"/>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <location filename="../src/ui/confirmdialog.cpp" line="68"/>
        <source>我已知晓风险（%1s）</source>
        <translation>I Understand the Risk (%1s)</translation>
    </message>
    <message>
        <location filename="../src/ui/confirmdialog.cpp" line="72"/>
        <source>我已知晓风险</source>
        <translation>I Understand the Risk</translation>
    </message>
    <message>
        <location filename="../src/ui/confirmdialog.cpp" line="149"/>
        <source>确定</source>
        <translation>OK</translation>
    </message>
</context>
<context>
    <name>TavrinPageBlocks</name>
    <message>
        <location filename="../src/ui/pageblocks.cpp" line="242"/>
        <source>复制命令</source>
        <translation>Copy command</translation>
    </message>
    <message>
        <location filename="../src/ui/pageblocks.cpp" line="248"/>
        <source>复制</source>
        <translation>Copy</translation>
    </message>
    <message>
        <location filename="../src/ui/pageblocks.cpp" line="259"/>
        <source>已复制</source>
        <translation>Copied</translation>
    </message>
</context>
<context>
    <name>TavrinPlaceholder</name>
    <message>
        <location filename="../src/placeholderpage.cpp" line="47"/>
        <source>该功能将在后续版本中提供</source>
        <translation>This feature will be available in a later version</translation>
    </message>
    <message>
        <location filename="../src/placeholderpage.cpp" line="48"/>
        <source>此页面的内容正在开发中，暂不显示任何系统数据。</source>
        <translation>This page is under development and does not show any system data yet.</translation>
    </message>
</context>
<context>
    <name>TavrinUi::TavrinAboutDialog</name>
    <message>
        <location filename="../src/ui/aboutdialog.cpp" line="168"/>
        <source>Tavrin设置</source>
        <translation>Tavrin Settings</translation>
    </message>
    <message>
        <location filename="../src/ui/aboutdialog.cpp" line="170"/>
        <source>关于Tavrin设置</source>
        <translation>About Tavrin Settings</translation>
    </message>
    <message>
        <location filename="../src/ui/aboutdialog.cpp" line="184"/>
        <source>Tavrin系统技术参考</source>
        <translation>Tavrin Technical Reference</translation>
    </message>
    <message>
        <location filename="../src/ui/aboutdialog.cpp" line="187"/>
        <source>常用命令参考</source>
        <translation>Command Reference</translation>
    </message>
</context>
<context>
    <name>TavrinUi::TavrinInlineBanner</name>
    <message>
        <location filename="../src/ui/components.cpp" line="561"/>
        <source>关闭</source>
        <translation>Close</translation>
    </message>
    <message>
        <location filename="../src/ui/components.cpp" line="562"/>
        <source>关闭提示</source>
        <translation>Close message</translation>
    </message>
</context>
<context>
    <name>TavrinUi::TavrinSidebar</name>
    <message>
        <location filename="../src/ui/sidebar.cpp" line="25"/>
        <source>主导航</source>
        <translation>Main navigation</translation>
    </message>
</context>
<context>
    <name>UpdatePage</name>
    <message>
        <location filename="../src/updatepage.cpp" line="9"/>
        <source>系统更新</source>
        <translation>System Update</translation>
    </message>
    <message>
        <location filename="../src/updatepage.cpp" line="9"/>
        <source>通过Tavrin系统原子更新机制升级系统</source>
        <translation>Upgrade the system with Tavrin atomic updates</translation>
    </message>
    <message>
        <location filename="../src/updatepage.cpp" line="15"/>
        <source>更新检查将在后续版本中提供</source>
        <translation>Update checks will be available in a later version</translation>
    </message>
</context>
<context>
    <name>VersionManagementPage</name>
    <message>
        <location filename="../src/versionpage.cpp" line="14"/>
        <source>备份与版本</source>
        <translation>Backups &amp; Versions</translation>
    </message>
    <message>
        <location filename="../src/versionpage.cpp" line="14"/>
        <source>系统快照是可还原的备份点，系统部署实例是可启动的系统</source>
        <translation>Snapshots are restore points; deployments are bootable systems</translation>
    </message>
    <message>
        <location filename="../src/versionpage.cpp" line="20"/>
        <source>系统快照</source>
        <translation>Snapshots</translation>
    </message>
    <message>
        <location filename="../src/versionpage.cpp" line="21"/>
        <source>系统部署实例</source>
        <translation>Deployments</translation>
    </message>
    <message>
        <location filename="../src/versionpage.cpp" line="45"/>
        <source>创建备份将在后续版本中提供</source>
        <translation>Creating backups will be available in a later version</translation>
    </message>
    <message>
        <location filename="../src/versionpage.cpp" line="51"/>
        <source>这里记录的是「可还原的备份点」：可以创建、删除，也可以把系统还原回它记录的那一刻。</source>
        <translation>These are restore points: you can create and delete them, and restore the system to the moment one was taken.</translation>
    </message>
    <message>
        <location filename="../src/versionpage.cpp" line="52"/>
        <source>这里列出的是「一整套可启动的系统」：只能删除以释放磁盘空间，删除后该系统无法再启动。</source>
        <translation>These are complete bootable systems: you can only delete one to free disk space, and a deleted system can no longer be booted.</translation>
    </message>
</context>
</TS>
