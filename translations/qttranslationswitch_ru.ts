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
<context>
    <name>TableCopyAction</name>
    <message>
        <location filename="../widgets/tablecopyaction.cpp"/>
        <source>&amp;Copy</source>
        <translation>&amp;Копировать</translation>
    </message>
    <message>
        <location filename="../widgets/tablecopyaction.cpp"/>
        <source>Copy selected text</source>
        <translation>Копировать выделенный текст</translation>
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
        <translation>Диап.</translation>
    </message>
    <message>
        <location filename="../forms/mesvalstatewidget.ui"/>
        <source>КЗ</source>
        <translation>КЗ</translation>
    </message>
    <message>
        <location filename="../forms/mesvalstatewidget.ui"/>
        <source>Обр.</source>
        <translation>Обр.</translation>
    </message>
    <message>
        <location filename="../forms/mesvalstatewidget.ui"/>
        <source>Вне диапазона</source>
        <translation>Вне диапазона</translation>
    </message>
    <message>
        <location filename="../forms/mesvalstatewidget.ui"/>
        <source>Обрыв</source>
        <translation>Обрыв</translation>
    </message>
</context>
<context>
    <name>GraphConfigDialog</name>
    <message>
        <location filename="../forms/graphconfigdialog.ui"/>
        <source>Настройки графика</source>
        <translation>Настройки графика</translation>
    </message>
    <message>
        <location filename="../forms/graphconfigdialog.ui"/>
        <source>Ось X</source>
        <translation>Ось X</translation>
    </message>
    <message>
        <location filename="../forms/graphconfigdialog.ui"/>
        <source>Ось Y</source>
        <translation>Ось Y</translation>
    </message>
    <message>
        <location filename="../forms/graphconfigdialog.ui"/>
        <source>Автомасштаб</source>
        <translation>Автомасштаб</translation>
    </message>
    <message>
        <location filename="../forms/graphconfigdialog.ui"/>
        <source>Минимальное значение</source>
        <translation>Минимальное значение</translation>
    </message>
    <message>
        <location filename="../forms/graphconfigdialog.ui"/>
        <source>Максимальное значение</source>
        <translation>Максимальное значение</translation>
    </message>
</context>
</TS>
