<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US" sourcelanguage="zh_CN">
<context>
    <name>ZAboutDialog</name>
    <message>
        <source>鸣谢：Qt 及所有开源贡献者</source>
        <translation>Thanks to Qt and all open-source contributors</translation>
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
</context>
</TS>
