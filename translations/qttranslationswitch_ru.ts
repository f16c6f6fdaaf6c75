<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ru">
<context>
    <name>QtTranslationSwitch</name>
    <message>
        <source>System</source>
        <translation>Системный</translation>
    </message>
    <message>
        <source>Set system language</source>
        <translation>Установить системный язык</translation>
    </message>
    <message>
        <source>Russian</source>
        <translation>Русский</translation>
    </message>
    <message>
        <source>Set russian language</source>
        <translation>Установить русский язык</translation>
    </message>
    <message>
        <source>English</source>
        <translation>English</translation>
    </message>
    <message>
        <source>Set english language</source>
        <translation>Установить английский язык</translation>
    </message>
</context>
<context>
    <name>TableCopyAction</name>
    <message>
        <source>&amp;Copy</source>
        <translation>&amp;Копировать</translation>
    </message>
    <message>
        <source>Copy selected text</source>
        <translation>Копировать выделенный текст</translation>
    </message>
</context>
</TS>
