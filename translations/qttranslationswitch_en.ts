<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en">
<context>
    <name>QtTranslationSwitch</name>
    <message>
        <location filename="../widgets/qttranslationswitch.cpp"/>
        <source>System</source>
        <translation>System</translation>
    </message>
    <message>
        <location filename="../widgets/qttranslationswitch.cpp"/>
        <source>Set system language</source>
        <translation>Set system language</translation>
    </message>
    <message>
        <location filename="../widgets/qttranslationswitch.cpp"/>
        <source>Russian</source>
        <translation>Russian</translation>
    </message>
    <message>
        <location filename="../widgets/qttranslationswitch.cpp"/>
        <source>Set russian language</source>
        <translation>Set russian language</translation>
    </message>
    <message>
        <location filename="../widgets/qttranslationswitch.cpp"/>
        <source>English</source>
        <translation>English</translation>
    </message>
    <message>
        <location filename="../widgets/qttranslationswitch.cpp"/>
        <source>Set english language</source>
        <translation>Set english language</translation>
    </message>
</context>
</TS>
