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
<context>
    <name>TableCopyAction</name>
    <message>
        <location filename="../widgets/tablecopyaction.cpp"/>
        <source>&amp;Copy</source>
        <translation>&amp;Copy</translation>
    </message>
    <message>
        <location filename="../widgets/tablecopyaction.cpp"/>
        <source>Copy selected text</source>
        <translation>Copy selected text</translation>
    </message>
</context>
<context>
    <name>MesValStateWidget</name>
    <message>
        <location filename="../forms/mesvalstatewidget.ui"/>
        <source>Form</source>
        <translation>Form</translation>
    </message>
    <message>
        <location filename="../forms/mesvalstatewidget.ui"/>
        <source>Диап.</source>
        <translation>Range</translation>
    </message>
    <message>
        <location filename="../forms/mesvalstatewidget.ui"/>
        <source>КЗ</source>
        <translation>Short</translation>
    </message>
    <message>
        <location filename="../forms/mesvalstatewidget.ui"/>
        <source>Обр.</source>
        <translation>Open</translation>
    </message>
    <message>
        <location filename="../forms/mesvalstatewidget.ui"/>
        <source>Вне диапазона</source>
        <translation>Out of range</translation>
    </message>
    <message>
        <location filename="../forms/mesvalstatewidget.ui"/>
        <source>Обрыв</source>
        <translation>Open circuit</translation>
    </message>
</context>
<context>
    <name>GraphConfigDialog</name>
    <message>
        <location filename="../forms/graphconfigdialog.ui"/>
        <source>Настройки графика</source>
        <translation>Plot settings</translation>
    </message>
    <message>
        <location filename="../forms/graphconfigdialog.ui"/>
        <source>Ось X</source>
        <translation>X axis</translation>
    </message>
    <message>
        <location filename="../forms/graphconfigdialog.ui"/>
        <source>Ось Y</source>
        <translation>Y axis</translation>
    </message>
    <message>
        <location filename="../forms/graphconfigdialog.ui"/>
        <source>Автомасштаб</source>
        <translation>Autoscale</translation>
    </message>
    <message>
        <location filename="../forms/graphconfigdialog.ui"/>
        <source>Минимальное значение</source>
        <translation>Minimum</translation>
    </message>
    <message>
        <location filename="../forms/graphconfigdialog.ui"/>
        <source>Максимальное значение</source>
        <translation>Maximum</translation>
    </message>
</context>
</TS>
