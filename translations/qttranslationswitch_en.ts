<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en">
<context>
    <name>QtTranslationSwitch</name>
    <message>
        <source>System</source>
        <translation>System</translation>
    </message>
    <message>
        <source>Set system language</source>
        <translation>Set system language</translation>
    </message>
    <message>
        <source>Russian</source>
        <translation>Русский</translation>
    </message>
    <message>
        <source>Set russian language</source>
        <translation>Set russian language</translation>
    </message>
    <message>
        <source>English</source>
        <translation>English</translation>
    </message>
    <message>
        <source>Set english language</source>
        <translation>Set english language</translation>
    </message>
</context>
<context>
    <name>TableCopyAction</name>
    <message>
        <source>&amp;Copy</source>
        <translation>&amp;Copy</translation>
    </message>
    <message>
        <source>Copy selected text</source>
        <translation>Copy selected text</translation>
    </message>
</context>
</TS>
