<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US" sourcelanguage="zh_CN">
<context>
    <name>ZAboutDialog</name>
    <message>
        <source>鸣谢：Qt 及所有开源贡献者</source>
        <translation>Thanks to Qt and all open-source contributors</translation>
    </message>
    <message>
        <source>关闭</source>
        <translation>Close</translation>
    </message>
</context>
<context>
    <name>ZDialog</name>
    <message>
        <source>关闭</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>关闭对话框</source>
        <translation>Close dialog</translation>
    </message>
</context>
<context>
    <name>ZTitlebar</name>
    <message>
        <source>关于</source>
        <translation>About</translation>
    </message>
    <message>
        <source>退出</source>
        <translation>Quit</translation>
    </message>
    <message>
        <source>主菜单</source>
        <translation>Main menu</translation>
    </message>
    <message>
        <source>主菜单 (F10)</source>
        <translation>Main menu (F10)</translation>
    </message>
    <message>
        <source>最小化</source>
        <translation>Minimize</translation>
    </message>
    <message>
        <source>最大化</source>
        <translation>Maximize</translation>
    </message>
    <message>
        <source>关闭</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>还原</source>
        <translation>Restore</translation>
    </message>
</context>
</TS>
