<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US" sourcelanguage="zh_CN">
<context>
    <name>Startup</name>
    <message>
        <source>Tavrin设置</source>
        <translation>Tavrin Settings</translation>
    </message>
</context>
</TS>
