<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ru">
<context>
    <name>QtTranslationSwitch</name>
    <message>
        <location filename="../widgets/qttranslationswitch.cpp"/>
        <source>System</source>
        <translation>Системный</translation>
    </message>
    <message>
        <location filename="../widgets/qttranslationswitch.cpp"/>
        <source>Set system language</source>
        <translation>Установить системный язык</translation>
    </message>
    <message>
        <location filename="../widgets/qttranslationswitch.cpp"/>
        <source>Russian</source>
        <translation>Русский</translation>
    </message>
    <message>
        <location filename="../widgets/qttranslationswitch.cpp"/>
        <source>Set russian language</source>
        <translation>Установить русский язык</translation>
    </message>
    <message>
        <location filename="../widgets/qttranslationswitch.cpp"/>
        <source>English</source>
        <translation>Английский</translation>
    </message>
    <message>
        <location filename="../widgets/qttranslationswitch.cpp"/>
        <source>Set english language</source>
        <translation>Установить английский язык</translation>
    </message>
</context>
</TS>
