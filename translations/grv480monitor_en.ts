<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="ru">
<context>
    <name>ApiError</name>
    <message>
        <source>Успешное выполнение</source>
        <translation>Success</translation>
    </message>
    <message>
        <source>Неверный описатель модуля</source>
        <translation>Invalid module handle</translation>
    </message>
    <message>
        <source>Неверный параметр функции</source>
        <translation>Invalid function parameter</translation>
    </message>
    <message>
        <source>Модуль не открыт</source>
        <translation>Module not open</translation>
    </message>
    <message>
        <source>Модуль уже открыт</source>
        <translation>Module already open</translation>
    </message>
    <message>
        <source>Недостаточно памяти</source>
        <translation>Out of memory</translation>
    </message>
    <message>
        <source>Блок данных слишком велик: уменьшите время сбора данных или частоту</source>
        <translation>Data block too large: reduce the acquisition time or the frequency</translation>
    </message>
    <message>
        <source>Не удалось подключиться к серверу крейтов</source>
        <translation>Cannot connect to the crate server</translation>
    </message>
    <message>
        <source>Истекло время ожидания ответа от сервера крейтов</source>
        <translation>Timed out waiting for the crate server</translation>
    </message>
    <message>
        <source>Соединение с сервером крейтов потеряно</source>
        <translation>Connection to the crate server lost</translation>
    </message>
    <message>
        <source>Неверный ответ сервера крейтов</source>
        <translation>Invalid answer from the crate server</translation>
    </message>
    <message>
        <source>Модуль уже используется другим приложением</source>
        <translation>Module in use by another application</translation>
    </message>
    <message>
        <source>В указанном слоте нет модуля GRV480</source>
        <translation>No GRV480 module in the given slot</translation>
    </message>
    <message>
        <source>Крейт с указанным серийным номером не найден</source>
        <translation>No crate with the given serial number</translation>
    </message>
    <message>
        <source>Неверный код диапазона канала</source>
        <translation>Invalid channel range code</translation>
    </message>
    <message>
        <source>Неверный номер канала</source>
        <translation>Invalid channel number</translation>
    </message>
    <message>
        <source>Каналы логической таблицы должны следовать по возрастанию номеров без повторов</source>
        <translation>Logical table channels must be in ascending order without repeats</translation>
    </message>
    <message>
        <source>Неверное количество логических каналов</source>
        <translation>Invalid number of logical channels</translation>
    </message>
    <message>
        <source>Неверный код тока возбуждения</source>
        <translation>Invalid excitation current code</translation>
    </message>
    <message>
        <source>Неверный делитель частоты синхронизации АЦП</source>
        <translation>Invalid ADC sync clock divider</translation>
    </message>
    <message>
        <source>Неверный тип фильтра АЦП</source>
        <translation>Invalid ADC filter type</translation>
    </message>
    <message>
        <source>Неверная частота выдачи данных фильтра АЦП</source>
        <translation>Invalid ADC filter output data rate</translation>
    </message>
    <message>
        <source>Неверная маска фоновых измерений</source>
        <translation>Invalid background measurement mask</translation>
    </message>
    <message>
        <source>Канал 16 используется для измерения Uref и не может быть измерительным</source>
        <translation>Channel 16 measures Uref and cannot be a measuring channel</translation>
    </message>
    <message>
        <source>Неверное время на коммутацию</source>
        <translation>Invalid switching time</translation>
    </message>
    <message>
        <source>Неверные параметры кабеля</source>
        <translation>Invalid cable parameters</translation>
    </message>
    <message>
        <source>Неверный порог определения короткого замыкания</source>
        <translation>Invalid short-circuit threshold</translation>
    </message>
    <message>
        <source>Логическая таблица не помещается в память модуля</source>
        <translation>Logical table does not fit in module memory</translation>
    </message>
    <message>
        <source>В одноканальном режиме должен быть разрешен ровно один канал</source>
        <translation>Single-channel mode needs exactly one enabled channel</translation>
    </message>
    <message>
        <source>Конфигурация не совпадает с записью: набор каналов</source>
        <translation>Configuration differs from the recording: set of channels</translation>
    </message>
    <message>
        <source>Конфигурация не совпадает с записью: диапазон канала</source>
        <translation>Configuration differs from the recording: channel range</translation>
    </message>
    <message>
        <source>Конфигурация не совпадает с записью: одноканальный режим</source>
        <translation>Configuration differs from the recording: single-channel mode</translation>
    </message>
    <message>
        <source>Конфигурация не совпадает с записью: частота АЦП</source>
        <translation>Configuration differs from the recording: ADC frequency</translation>
    </message>
    <message>
        <source>Конфигурация не совпадает с записью: время на коммутацию</source>
        <translation>Configuration differs from the recording: switching time</translation>
    </message>
    <message>
        <source>Конфигурация не совпадает с записью: фильтр АЦП</source>
        <translation>Configuration differs from the recording: ADC filter</translation>
    </message>
    <message>
        <source>Конфигурация не совпадает с записью: ток возбуждения</source>
        <translation>Configuration differs from the recording: excitation current</translation>
    </message>
    <message>
        <source>Конфигурация не совпадает с записью: фоновые измерения</source>
        <translation>Configuration differs from the recording: background measurements</translation>
    </message>
    <message>
        <source>Конфигурация не совпадает с записью: канал 16 для измерения Uref</source>
        <translation>Configuration differs from the recording: channel 16 for Uref</translation>
    </message>
    <message>
        <source>Конфигурация не совпадает с записью: применение тарировочных коэффициентов</source>
        <translation>Configuration differs from the recording: use of the tare coefficients</translation>
    </message>
    <message>
        <source>Конфигурация не совпадает с записью: порог определения короткого замыкания</source>
        <translation>Configuration differs from the recording: short-circuit threshold</translation>
    </message>
    <message>
        <source>Конфигурация не совпадает с записью: параметры кабеля</source>
        <translation>Configuration differs from the recording: cable parameters</translation>
    </message>
    <message>
        <source>Модуль не сконфигурирован</source>
        <translation>Module not configured</translation>
    </message>
    <message>
        <source>Сбор данных не запущен</source>
        <translation>Acquisition not started</translation>
    </message>
    <message>
        <source>Сбор данных уже запущен</source>
        <translation>Acquisition already started</translation>
    </message>
    <message>
        <source>Переполнение буфера модуля: данные не были приняты вовремя</source>
        <translation>Module buffer overflow: data not received in time</translation>
    </message>
    <message>
        <source>Размер блока данных не кратен размеру кадра</source>
        <translation>Data block size is not a multiple of the frame size</translation>
    </message>
    <message>
        <source>Нарушена структура кадров в принятых данных</source>
        <translation>Corrupted frame structure in received data</translation>
    </message>
    <message>
        <source>Неверный режим измерения</source>
        <translation>Invalid measurement mode</translation>
    </message>
    <message>
        <source>Не выбрано ни одного канала для тарировки</source>
        <translation>No channel selected for tare</translation>
    </message>
    <message>
        <source>Не удалось выполнить измерения для тарировки</source>
        <translation>Tare measurements failed</translation>
    </message>
    <message>
        <source>Не удалось найти действительное значение для всех каналов</source>
        <translation>No valid value found for every channel</translation>
    </message>
    <message>
        <source>Ошибка записи во Flash-память модуля</source>
        <translation>Module flash write error</translation>
    </message>
    <message>
        <source>Ошибка чтения Flash-памяти модуля</source>
        <translation>Module flash read error</translation>
    </message>
    <message>
        <source>Во Flash-памяти модуля нет тарировочных коэффициентов</source>
        <translation>No tare coefficients in module flash</translation>
    </message>
    <message>
        <source>Неверный параметр функции сервера крейтов</source>
        <translation>Invalid crate server function parameter</translation>
    </message>
    <message>
        <source>Соединение с сервером крейтов не открыто</source>
        <translation>Connection to the crate server not open</translation>
    </message>
    <message>
        <source>Операция не поддерживается этим соединением с сервером крейтов</source>
        <translation>Operation not supported by this crate server connection</translation>
    </message>
    <message>
        <source>Неизвестная ошибка</source>
        <translation>Unknown error</translation>
    </message>
</context>
<context>
    <name>ChannelLimits</name>
    <message>
        <source>нижний предел предупреждения</source>
        <translation>the low warning limit</translation>
    </message>
    <message>
        <source>верхний предел предупреждения</source>
        <translation>the high warning limit</translation>
    </message>
    <message>
        <source>нижний предел аварии</source>
        <translation>the low alarm limit</translation>
    </message>
    <message>
        <source>верхний предел аварии</source>
        <translation>the high alarm limit</translation>
    </message>
    <message>
        <source>%1: нужно конечное число не больше 1e12 по модулю</source>
        <translation>%1: a finite number not beyond 1e12 in magnitude is needed</translation>
    </message>
    <message>
        <source>Гистерезис должен быть неотрицательным конечным числом</source>
        <translation>The hysteresis must be a finite number not below zero</translation>
    </message>
    <message>
        <source>Число блоков должно быть от 1 до %1</source>
        <translation>The number of blocks must be 1 to %1</translation>
    </message>
    <message>
        <source>Пределы в неверном порядке: %1 (%2) должен быть меньше, чем %3 (%4)</source>
        <translation>Limits in the wrong order: %1 (%2) must be below %3 (%4)</translation>
    </message>
    <message>
        <source>Непонятная запись пределов «%1»</source>
        <translation>Limits not understood: “%1”</translation>
    </message>
</context>
<context>
    <name>ChannelSensor</name>
    <message>
        <source>мВ</source>
        <translation>mV</translation>
    </message>
    <message>
        <source>не задана единица измерения</source>
        <translation>no unit given</translation>
    </message>
    <message>
        <source>датчик «%1» не назначен: %2</source>
        <translation>sensor “%1” not assigned: %2</translation>
    </message>
    <message>
        <source>ноль датчика «%1» не прочитан</source>
        <translation>the zero of sensor “%1” not read</translation>
    </message>
    <message>
        <source>пределы не заданы: они в единицах датчика</source>
        <translation>limits not set: they are in the sensor&apos;s unit</translation>
    </message>
    <message>
        <source>пределы не заданы: %1</source>
        <translation>limits not set: %1</translation>
    </message>
</context>
<context>
    <name>ChannelSensorDialog</name>
    <message>
        <source>Гистерезис не может быть отрицательным</source>
        <translation>The hysteresis cannot be negative</translation>
    </message>
    <message>
        <source>Каналу не назначен датчик</source>
        <translation>The channel has no sensor</translation>
    </message>
    <message>
        <source>Нужны хотя бы две точки: нажмите «Точка 1» и «Точка 2» и введите значения</source>
        <translation>At least two points are needed: press “Point 1” and “Point 2” and type their values</translation>
    </message>
    <message>
        <source>Градуировка</source>
        <translation>Calibration</translation>
    </message>
    <message>
        <source>Библиотека датчиков не записана в «%1»: %2</source>
        <translation>The sensor library was not written to “%1”: %2</translation>
    </message>
    <message>
        <source>Градуировка записана: %1</source>
        <translation>Calibration stored: %1</translation>
    </message>
    <message>
        <source>Пределы</source>
        <translation>Limits</translation>
    </message>
    <message>
        <source>Единица: %1; градуировка: %2 (%3)</source>
        <translation>Unit: %1; scaling: %2 (%3)</translation>
    </message>
    <message>
        <source>Без датчика: значения в мВ</source>
        <translation>No sensor: values in mV</translation>
    </message>
    <message>
        <source>усреднение: %1 из %2 блоков</source>
        <translation>averaging: %1 of %2 blocks</translation>
    </message>
    <message>
        <source>%1 ± %2 мВ</source>
        <translation>%1 ± %2 mV</translation>
    </message>
    <message>
        <source>Ноль: %1 %2</source>
        <translation>Zero: %1 %2</translation>
    </message>
    <message>
        <source>Ноль не задан</source>
        <translation>No zero set</translation>
    </message>
    <message>
        <source>Пределы, %1</source>
        <translation>Limits, %1</translation>
    </message>
    <message>
        <source>Датчик и пределы канала %1</source>
        <translation>Sensor and limits of channel %1</translation>
    </message>
    <message>
        <source>Датчик</source>
        <translation>Sensor</translation>
    </message>
    <message>
        <source>— нет —</source>
        <translation>— none —</translation>
    </message>
    <message>
        <source>Градуировка по показаниям</source>
        <translation>Calibration from live readings</translation>
    </message>
    <message>
        <source>Усреднять по блокам:</source>
        <translation>Average over blocks:</translation>
    </message>
    <message>
        <source>Точка %1</source>
        <translation>Point %1</translation>
    </message>
    <message>
        <source>значение в единицах датчика</source>
        <translation>value in the sensor&apos;s unit</translation>
    </message>
    <message>
        <source>Ещё точка</source>
        <translation>Another point</translation>
    </message>
    <message>
        <source>Записать градуировку</source>
        <translation>Store calibration</translation>
    </message>
    <message>
        <source>Программный ноль</source>
        <translation>Software zero</translation>
    </message>
    <message>
        <source>Обнулить</source>
        <translation>Zero</translation>
    </message>
    <message>
        <source>Сбросить ноль</source>
        <translation>Reset zero</translation>
    </message>
    <message>
        <source>Авария, верхний</source>
        <translation>Alarm, high</translation>
    </message>
    <message>
        <source>Предупреждение, верхний</source>
        <translation>Warning, high</translation>
    </message>
    <message>
        <source>Предупреждение, нижний</source>
        <translation>Warning, low</translation>
    </message>
    <message>
        <source>Авария, нижний</source>
        <translation>Alarm, low</translation>
    </message>
    <message>
        <source>Гистерезис</source>
        <translation>Hysteresis</translation>
    </message>
    <message>
        <source>Блоков до срабатывания</source>
        <translation>Blocks before it counts</translation>
    </message>
    <message>
        <source>Применить</source>
        <translation>Apply</translation>
    </message>
    <message>
        <source>Закрыть</source>
        <translation>Close</translation>
    </message>
</context>
<context>
    <name>ChannelsConfigWidget</name>
    <message>
        <source>Каналы</source>
        <translation>Channels</translation>
    </message>
    <message>
        <source>№ канала</source>
        <translation>Channel no.</translation>
    </message>
    <message>
        <source>Диапазон</source>
        <translation>Range</translation>
    </message>
    <message>
        <source>Канал</source>
        <translation>Channel</translation>
    </message>
    <message>
        <source>± %1 мВ</source>
        <translation>± %1 mV</translation>
    </message>
    <message>
        <source>Все каналы</source>
        <translation>All channels</translation>
    </message>
    <message>
        <source>Датчик</source>
        <translation>Sensor</translation>
    </message>
    <message>
        <source>— нет —</source>
        <translation>— none —</translation>
    </message>
    <message>
        <source>%1 (из конфигурации)</source>
        <translation>%1 (from the configuration)</translation>
    </message>
</context>
<context>
    <name>CondLedIndicator</name>
    <message>
        <source>в норме</source>
        <translation>normal</translation>
    </message>
    <message>
        <source>нарушение</source>
        <translation>violated</translation>
    </message>
    <message>
        <source>не измеряется</source>
        <translation>not measured</translation>
    </message>
    <message>
        <source>не определено</source>
        <translation>undetermined</translation>
    </message>
    <message>
        <source>нет данных</source>
        <translation>no data</translation>
    </message>
    <message>
        <source>%1: %2</source>
        <translation>%1: %2</translation>
    </message>
</context>
<context>
    <name>CursorReadout</name>
    <message>
        <source>Курсоры</source>
        <translation>Cursors</translation>
    </message>
    <message>
        <source>Курсоры на графиках: перетаскивание мышью или стрелки, клавиши 1 и 2 выбирают курсор</source>
        <translation>Plot cursors: drag with the mouse or use the arrow keys; keys 1 and 2 select the cursor</translation>
    </message>
    <message>
        <source>Уровни</source>
        <translation>Levels</translation>
    </message>
    <message>
        <source>Гармоники</source>
        <translation>Harmonics</translation>
    </message>
    <message>
        <source>Кан.</source>
        <translation>Ch.</translation>
    </message>
    <message>
        <source>U(t1), мВ</source>
        <translation>U(t1), mV</translation>
    </message>
    <message>
        <source>U(t2), мВ</source>
        <translation>U(t2), mV</translation>
    </message>
    <message>
        <source>ΔU, мВ</source>
        <translation>ΔU, mV</translation>
    </message>
    <message>
        <source>L(f1), dB</source>
        <translation>L(f1), dB</translation>
    </message>
    <message>
        <source>L(f2), dB</source>
        <translation>L(f2), dB</translation>
    </message>
    <message>
        <source>ΔL, dB</source>
        <translation>ΔL, dB</translation>
    </message>
    <message>
        <source>t1 = %1 мс   t2 = %2 мс   Δt = %3 мс   1/Δt = %4 Гц</source>
        <translation>t1 = %1 ms   t2 = %2 ms   Δt = %3 ms   1/Δt = %4 Hz</translation>
    </message>
    <message>
        <source>f1 = %1 Гц   f2 = %2 Гц   Δf = %3 Гц</source>
        <translation>f1 = %1 Hz   f2 = %2 Hz   Δf = %3 Hz</translation>
    </message>
    <message>
        <source>U1 = %1 мВ   U2 = %2 мВ   ΔU = %3 мВ
L1 = %4 dB   L2 = %5 dB   ΔL = %6 dB</source>
        <translation>U1 = %1 mV   U2 = %2 mV   ΔU = %3 mV
L1 = %4 dB   L2 = %5 dB   ΔL = %6 dB</translation>
    </message>
</context>
<context>
    <name>DeviceConfig</name>
    <message>
        <source>Все измерения</source>
        <translation>All measurements</translation>
    </message>
    <message>
        <source>Без проверки обрыва</source>
        <translation>No open-circuit check</translation>
    </message>
    <message>
        <source>Разбаланс и ноль</source>
        <translation>Unbalance and zero</translation>
    </message>
    <message>
        <source>Только разбаланс</source>
        <translation>Unbalance only</translation>
    </message>
    <message>
        <source>Канал %1: %2</source>
        <translation>Channel %1: %2</translation>
    </message>
</context>
<context>
    <name>DeviceConfigDialog</name>
    <message>
        <source>Настройки модуля GRV480</source>
        <translation>GRV480 module settings</translation>
    </message>
    <message>
        <source>Ток</source>
        <translation>Current</translation>
    </message>
    <message>
        <source> мА</source>
        <translation> mA</translation>
    </message>
    <message>
        <source>Частота АЦП</source>
        <translation>ADC frequency</translation>
    </message>
    <message>
        <source>Время на коммутацию</source>
        <translation>Switching time</translation>
    </message>
    <message>
        <source> мкс</source>
        <translation> µs</translation>
    </message>
    <message>
        <source>Время сбора данных</source>
        <translation>Acquisition time</translation>
    </message>
    <message>
        <source> мс</source>
        <translation> ms</translation>
    </message>
    <message>
        <source>Использовать канал 16 для измерения Uref</source>
        <translation>Use channel 16 to measure Uref</translation>
    </message>
    <message>
        <source>Использовать тарировочные коэф-ты</source>
        <translation>Use tare coefficients</translation>
    </message>
    <message>
        <source>Тарировка...</source>
        <translation>Tare...</translation>
    </message>
    <message>
        <source>Фильтр</source>
        <translation>Filter</translation>
    </message>
    <message>
        <source>Ручная настройка фильтра</source>
        <translation>Manual filter setup</translation>
    </message>
    <message>
        <source>Тип фильтра АЦП</source>
        <translation>ADC filter type</translation>
    </message>
    <message>
        <source>ADC ODR (SPS)</source>
        <translation>ADC ODR (SPS)</translation>
    </message>
    <message>
        <source>Filter Notch</source>
        <translation>Filter Notch</translation>
    </message>
    <message>
        <source>Результ. время на коммутацию</source>
        <translation>Resulting switching time</translation>
    </message>
    <message>
        <source>Кадр</source>
        <translation>Frame</translation>
    </message>
    <message>
        <source>Каналов разбаланса</source>
        <translation>Unbalance channels</translation>
    </message>
    <message>
        <source>Каналов в основной таблице</source>
        <translation>Channels in main table</translation>
    </message>
    <message>
        <source>Каналов в фоновой таблице</source>
        <translation>Channels in background table</translation>
    </message>
    <message>
        <source>Тактов в шаге фоновой таблицы</source>
        <translation>Cycles per background table step</translation>
    </message>
    <message>
        <source>Тактов в кадре</source>
        <translation>Cycles per frame</translation>
    </message>
    <message>
        <source>Частота на канал</source>
        <translation>Rate per channel</translation>
    </message>
    <message>
        <source> Гц</source>
        <translation> Hz</translation>
    </message>
    <message>
        <source>Просмотр таблиц</source>
        <translation>View tables</translation>
    </message>
    <message>
        <source>Одноканальный режим</source>
        <translation>Single-channel mode</translation>
    </message>
    <message>
        <source>Фоновые измерения</source>
        <translation>Background measurements</translation>
    </message>
    <message>
        <source>Набор измерений</source>
        <translation>Measurement set</translation>
    </message>
    <message>
        <source>Автокорректровка нуля</source>
        <translation>Zero autocorrection</translation>
    </message>
    <message>
        <source>Автокорректровка Uref</source>
        <translation>Uref autocorrection</translation>
    </message>
    <message>
        <source>Автокорректровка нуля Uref</source>
        <translation>Uref zero autocorrection</translation>
    </message>
    <message>
        <source>Измерение Vadj</source>
        <translation>Measure Vadj</translation>
    </message>
    <message>
        <source>Измерение U-</source>
        <translation>Measure U-</translation>
    </message>
    <message>
        <source>Проверка кз Uref</source>
        <translation>Uref short-circuit check</translation>
    </message>
    <message>
        <source>Проверка обрыва Uref</source>
        <translation>Uref open-circuit check</translation>
    </message>
    <message>
        <source>Проверка обрыва U-</source>
        <translation>U- open-circuit check</translation>
    </message>
    <message>
        <source>Проверка кз Ux</source>
        <translation>Ux short-circuit check</translation>
    </message>
    <message>
        <source>Проверка обрыва Ux</source>
        <translation>Ux open-circuit check</translation>
    </message>
    <message>
        <source>Измерение абс. напряжения канала Ux</source>
        <translation>Measure channel absolute voltage Ux</translation>
    </message>
    <message>
        <source>Измерение синфазных напряжений Ucm</source>
        <translation>Measure common-mode voltages Ucm</translation>
    </message>
    <message>
        <source>Порог определения КЗ</source>
        <translation>Short-circuit threshold</translation>
    </message>
    <message>
        <source> Ом</source>
        <translation> Ω</translation>
    </message>
    <message>
        <source>Длина кабеля</source>
        <translation>Cable length</translation>
    </message>
    <message>
        <source> м</source>
        <translation> m</translation>
    </message>
    <message>
        <source>Погонная емкость кабеля</source>
        <translation>Cable capacitance per metre</translation>
    </message>
    <message>
        <source> пФ</source>
        <translation> pF</translation>
    </message>
    <message>
        <source>Сохранить настройки в файл...</source>
        <translation>Save settings to file...</translation>
    </message>
    <message>
        <source>Ctrl+S</source>
        <translation>Ctrl+S</translation>
    </message>
    <message>
        <source>Загрузить настройки из файла...</source>
        <translation>Load settings from file...</translation>
    </message>
    <message>
        <source>Ctrl+O</source>
        <translation>Ctrl+O</translation>
    </message>
    <message>
        <source>Произвольный набор</source>
        <translation>Custom set</translation>
    </message>
    <message>
        <source>Ошибка конфигурации</source>
        <translation>Configuration error</translation>
    </message>
    <message>
        <source>Невозможно обеспечить установленное время коммутации при данных параметрах</source>
        <translation>The set switching time cannot be met with these parameters</translation>
    </message>
    <message>
        <source>%1 Гц</source>
        <translation>%1 Hz</translation>
    </message>
    <message>
        <source>50/60 Гц, %1 dB</source>
        <translation>50/60 Hz, %1 dB</translation>
    </message>
    <message>
        <source>%1 мкс</source>
        <translation>%1 µs</translation>
    </message>
    <message>
        <source>Ошибка</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>Ошибка рассчета параметров кадра: %1</source>
        <translation>Frame parameters cannot be computed: %1</translation>
    </message>
    <message>
        <source>Настройки GRV480</source>
        <translation>GRV480 settings</translation>
    </message>
    <message>
        <source>Сохранение настроек модуля</source>
        <translation>Save module settings</translation>
    </message>
    <message>
        <source>Ошибка записи настроек в файл</source>
        <translation>Cannot write the settings to the file</translation>
    </message>
    <message>
        <source>Настройки были успешно сохранены в файл</source>
        <translation>Settings saved to the file</translation>
    </message>
    <message>
        <source>Загрузка конфигурации модуля</source>
        <translation>Load module configuration</translation>
    </message>
    <message>
        <source>Ошибка открытия файла</source>
        <translation>Cannot open the file</translation>
    </message>
    <message>
        <source>Неверный формат файла конфигурации</source>
        <translation>Invalid configuration file format</translation>
    </message>
    <message>
        <source>Настройки модуля были успешно загружены из файла</source>
        <translation>Module settings loaded from the file</translation>
    </message>
    <message>
        <source>Настройки модуля загружены из файла без части настроек датчиков:
%1</source>
        <translation>The module settings were loaded from the file without some of the sensor settings:
%1</translation>
    </message>
    <message>
        <source>Датчики...</source>
        <translation>Sensors...</translation>
    </message>
    <message>
        <source>Не выбран ни один канал: сбор данных не начнётся.
Принять настройки без каналов?</source>
        <translation>No channel is enabled: nothing will be acquired.
Accept the settings without channels?</translation>
    </message>
    <message>
        <source>не удалось составить текст настроек</source>
        <translation>the settings text cannot be composed</translation>
    </message>
    <message>
        <source>файл не текстовый</source>
        <translation>not a text file</translation>
    </message>
    <message>
        <source>недопустимое значение [%1] %2</source>
        <translation>invalid value [%1] %2</translation>
    </message>
    <message>
        <source>файл не разбирается как INI</source>
        <translation>the file does not parse as INI</translation>
    </message>
</context>
<context>
    <name>EventLog</name>
    <message>
        <source>Пределы</source>
        <translation>Limits</translation>
    </message>
    <message>
        <source>Связь</source>
        <translation>Link</translation>
    </message>
    <message>
        <source>Конфигурация</source>
        <translation>Configuration</translation>
    </message>
    <message>
        <source>Тарировка</source>
        <translation>Tare</translation>
    </message>
    <message>
        <source>Запись</source>
        <translation>Recording</translation>
    </message>
    <message>
        <source>Прочее</source>
        <translation>Other</translation>
    </message>
    <message>
        <source>Журнал событий не записан в «%1»: %2</source>
        <translation>The event log was not written to “%1”: %2</translation>
    </message>
    <message>
        <source>Время</source>
        <translation>Time</translation>
    </message>
    <message>
        <source>Вид</source>
        <translation>Kind</translation>
    </message>
    <message>
        <source>Событие</source>
        <translation>Event</translation>
    </message>
</context>
<context>
    <name>FileError</name>
    <message>
        <source>Нет места на устройстве</source>
        <translation>No space left on the device</translation>
    </message>
    <message>
        <source>Превышена дисковая квота</source>
        <translation>Disk quota exceeded</translation>
    </message>
    <message>
        <source>Файловая система только для чтения</source>
        <translation>Read-only file system</translation>
    </message>
    <message>
        <source>Отказано в доступе</source>
        <translation>Permission denied</translation>
    </message>
    <message>
        <source>Нет такого файла или каталога</source>
        <translation>No such file or directory</translation>
    </message>
    <message>
        <source>Путь проходит через то, что не является каталогом</source>
        <translation>A part of the path is not a directory</translation>
    </message>
    <message>
        <source>Это каталог</source>
        <translation>This is a directory</translation>
    </message>
    <message>
        <source>Ошибка ввода-вывода</source>
        <translation>Input/output error</translation>
    </message>
    <message>
        <source>Файл слишком велик</source>
        <translation>File too large</translation>
    </message>
    <message>
        <source>Слишком длинное имя файла</source>
        <translation>File name too long</translation>
    </message>
    <message>
        <source>Слишком много уровней символических ссылок</source>
        <translation>Too many levels of symbolic links</translation>
    </message>
    <message>
        <source>Слишком много открытых файлов</source>
        <translation>Too many open files</translation>
    </message>
    <message>
        <source>Файл занят</source>
        <translation>File busy</translation>
    </message>
    <message>
        <source>Файл и его каталог на разных устройствах</source>
        <translation>The file and its folder are on different devices</translation>
    </message>
    <message>
        <source>Файл уже существует</source>
        <translation>File exists</translation>
    </message>
    <message>
        <source>%1 (код %2)</source>
        <translation>%1 (code %2)</translation>
    </message>
</context>
<context>
    <name>FileReader</name>
    <message>
        <source>Файл больше допустимых %1 байт</source>
        <translation>The file is larger than the allowed %1 bytes</translation>
    </message>
    <message>
        <source>Файл слишком велик: %1 байт, допустимо не более %2</source>
        <translation>File too large: %1 bytes, at most %2 allowed</translation>
    </message>
    <message>
        <source>Это канал (FIFO), а не обычный файл</source>
        <translation>This is a pipe (FIFO), not a regular file</translation>
    </message>
    <message>
        <source>Это устройство, а не обычный файл</source>
        <translation>This is a device, not a regular file</translation>
    </message>
    <message>
        <source>Это не обычный файл</source>
        <translation>This is not a regular file</translation>
    </message>
</context>
<context>
    <name>FirstStartPanel</name>
    <message>
        <source>Сервер крейтов не отвечает по адресу %1.
Запустите сервер крейтов или, для работы без оборудования, его эмулятор: grv480-emulator --port %2
Затем нажмите &quot;Обновить&quot; (Ctrl+Shift+R).</source>
        <translation>The crate server does not answer at %1.
Start the crate server or, to work without hardware, its emulator: grv480-emulator --port %2
Then press &quot;Refresh&quot; (Ctrl+Shift+R).</translation>
    </message>
    <message>
        <source>Не выбран ни один канал.</source>
        <translation>No channel is enabled.</translation>
    </message>
    <message>
        <source>Настроить модуль...</source>
        <translation>Configure module...</translation>
    </message>
</context>
<context>
    <name>FreqConfigWidget</name>
    <message>
        <source>Гц</source>
        <translation>Hz</translation>
    </message>
    <message>
        <source>КГц</source>
        <translation>kHz</translation>
    </message>
</context>
<context>
    <name>GraphConfigDialog</name>
    <message>
        <source>Настройки графика</source>
        <translation>Plot settings</translation>
    </message>
    <message>
        <source>Ось X</source>
        <translation>X axis</translation>
    </message>
    <message>
        <source>Автомасштаб</source>
        <translation>Autoscale</translation>
    </message>
    <message>
        <source>Минимальное значение</source>
        <translation>Minimum</translation>
    </message>
    <message>
        <source>Максимальное значение</source>
        <translation>Maximum</translation>
    </message>
    <message>
        <source>Ось Y</source>
        <translation>Y axis</translation>
    </message>
</context>
<context>
    <name>HeadlessRecording</name>
    <message>
        <source>%1. Ошибка %2: %3</source>
        <translation>%1. Error %2: %3</translation>
    </message>
    <message>
        <source>неверный список каналов &quot;%1&quot; (каналы 1..16)</source>
        <translation>invalid channel list &quot;%1&quot; (channels 1..16)</translation>
    </message>
    <message>
        <source>канал %1 указан дважды</source>
        <translation>channel %1 given twice</translation>
    </message>
    <message>
        <source>неизвестный параметр %1</source>
        <translation>unknown option %1</translation>
    </message>
    <message>
        <source>у параметра %1 нет значения</source>
        <translation>option %1 has no value</translation>
    </message>
    <message>
        <source>неверное значение %1 %2</source>
        <translation>invalid value %1 %2</translation>
    </message>
    <message>
        <source>не хватает параметров: %1</source>
        <translation>missing options: %1</translation>
    </message>
    <message>
        <source>укажите каналы (--channels) или файл конфигурации (--config)</source>
        <translation>give the channels (--channels) or a configuration file (--config)</translation>
    </message>
    <message>
        <source>%1: файл конфигурации не найден</source>
        <translation>%1: configuration file not found</translation>
    </message>
    <message>
        <source>%1: ошибка открытия файла</source>
        <translation>%1: the file cannot be opened</translation>
    </message>
    <message>
        <source>%1: неверный формат файла конфигурации</source>
        <translation>%1: not a configuration file</translation>
    </message>
    <message>
        <source>в конфигурации нет ни одного канала</source>
        <translation>the configuration enables no channel</translation>
    </message>
    <message>
        <source>Не удалось установить связь с модулем</source>
        <translation>Could not connect to the module</translation>
    </message>
    <message>
        <source>Не удалось записать конфигурацию модуля</source>
        <translation>Could not write the module configuration</translation>
    </message>
    <message>
        <source>Ошибка приема данных</source>
        <translation>Data reception error</translation>
    </message>
    <message>
        <source>%1 / %2  %3  %4 блоков  %5%6</source>
        <translation>%1 / %2  %3  %4 blocks  %5%6</translation>
    </message>
    <message>
        <source>  свободно %1</source>
        <translation>  free %1</translation>
    </message>
</context>
<context>
    <name>HelpDialog</name>
    <message>
        <source>Справка GRV480 Monitor</source>
        <translation>GRV480 Monitor help</translation>
    </message>
    <message>
        <source>&lt;h3&gt;GRV480 Monitor %1&lt;/h3&gt;&lt;p&gt;Монитор шестнадцатиканального модуля измерения разбаланса мостов GRV480.&lt;/p&gt;&lt;p&gt;Qt %2&lt;br&gt;QCustomPlot %3&lt;br&gt;FFTW %4&lt;br&gt;HDF5 %5&lt;/p&gt;</source>
        <translation>&lt;h3&gt;GRV480 Monitor %1&lt;/h3&gt;&lt;p&gt;Monitor of the GRV480 sixteen-channel bridge-unbalance measurement module.&lt;/p&gt;&lt;p&gt;Qt %2&lt;br&gt;QCustomPlot %3&lt;br&gt;FFTW %4&lt;br&gt;HDF5 %5&lt;/p&gt;</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>Модуль GRV480</source>
        <translation>GRV480 module</translation>
    </message>
    <message>
        <source>Подключение</source>
        <translation>Connection</translation>
    </message>
    <message>
        <source>Расположение</source>
        <translation>Location</translation>
    </message>
    <message>
        <source>Серийный номер</source>
        <translation>Serial number</translation>
    </message>
    <message>
        <source>Версия FPGA</source>
        <translation>FPGA version</translation>
    </message>
    <message>
        <source>Состояние</source>
        <translation>Status</translation>
    </message>
    <message>
        <source>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;U&lt;span style=&quot; vertical-align:sub;&quot;&gt;ref&lt;/span&gt;, В&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</source>
        <translation>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;U&lt;span style=&quot; vertical-align:sub;&quot;&gt;ref&lt;/span&gt;, V&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</translation>
    </message>
    <message>
        <source>R&lt;sub&gt;ref&lt;/sub&gt;, Ом</source>
        <translation>R&lt;sub&gt;ref&lt;/sub&gt;, Ω</translation>
    </message>
    <message>
        <source>P&lt;sub&gt;ref&lt;/sub&gt;, Вт</source>
        <translation>P&lt;sub&gt;ref&lt;/sub&gt;, W</translation>
    </message>
    <message>
        <source>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;U&lt;span style=&quot; vertical-align:sub;&quot;&gt;ref&lt;/span&gt;&lt;span style=&quot; vertical-align:super;&quot;&gt;R&lt;/span&gt;, В&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</source>
        <translation>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;U&lt;span style=&quot; vertical-align:sub;&quot;&gt;ref&lt;/span&gt;&lt;span style=&quot; vertical-align:super;&quot;&gt;R&lt;/span&gt;, V&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</translation>
    </message>
    <message>
        <source>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;R&lt;span style=&quot; vertical-align:sub;&quot;&gt;ref&lt;/span&gt;&lt;span style=&quot; vertical-align:super;&quot;&gt;R&lt;/span&gt;, Ом&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</source>
        <translation>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;R&lt;span style=&quot; vertical-align:sub;&quot;&gt;ref&lt;/span&gt;&lt;span style=&quot; vertical-align:super;&quot;&gt;R&lt;/span&gt;, Ω&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</translation>
    </message>
    <message>
        <source>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;&lt;span style=&quot; font-size:11pt;&quot;&gt;P&lt;/span&gt;&lt;span style=&quot; font-size:11pt; vertical-align:sub;&quot;&gt;ref&lt;/span&gt;&lt;span style=&quot; font-size:11pt; vertical-align:super;&quot;&gt;R&lt;/span&gt;&lt;span style=&quot; font-size:11pt;&quot;&gt;, Вт&lt;/span&gt;&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</source>
        <translation>&lt;html&gt;&lt;head/&gt;&lt;body&gt;&lt;p&gt;&lt;span style=&quot; font-size:11pt;&quot;&gt;P&lt;/span&gt;&lt;span style=&quot; font-size:11pt; vertical-align:sub;&quot;&gt;ref&lt;/span&gt;&lt;span style=&quot; font-size:11pt; vertical-align:super;&quot;&gt;R&lt;/span&gt;&lt;span style=&quot; font-size:11pt;&quot;&gt;, W&lt;/span&gt;&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</translation>
    </message>
    <message>
        <source>I&lt;sub&gt;ref&lt;/sub&gt;, мА</source>
        <translation>I&lt;sub&gt;ref&lt;/sub&gt;, mA</translation>
    </message>
    <message>
        <source>Рекомендуемый</source>
        <translation>Recommended</translation>
    </message>
    <message>
        <source>Заданный</source>
        <translation>Set</translation>
    </message>
    <message>
        <source>
V&lt;sub&gt;adj&lt;/sub&gt;, В</source>
        <translation>
V&lt;sub&gt;adj&lt;/sub&gt;, V</translation>
    </message>
    <message>
        <source>U&lt;sub&gt;-&lt;/sub&gt;, мВ</source>
        <translation>U&lt;sub&gt;-&lt;/sub&gt;, mV</translation>
    </message>
    <message>
        <source>Превышение мощности нагрузки</source>
        <translation>Load power exceeded</translation>
    </message>
    <message>
        <source>Настройка модуля...</source>
        <translation>Configure module...</translation>
    </message>
    <message>
        <source>Очистить результаты измерений</source>
        <translation>Clear measurement results</translation>
    </message>
    <message>
        <source>Обновить</source>
        <translation>Refresh</translation>
    </message>
    <message>
        <source>Ctrl+Shift+R</source>
        <translation>Ctrl+Shift+R</translation>
    </message>
    <message>
        <source>Время, мс</source>
        <translation>Time, ms</translation>
    </message>
    <message>
        <source>Амплитуда, мВ</source>
        <translation>Amplitude, mV</translation>
    </message>
    <message>
        <source>Частота, Гц</source>
        <translation>Frequency, Hz</translation>
    </message>
    <message>
        <source>Спектр амплитудный, dB</source>
        <translation>Amplitude spectrum, dB</translation>
    </message>
    <message>
        <source>№
канала</source>
        <translation>Ch.
no.</translation>
    </message>
    <message>
        <source>Разбаланс</source>
        <translation>Unbalance</translation>
    </message>
    <message>
        <source>DC, мВ</source>
        <translation>DC, mV</translation>
    </message>
    <message>
        <source>AC, мВ</source>
        <translation>AC, mV</translation>
    </message>
    <message>
        <source>Диа-
пазон</source>
        <translation>Range</translation>
    </message>
    <message>
        <source>Линия</source>
        <translation>Line</translation>
    </message>
    <message>
        <source>КЗ</source>
        <translation>Short</translation>
    </message>
    <message>
        <source>Обр.</source>
        <translation>Open</translation>
    </message>
    <message>
        <source>Условия</source>
        <translation>Conditions</translation>
    </message>
    <message>
        <source>Промежуточные измерения</source>
        <translation>Intermediate measurements</translation>
    </message>
    <message>
        <source>Ux, В</source>
        <translation>Ux, V</translation>
    </message>
    <message>
        <source>Udiff, В</source>
        <translation>Udiff, V</translation>
    </message>
    <message>
        <source>Ucm, В</source>
        <translation>Ucm, V</translation>
    </message>
    <message>
        <source>Рабочие границы</source>
        <translation>Working bounds</translation>
    </message>
    <message>
        <source>Ucm min, В</source>
        <translation>Ucm min, V</translation>
    </message>
    <message>
        <source>Ucm max, В</source>
        <translation>Ucm max, V</translation>
    </message>
    <message>
        <source>Характеристики синусоидального сигнала</source>
        <translation>Sine-wave figures</translation>
    </message>
    <message>
        <source>Част. пика</source>
        <translation>Peak freq.</translation>
    </message>
    <message>
        <source>Амп. пика</source>
        <translation>Peak amp.</translation>
    </message>
    <message>
        <source>Не удалось установить связь с сервером</source>
        <translation>Cannot connect to the crate server</translation>
    </message>
    <message>
        <source>Не удалось получить список крейтов</source>
        <translation>Cannot get the list of crates</translation>
    </message>
    <message>
        <source>Не удалось установить связь с модулем</source>
        <translation>Cannot connect to the module</translation>
    </message>
    <message>
        <source>Крейт %1, Слот %2</source>
        <translation>Crate %1, slot %2</translation>
    </message>
    <message>
        <source>%1. Ошибка %2: %3</source>
        <translation>%1. Error %2: %3</translation>
    </message>
    <message>
        <source>Ошибка</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>Не удалось записать конфигурацию модуля</source>
        <translation>Cannot write the module configuration</translation>
    </message>
    <message>
        <source>Ошибка приема данных</source>
        <translation>Data reception error</translation>
    </message>
    <message>
        <source>Модуль открыт: %1</source>
        <translation>Module opened: %1</translation>
    </message>
    <message>
        <source>Панель инструментов</source>
        <translation>Tool bar</translation>
    </message>
    <message>
        <source>Диапазон</source>
        <translation>Range</translation>
    </message>
    <message>
        <source>Короткое замыкание линии</source>
        <translation>Line short circuit</translation>
    </message>
    <message>
        <source>Обрыв линии</source>
        <translation>Line open circuit</translation>
    </message>
    <message>
        <source>Условие Udiff</source>
        <translation>Udiff condition</translation>
    </message>
    <message>
        <source>Условие Ucm</source>
        <translation>Ucm condition</translation>
    </message>
    <message>
        <source>&amp;Файл</source>
        <translation>&amp;File</translation>
    </message>
    <message>
        <source>&amp;Вид</source>
        <translation>&amp;View</translation>
    </message>
    <message>
        <source>Язык</source>
        <translation>Language</translation>
    </message>
    <message>
        <source>&amp;Модуль</source>
        <translation>&amp;Module</translation>
    </message>
    <message>
        <source>&amp;Справка</source>
        <translation>&amp;Help</translation>
    </message>
    <message>
        <source>Загрузить конфигурацию...</source>
        <translation>Load configuration...</translation>
    </message>
    <message>
        <source>Сохранить конфигурацию...</source>
        <translation>Save configuration...</translation>
    </message>
    <message>
        <source>Выход</source>
        <translation>Quit</translation>
    </message>
    <message>
        <source>График сигнала</source>
        <translation>Signal plot</translation>
    </message>
    <message>
        <source>График спектра</source>
        <translation>Spectrum plot</translation>
    </message>
    <message>
        <source>Во весь экран</source>
        <translation>Full screen</translation>
    </message>
    <message>
        <source>Тарировка...</source>
        <translation>Tare...</translation>
    </message>
    <message>
        <source>Просмотр таблиц...</source>
        <translation>Logical tables...</translation>
    </message>
    <message>
        <source>Справка</source>
        <translation>Help</translation>
    </message>
    <message>
        <source>О программе</source>
        <translation>About</translation>
    </message>
    <message>
        <source>Подключение к модулю: %1</source>
        <translation>Connection to the module: %1</translation>
    </message>
    <message>
        <source>связь потеряна</source>
        <translation>link lost</translation>
    </message>
    <message>
        <source>установлено</source>
        <translation>established</translation>
    </message>
    <message>
        <source>нет</source>
        <translation>none</translation>
    </message>
    <message>
        <source>Открыт модуль, выбранный ранее: %1</source>
        <translation>Opened the module chosen before: %1</translation>
    </message>
    <message>
        <source>Модуль, выбранный ранее (крейт %1, слот %2), не найден; открыт первый: %3</source>
        <translation>The module chosen before (crate %1, slot %2) was not found; opened the first: %3</translation>
    </message>
    <message>
        <source>Открыт первый найденный модуль: %1</source>
        <translation>Opened the first module found: %1</translation>
    </message>
    <message>
        <source>Загрузка конфигурации модуля</source>
        <translation>Loading the module configuration</translation>
    </message>
    <message>
        <source>Настройки GRV480 (*.gm480cfg)</source>
        <translation>GRV480 settings (*.gm480cfg)</translation>
    </message>
    <message>
        <source>Ошибка открытия файла</source>
        <translation>Cannot open the file</translation>
    </message>
    <message>
        <source>Неверный формат файла конфигурации</source>
        <translation>Not a configuration file</translation>
    </message>
    <message>
        <source>Конфигурация загружена из файла %1</source>
        <translation>Configuration loaded from %1</translation>
    </message>
    <message>
        <source>Сохранение настроек модуля</source>
        <translation>Saving the module settings</translation>
    </message>
    <message>
        <source>Ошибка записи настроек в файл</source>
        <translation>Cannot write the settings to the file</translation>
    </message>
    <message>
        <source>Настройки сохранены в файл %1</source>
        <translation>Settings saved to %1</translation>
    </message>
    <message>
        <source>Настройки программы</source>
        <translation>Program settings</translation>
    </message>
    <message>
        <source>Файл настроек %1 не удалось исправить: %2.
Программа работает с исправленной копией настроек; изменения настроек в этом сеансе не сохранятся.</source>
        <translation>The settings file %1 could not be mended: %2.
The program works with a mended copy of the settings; changes to the settings in this session will not be saved.</translation>
    </message>
    <message>
        <source>Тренд</source>
        <translation>Trend</translation>
    </message>
</context>
<context>
    <name>MeasurementActions</name>
    <message>
        <source>Результаты измерения, CSV (*.csv)</source>
        <translation>Measurement results, CSV (*.csv)</translation>
    </message>
    <message>
        <source>Отсчёты и спектры, CSV (*.csv)</source>
        <translation>Samples and spectra, CSV (*.csv)</translation>
    </message>
    <message>
        <source>Отсчёты и спектры, HDF5 (*.h5 *.hdf5)</source>
        <translation>Samples and spectra, HDF5 (*.h5 *.hdf5)</translation>
    </message>
    <message>
        <source>График сигнала, PNG (*.png)</source>
        <translation>Signal plot, PNG (*.png)</translation>
    </message>
    <message>
        <source>График сигнала, PDF (*.pdf)</source>
        <translation>Signal plot, PDF (*.pdf)</translation>
    </message>
    <message>
        <source>График спектра, PNG (*.png)</source>
        <translation>Spectrum plot, PNG (*.png)</translation>
    </message>
    <message>
        <source>График спектра, PDF (*.pdf)</source>
        <translation>Spectrum plot, PDF (*.pdf)</translation>
    </message>
    <message>
        <source>Сохранить измерение...</source>
        <translation>Save measurement...</translation>
    </message>
    <message>
        <source>Запись результатов</source>
        <translation>Record results</translation>
    </message>
    <message>
        <source>Сохранить измерение</source>
        <translation>Save measurement</translation>
    </message>
    <message>
        <source>Нет измерения для сохранения</source>
        <translation>No measurement to save</translation>
    </message>
    <message>
        <source>Сохранение измерения в %1...</source>
        <translation>Saving the measurement to %1...</translation>
    </message>
    <message>
        <source>Отмена</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>Измерение сохранено в файл %1</source>
        <translation>Measurement saved to %1</translation>
    </message>
    <message>
        <source>Завершение операции</source>
        <translation>Operation complete</translation>
    </message>
    <message>
        <source>Ошибка</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>Запись остановлена: блоков записано %1</source>
        <translation>Recording stopped: %1 blocks recorded</translation>
    </message>
    <message>
        <source>Запись результатов остановлена; записанные блоки сохранены.</source>
        <translation>Recording of results stopped; the blocks recorded are kept.</translation>
    </message>
    <message>
        <source>Запись: %1, блоков: %2</source>
        <translation>Recording: %1, blocks: %2</translation>
    </message>
    <message>
        <source>Запись завершена: %1, блоков: %2</source>
        <translation>Recording finished: %1, blocks: %2</translation>
    </message>
    <message>
        <source>Размер изображения</source>
        <translation>Image size</translation>
    </message>
    <message>
        <source>Как на экране (%1 × %2)</source>
        <translation>As on screen (%1 × %2)</translation>
    </message>
    <message>
        <source> пикс.</source>
        <translation> px</translation>
    </message>
    <message>
        <source>Ширина</source>
        <translation>Width</translation>
    </message>
    <message>
        <source>Высота</source>
        <translation>Height</translation>
    </message>
</context>
<context>
    <name>MeasurementExport</name>
    <message>
        <source>Не удалось сохранить файл %1: %2</source>
        <translation>Cannot save the file %1: %2</translation>
    </message>
    <message>
        <source>Нет измерения для сохранения</source>
        <translation>No measurement to save</translation>
    </message>
    <message>
        <source>ошибка записи HDF5</source>
        <translation>HDF5 write error</translation>
    </message>
    <message>
        <source>Модуль %1, блок %2</source>
        <translation>Module %1, block %2</translation>
    </message>
    <message>
        <source> — спектр</source>
        <translation> — spectrum</translation>
    </message>
    <message>
        <source> — сигнал</source>
        <translation> — signal</translation>
    </message>
    <message>
        <source>Канал %1</source>
        <translation>Channel %1</translation>
    </message>
    <message>
        <source>график не удалось отрисовать</source>
        <translation>the plot could not be drawn</translation>
    </message>
</context>
<context>
    <name>MeasurementRecorder</name>
    <message>
        <source>Запись уже идёт</source>
        <translation>A recording is already running</translation>
    </message>
    <message>
        <source>Файл записи %1 удалён или заменён</source>
        <translation>The recording file %1 was removed or replaced</translation>
    </message>
    <message>
        <source>На диске осталось мало места (%1 МиБ): запись остановлена</source>
        <translation>Little space left on the disk (%1 MiB): recording stopped</translation>
    </message>
    <message>
        <source>Запись остановлена: диск не успевает записывать данные</source>
        <translation>Recording stopped: the disk cannot keep up with the data</translation>
    </message>
    <message>
        <source>Пропуск данных: ожидался отсчёт %1, получен %2</source>
        <translation>Data gap: sample %1 expected, %2 received</translation>
    </message>
</context>
<context>
    <name>MesValStateWidget</name>
    <message>
        <source>Form</source>
        <translation>Form</translation>
    </message>
    <message>
        <source>Диап.</source>
        <translation>Range</translation>
    </message>
    <message>
        <source>КЗ</source>
        <translation>Short</translation>
    </message>
    <message>
        <source>Обр.</source>
        <translation>Open</translation>
    </message>
    <message>
        <source>Вне диапазона</source>
        <translation>Out of range</translation>
    </message>
    <message>
        <source>Обрыв</source>
        <translation>Open circuit</translation>
    </message>
</context>
<context>
    <name>NumberEdit</name>
    <message>
        <source>Введите число</source>
        <translation>Type a number</translation>
    </message>
    <message>
        <source>«%1» не является числом</source>
        <translation>“%1” is not a number</translation>
    </message>
    <message>
        <source>Число %1 вне допустимых пределов (не больше 1e12 по модулю)</source>
        <translation>The number %1 is out of bounds (not beyond 1e12 in magnitude)</translation>
    </message>
    <message>
        <source>Неверное значение</source>
        <translation>Invalid value</translation>
    </message>
</context>
<context>
    <name>RecordingActions</name>
    <message>
        <source>%1 КиБ</source>
        <translation>%1 KiB</translation>
    </message>
    <message>
        <source>%1 МиБ</source>
        <translation>%1 MiB</translation>
    </message>
    <message>
        <source>%1 ГиБ</source>
        <translation>%1 GiB</translation>
    </message>
    <message>
        <source>Запись измерения</source>
        <translation>Record measurement</translation>
    </message>
    <message>
        <source>Запись измерения: все отсчёты всех каналов в файл HDF5 (F9)</source>
        <translation>Record measurement: every sample of every channel into an HDF5 file (F9)</translation>
    </message>
    <message>
        <source>%1 сут</source>
        <translation>%1 days</translation>
    </message>
    <message>
        <source>%1 ч %2 мин</source>
        <translation>%1 h %2 min</translation>
    </message>
    <message>
        <source>%1 мин</source>
        <translation>%1 min</translation>
    </message>
    <message>
        <source>Запись измерения, HDF5 (*.h5)</source>
        <translation>Measurement recording, HDF5 (*.h5)</translation>
    </message>
    <message>
        <source>Ошибка</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>Запись измерения не начата.
%1</source>
        <translation>The measurement recording did not start.
%1</translation>
    </message>
    <message>
        <source>Запись измерения завершена: %1, %2</source>
        <translation>Measurement recording finished: %1, %2</translation>
    </message>
    <message>
        <source>%1
Запись измерения остановлена; записанное сохранено в файле. Сбор данных продолжается.</source>
        <translation>%1
The measurement recording stopped; what was recorded is kept in the file. Acquisition goes on.</translation>
    </message>
    <message>
        <source>Запись: %1 · %2 · %3</source>
        <translation>Recording: %1 · %2 · %3</translation>
    </message>
    <message>
        <source> · места на %1</source>
        <translation> · space for %1</translation>
    </message>
</context>
<context>
    <name>RecordingFile</name>
    <message>
        <source>HDF5 не настраивается</source>
        <translation>HDF5 cannot be set up</translation>
    </message>
    <message>
        <source>файл не создаётся</source>
        <translation>the file cannot be created</translation>
    </message>
    <message>
        <source>ошибка записи</source>
        <translation>write error</translation>
    </message>
    <message>
        <source>файл удалён или заменён</source>
        <translation>the file was removed or replaced</translation>
    </message>
    <message>
        <source>файл не открывается снова</source>
        <translation>the file cannot be opened again</translation>
    </message>
    <message>
        <source>режим одновременного чтения не включается</source>
        <translation>concurrent reading mode cannot be switched on</translation>
    </message>
    <message>
        <source>число каналов блока изменилось</source>
        <translation>the number of channels of the block changed</translation>
    </message>
    <message>
        <source>каналы блока разной длины</source>
        <translation>the channels of the block differ in length</translation>
    </message>
</context>
<context>
    <name>RecordingReader</name>
    <message>
        <source>%1: не открывается как файл HDF5</source>
        <translation>%1: cannot be opened as an HDF5 file</translation>
    </message>
    <message>
        <source>%1: это не запись измерения</source>
        <translation>%1: not a measurement recording</translation>
    </message>
    <message>
        <source>Список прогонов не читается</source>
        <translation>The list of runs cannot be read</translation>
    </message>
    <message>
        <source>Нет таких данных в записи</source>
        <translation>The recording holds no such data</translation>
    </message>
    <message>
        <source>Отсчёты канала не читаются</source>
        <translation>The channel samples cannot be read</translation>
    </message>
    <message>
        <source>Таблица блоков не читается</source>
        <translation>The block table cannot be read</translation>
    </message>
</context>
<context>
    <name>ResultsRecorder</name>
    <message>
        <source>Не удалось записать результаты в файл %1: %2</source>
        <translation>Cannot write results to the file %1: %2</translation>
    </message>
    <message>
        <source>запись не идёт</source>
        <translation>not recording</translation>
    </message>
    <message>
        <source>файл удалён или заменён</source>
        <translation>the file was deleted or replaced</translation>
    </message>
</context>
<context>
    <name>RunStateLabel</name>
    <message>
        <source>%1 канал</source>
        <translation>%1 channel</translation>
    </message>
    <message>
        <source>%1 канала</source>
        <translation>%1 channels</translation>
    </message>
    <message>
        <source>%1 каналов</source>
        <translation>%1 channels</translation>
    </message>
    <message>
        <source>Модуль не открыт</source>
        <translation>No module open</translation>
    </message>
    <message>
        <source>Связь потеряна: значения устарели; Обновить — Ctrl+Shift+R</source>
        <translation>Link lost: the values are stale; Refresh — Ctrl+Shift+R</translation>
    </message>
    <message>
        <source>Сбор данных остановлен</source>
        <translation>Acquisition stopped</translation>
    </message>
    <message>
        <source>Ни один канал не выбран, сбор данных не идёт</source>
        <translation>No channel enabled, nothing is acquired</translation>
    </message>
    <message>
        <source>Сбор данных: блок %1, %2 с, %3</source>
        <translation>Acquiring: block %1, %2 s, %3</translation>
    </message>
    <message>
        <source>%1 — %2</source>
        <translation>%1 — %2</translation>
    </message>
</context>
<context>
    <name>SafeFileWriter</name>
    <message>
        <source>Это не обычный файл</source>
        <translation>This is not a regular file</translation>
    </message>
    <message>
        <source>Файл не открыт</source>
        <translation>File not open</translation>
    </message>
    <message>
        <source>Это канал (FIFO), а не обычный файл</source>
        <translation>This is a pipe (FIFO), not a regular file</translation>
    </message>
    <message>
        <source>Это устройство, а не обычный файл</source>
        <translation>This is a device, not a regular file</translation>
    </message>
    <message>
        <source>Это сокет, а не обычный файл</source>
        <translation>This is a socket, not a regular file</translation>
    </message>
</context>
<context>
    <name>Scaling</name>
    <message>
        <source>Градуировка не задана</source>
        <translation>No scaling given</translation>
    </message>
    <message>
        <source>Коэффициент и смещение должны быть конечными числами не больше 1e12 по модулю</source>
        <translation>The factor and the offset must be finite numbers not beyond 1e12 in magnitude</translation>
    </message>
    <message>
        <source>Коэффициент не может быть равен нулю</source>
        <translation>The factor cannot be zero</translation>
    </message>
    <message>
        <source>Нужны ровно две точки</source>
        <translation>Exactly two points are needed</translation>
    </message>
    <message>
        <source>Значения точек должны быть конечными числами не больше 1e12 по модулю</source>
        <translation>The points&apos; values must be finite numbers not beyond 1e12 in magnitude</translation>
    </message>
    <message>
        <source>У двух точек одинаковые значения в мВ</source>
        <translation>The two points have the same value in mV</translation>
    </message>
    <message>
        <source>У двух точек одинаковые значения в единицах датчика</source>
        <translation>The two points have the same value in the sensor&apos;s unit</translation>
    </message>
    <message>
        <source>Точки дают коэффициент вне допустимых пределов</source>
        <translation>The points give a factor out of bounds</translation>
    </message>
    <message>
        <source>В таблице нужно не меньше двух точек</source>
        <translation>A table needs at least two points</translation>
    </message>
    <message>
        <source>В таблице больше %1 точек</source>
        <translation>The table has more than %1 points</translation>
    </message>
    <message>
        <source>Точка %1: значения должны быть конечными числами не больше 1e12 по модулю</source>
        <translation>Point %1: the values must be finite numbers not beyond 1e12 in magnitude</translation>
    </message>
    <message>
        <source>Точка %1: значения в мВ должны строго возрастать</source>
        <translation>Point %1: the values in mV must strictly increase</translation>
    </message>
    <message>
        <source>Неизвестный вид градуировки</source>
        <translation>Unknown kind of scaling</translation>
    </message>
    <message>
        <source>Неизвестный вид градуировки «%1»</source>
        <translation>Unknown kind of scaling “%1”</translation>
    </message>
    <message>
        <source>Линейная градуировка: нужны коэффициент и смещение</source>
        <translation>Linear scaling: a factor and an offset are needed</translation>
    </message>
    <message>
        <source>Точка %1: нужна пара «мВ:значение»</source>
        <translation>Point %1: a pair “mV:value” is needed</translation>
    </message>
    <message>
        <source>Линейная</source>
        <translation>Linear</translation>
    </message>
    <message>
        <source>По двум точкам</source>
        <translation>Two points</translation>
    </message>
    <message>
        <source>Таблица</source>
        <translation>Table</translation>
    </message>
    <message>
        <source>Нет</source>
        <translation>None</translation>
    </message>
</context>
<context>
    <name>Sensor</name>
    <message>
        <source>Не задано имя датчика</source>
        <translation>No sensor name given</translation>
    </message>
    <message>
        <source>Не задана единица измерения</source>
        <translation>No unit given</translation>
    </message>
    <message>
        <source>Текст длиннее %1 знаков</source>
        <translation>Text longer than %1 characters</translation>
    </message>
    <message>
        <source>Градуировка: %1</source>
        <translation>Scaling: %1</translation>
    </message>
    <message>
        <source>Неверная дата «%1»</source>
        <translation>Invalid date “%1”</translation>
    </message>
</context>
<context>
    <name>SensorColumns</name>
    <message>
        <source>в пределах</source>
        <translation>within limits</translation>
    </message>
    <message>
        <source>выше верхнего предела</source>
        <translation>above the high limit</translation>
    </message>
    <message>
        <source>ниже нижнего предела</source>
        <translation>below the low limit</translation>
    </message>
    <message>
        <source>авария, %1</source>
        <translation>alarm, %1</translation>
    </message>
    <message>
        <source>предупреждение, %1</source>
        <translation>warning, %1</translation>
    </message>
    <message>
        <source>Датчики</source>
        <translation>Sensors</translation>
    </message>
    <message>
        <source>Программа запущена</source>
        <translation>Program started</translation>
    </message>
    <message>
        <source>Значение</source>
        <translation>Value</translation>
    </message>
    <message>
        <source>Ед.</source>
        <translation>Unit</translation>
    </message>
    <message>
        <source>Датчики...</source>
        <translation>Sensors...</translation>
    </message>
    <message>
        <source>Библиотека датчиков</source>
        <translation>Sensor library</translation>
    </message>
    <message>
        <source>Значения в единицах датчиков</source>
        <translation>Values in the sensors&apos; units</translation>
    </message>
    <message>
        <source>Датчик и пределы канала...</source>
        <translation>Channel sensor and limits...</translation>
    </message>
    <message>
        <source>Обнулить</source>
        <translation>Zero</translation>
    </message>
    <message>
        <source>Сбросить ноль</source>
        <translation>Reset zero</translation>
    </message>
    <message>
        <source>Пределы</source>
        <translation>Limits</translation>
    </message>
    <message>
        <source>Журнал событий</source>
        <translation>Event log</translation>
    </message>
    <message>
        <source>Конфигурация модуля изменена: каналы %1</source>
        <translation>Module configuration changed: channels %1</translation>
    </message>
    <message>
        <source>Вне диапазона градуировки: значение продолжено по крайнему участку таблицы</source>
        <translation>Beyond the calibrated range: the value continues the table&apos;s outer segment</translation>
    </message>
    <message>
        <source>DC / AC</source>
        <translation>DC / AC</translation>
    </message>
    <message>
        <source>Срок градуировки датчика «%1» истёк %2</source>
        <translation>The calibration of sensor “%1” was due %2</translation>
    </message>
    <message>
        <source>Канал %1: %2 (%3 %4)</source>
        <translation>Channel %1: %2 (%3 %4)</translation>
    </message>
    <message>
        <source>значение</source>
        <translation>value</translation>
    </message>
    <message>
        <source>датчик «%1»</source>
        <translation>sensor “%1”</translation>
    </message>
    <message>
        <source>нет</source>
        <translation>none</translation>
    </message>
    <message>
        <source>градуировка %1</source>
        <translation>scaling %1</translation>
    </message>
    <message>
        <source>ноль %1 %2</source>
        <translation>zero %1 %2</translation>
    </message>
    <message>
        <source>ноль сброшен</source>
        <translation>zero reset</translation>
    </message>
    <message>
        <source>пределы %1</source>
        <translation>limits %1</translation>
    </message>
    <message>
        <source>сняты</source>
        <translation>removed</translation>
    </message>
    <message>
        <source>Канал %1: %2</source>
        <translation>Channel %1: %2</translation>
    </message>
    <message>
        <source>Обнулить можно канал с датчиком, показывающий значение</source>
        <translation>Only a channel with a sensor that shows a value can be zeroed</translation>
    </message>
    <message>
        <source>Запись результатов начата: %1</source>
        <translation>Results recording started: %1</translation>
    </message>
    <message>
        <source>Запись результатов остановлена</source>
        <translation>Results recording stopped</translation>
    </message>
    <message>
        <source>Запись результатов прервана: %1</source>
        <translation>Results recording broken off: %1</translation>
    </message>
    <message>
        <source>Запись измерения начата: %1</source>
        <translation>Measurement recording started: %1</translation>
    </message>
    <message>
        <source>Запись измерения завершена: %1</source>
        <translation>Measurement recording ended: %1</translation>
    </message>
</context>
<context>
    <name>SensorEditDialog</name>
    <message>
        <source>Коэффициент не может быть равен нулю</source>
        <translation>The factor cannot be zero</translation>
    </message>
    <message>
        <source>Неверное значение</source>
        <translation>Invalid value</translation>
    </message>
    <message>
        <source>Датчик</source>
        <translation>Sensor</translation>
    </message>
    <message>
        <source>Имя</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>Тип</source>
        <translation>Type</translation>
    </message>
    <message>
        <source>Серийный номер</source>
        <translation>Serial number</translation>
    </message>
    <message>
        <source>Единица</source>
        <translation>Unit</translation>
    </message>
    <message>
        <source>Градуировка</source>
        <translation>Scaling</translation>
    </message>
    <message>
        <source>Коэффициент, ед./мВ</source>
        <translation>Factor, units/mV</translation>
    </message>
    <message>
        <source>Смещение, ед.</source>
        <translation>Offset, units</translation>
    </message>
    <message>
        <source>Точка %1: мВ, значение</source>
        <translation>Point %1: mV, value</translation>
    </message>
    <message>
        <source>мВ</source>
        <translation>mV</translation>
    </message>
    <message>
        <source>значение</source>
        <translation>value</translation>
    </message>
    <message>
        <source>Значение</source>
        <translation>Value</translation>
    </message>
    <message>
        <source>Добавить точку</source>
        <translation>Add point</translation>
    </message>
    <message>
        <source>Удалить точку</source>
        <translation>Remove point</translation>
    </message>
    <message>
        <source>Дата градуировки</source>
        <translation>Calibration date</translation>
    </message>
    <message>
        <source>Следующая градуировка</source>
        <translation>Next calibration</translation>
    </message>
</context>
<context>
    <name>SensorLibrary</name>
    <message>
        <source>Датчик с именем «%1» уже есть</source>
        <translation>A sensor named “%1” exists already</translation>
    </message>
    <message>
        <source>Нет такого датчика</source>
        <translation>No such sensor</translation>
    </message>
    <message>
        <source>Файл повреждён (%1, позиция %2)</source>
        <translation>The file is damaged (%1, position %2)</translation>
    </message>
    <message>
        <source>Файл не является библиотекой датчиков</source>
        <translation>The file is no sensor library</translation>
    </message>
    <message>
        <source>не объект</source>
        <translation>not an object</translation>
    </message>
    <message>
        <source>имя «%1» повторяется</source>
        <translation>the name “%1” is repeated</translation>
    </message>
    <message>
        <source>Датчик %1: %2</source>
        <translation>Sensor %1: %2</translation>
    </message>
    <message>
        <source>Библиотека датчиков «%1» прочитана не полностью: прочитано датчиков %2.</source>
        <translation>The sensor library “%1” could not be read whole: %2 sensors read.</translation>
    </message>
    <message>
        <source>Копия файла сохранена как «%1».</source>
        <translation>A copy of the file is kept as “%1”.</translation>
    </message>
    <message>
        <source>Копию файла сохранить не удалось (%1).</source>
        <translation>A copy of the file could not be kept (%1).</translation>
    </message>
    <message>
        <source>Файл не был прочитан при запуске и не будет перезаписан</source>
        <translation>The file could not be read at start-up and is not replaced</translation>
    </message>
</context>
<context>
    <name>SensorLibraryDialog</name>
    <message>
        <source>Импорт датчиков</source>
        <translation>Import sensors</translation>
    </message>
    <message>
        <source>Датчики (*.json)</source>
        <translation>Sensors (*.json)</translation>
    </message>
    <message>
        <source>Экспорт датчиков</source>
        <translation>Export sensors</translation>
    </message>
    <message>
        <source> (просрочена)</source>
        <translation> (overdue)</translation>
    </message>
    <message>
        <source>Датчики</source>
        <translation>Sensors</translation>
    </message>
    <message>
        <source>Библиотека датчиков не записана в «%1»: %2
Изменения сохранятся при следующей удачной записи.</source>
        <translation>The sensor library was not written to “%1”: %2
The changes are kept at the next successful write.</translation>
    </message>
    <message>
        <source>Удалить датчик «%1»?</source>
        <translation>Remove sensor “%1”?</translation>
    </message>
    <message>
        <source>Файл не прочитан: %1</source>
        <translation>The file was not read: %1</translation>
    </message>
    <message>
        <source>Добавлено датчиков: %1 из %2.</source>
        <translation>Sensors added: %1 of %2.</translation>
    </message>
    <message>
        <source>Не прочитано:</source>
        <translation>Not read:</translation>
    </message>
    <message>
        <source>Файл не записан: %1</source>
        <translation>The file was not written: %1</translation>
    </message>
    <message>
        <source>Имя</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>Тип</source>
        <translation>Type</translation>
    </message>
    <message>
        <source>Серийный номер</source>
        <translation>Serial number</translation>
    </message>
    <message>
        <source>Единица</source>
        <translation>Unit</translation>
    </message>
    <message>
        <source>Градуировка</source>
        <translation>Scaling</translation>
    </message>
    <message>
        <source>Следующая градуировка</source>
        <translation>Next calibration</translation>
    </message>
    <message>
        <source>Добавить...</source>
        <translation>Add...</translation>
    </message>
    <message>
        <source>Изменить...</source>
        <translation>Edit...</translation>
    </message>
    <message>
        <source>Копировать...</source>
        <translation>Copy...</translation>
    </message>
    <message>
        <source>Удалить</source>
        <translation>Remove</translation>
    </message>
    <message>
        <source>Импорт...</source>
        <translation>Import...</translation>
    </message>
    <message>
        <source>Экспорт...</source>
        <translation>Export...</translation>
    </message>
    <message>
        <source>Закрыть</source>
        <translation>Close</translation>
    </message>
</context>
<context>
    <name>SingleChConfigWidget</name>
    <message>
        <source>Канал</source>
        <translation>Channel</translation>
    </message>
    <message>
        <source>№ Канала</source>
        <translation>Channel no.</translation>
    </message>
    <message>
        <source>Диапазон</source>
        <translation>Range</translation>
    </message>
</context>
<context>
    <name>TablesViewDialog</name>
    <message>
        <source>Логические таблицы модуля</source>
        <translation>Logical tables of the module</translation>
    </message>
    <message>
        <source>Основная таблица</source>
        <translation>Main table</translation>
    </message>
    <message>
        <source>Фоновая таблица</source>
        <translation>Background table</translation>
    </message>
    <message>
        <source>Разбаланс</source>
        <translation>Unbalance</translation>
    </message>
    <message>
        <source>Ноль (Uref)</source>
        <translation>Zero (Uref)</translation>
    </message>
    <message>
        <source>Ux (AGND)</source>
        <translation>Ux (AGND)</translation>
    </message>
    <message>
        <source>Uref (AGND)</source>
        <translation>Uref (AGND)</translation>
    </message>
    <message>
        <source>U- (AGND)</source>
        <translation>U- (AGND)</translation>
    </message>
    <message>
        <source>Vadj</source>
        <translation>Vadj</translation>
    </message>
    <message>
        <source>Ux (U-)</source>
        <translation>Ux (U-)</translation>
    </message>
    <message>
        <source>Uref (U-)</source>
        <translation>Uref (U-)</translation>
    </message>
    <message>
        <source>Ноль (U-)</source>
        <translation>Zero (U-)</translation>
    </message>
    <message>
        <source>Режим</source>
        <translation>Mode</translation>
    </message>
    <message>
        <source>Диапазон</source>
        <translation>Range</translation>
    </message>
    <message>
        <source>Канал</source>
        <translation>Channel</translation>
    </message>
    <message>
        <source>ЦАП</source>
        <translation>DAC</translation>
    </message>
    <message>
        <source>Bout</source>
        <translation>Bout</translation>
    </message>
    <message>
        <source>± %1 мВ</source>
        <translation>± %1 mV</translation>
    </message>
    <message>
        <source>%1 мВ</source>
        <translation>%1 mV</translation>
    </message>
</context>
<context>
    <name>TareBackup</name>
    <message>
        <source>не удалось создать папку %1</source>
        <translation>cannot create the folder %1</translation>
    </message>
    <message>
        <source>файл %1 не является резервной копией тарировочных коэффициентов</source>
        <translation>the file %1 is not a backup of tare coefficients</translation>
    </message>
    <message>
        <source>копия относится к модулю %1, а не %2</source>
        <translation>the backup belongs to module %1, not %2</translation>
    </message>
    <message>
        <source>канал %1, %2: недопустимое значение</source>
        <translation>channel %1, %2: invalid value</translation>
    </message>
    <message>
        <source>недопустимое значение %1 (%2)</source>
        <translation>invalid value %1 (%2)</translation>
    </message>
    <message>
        <source>файл %1 не читается: %2</source>
        <translation>the file %1 cannot be read: %2</translation>
    </message>
    <message>
        <source>в этой копии нет коэффициентов: Flash-память перед записью не читалась (%1)</source>
        <translation>this backup holds no coefficients: flash was not read before the write (%1)</translation>
    </message>
    <message>
        <source>канал %1, %2 = %3 вне допустимого диапазона: загружен как недействительный</source>
        <translation>channel %1, %2 = %3 out of range: loaded as invalid</translation>
    </message>
</context>
<context>
    <name>TareChannelsDialog</name>
    <message>
        <source>Выбор каналов для тарировки</source>
        <translation>Tare channel selection</translation>
    </message>
    <message>
        <source>Каналы для тарировки</source>
        <translation>Channels to tare</translation>
    </message>
</context>
<context>
    <name>TareCoefDelegate</name>
    <message>
        <source>%1: «%2» не является числом; допустимо %3, дробная часть отделяется запятой или точкой.</source>
        <translation>%1: “%2” is not a number; allowed: %3, with a comma or a point before the decimals.</translation>
    </message>
    <message>
        <source>%1: значение %2 не принято; допустимо %3.</source>
        <translation>%1: the value %2 is refused; allowed: %3.</translation>
    </message>
</context>
<context>
    <name>TareCoefsModel</name>
    <message>
        <source>Канал %1</source>
        <translation>Channel %1</translation>
    </message>
    <message>
        <source>Канал</source>
        <translation>Channel</translation>
    </message>
    <message>
        <source>Смещение ЦАП (мВ)</source>
        <translation>DAC offset (mV)</translation>
    </message>
    <message>
        <source>Коэф. смещения (мВ)</source>
        <translation>Offset coef. (mV)</translation>
    </message>
    <message>
        <source>Коэф. шкалы</source>
        <translation>Scale coef.</translation>
    </message>
    <message>
        <source>от %1 до %2 мВ</source>
        <translation>from %1 to %2 mV</translation>
    </message>
    <message>
        <source>больше 0 и не больше %1</source>
        <translation>above 0 and at most %1</translation>
    </message>
    <message>
        <source>смещение ЦАП</source>
        <translation>DAC offset</translation>
    </message>
    <message>
        <source>коэф. смещения</source>
        <translation>offset coef.</translation>
    </message>
    <message>
        <source>коэф. шкалы</source>
        <translation>scale coef.</translation>
    </message>
</context>
<context>
    <name>TareDialog</name>
    <message>
        <source>Тарировка модуля</source>
        <translation>Module tare</translation>
    </message>
    <message>
        <source>Тарировка нуля...</source>
        <translation>Zero tare...</translation>
    </message>
    <message>
        <source>Тарировка шкалы...</source>
        <translation>Scale tare...</translation>
    </message>
    <message>
        <source>Запись коэф. во Flash-память</source>
        <translation>Write coef. to flash</translation>
    </message>
    <message>
        <source>Чтение коэф. из Flash-памяти</source>
        <translation>Read coef. from flash</translation>
    </message>
    <message>
        <source>Восстановить из резервной копии...</source>
        <translation>Restore from backup...</translation>
    </message>
    <message>
        <source>Тарировочные коэффициенты</source>
        <translation>Tare coefficients</translation>
    </message>
    <message>
        <source>Ошибка</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>%1. Ошибка %2: %3</source>
        <translation>%1. Error %2: %3</translation>
    </message>
    <message>
        <source>Не удалось прочитать тарировочные коэффициенты</source>
        <translation>Cannot read the tare coefficients</translation>
    </message>
    <message>
        <source>Завершение операции</source>
        <translation>Operation complete</translation>
    </message>
    <message>
        <source>Чтение тарировочных коэффициентов выполнено успешно</source>
        <translation>Tare coefficients read</translation>
    </message>
    <message>
        <source>Не удалось сохранить резервную копию тарировочных коэффициентов (%1). Запись во Flash-память не выполнена.</source>
        <translation>Cannot save a backup of the tare coefficients (%1). Nothing written to flash.</translation>
    </message>
    <message>
        <source>Не удалось записать тарировочные коэффициенты</source>
        <translation>Cannot write the tare coefficients</translation>
    </message>
    <message>
        <source>Запись тарировочных коэффициентов выполнена успешно</source>
        <translation>Tare coefficients written</translation>
    </message>
    <message>
        <source>Восстановление из резервной копии</source>
        <translation>Restore from backup</translation>
    </message>
    <message>
        <source>Резервных копий коэффициентов модуля %1 нет</source>
        <translation>No coefficient backups of module %1</translation>
    </message>
    <message>
        <source>Коэффициенты модуля %1, какими они были во Flash-памяти
перед записью в указанное время:</source>
        <translation>Coefficients of module %1 as they were in flash
before the write at the time given:</translation>
    </message>
    <message>
        <source>Не удалось прочитать резервную копию: %1</source>
        <translation>Cannot read the backup: %1</translation>
    </message>
    <message>
        <source>Коэффициенты резервной копии от %1 загружены в таблицу. Во Flash-память они попадут после записи.</source>
        <translation>Coefficients of the backup of %1 loaded into the table. They reach flash when written.</translation>
    </message>
    <message>
        <source>Тарировка выполнена успешно</source>
        <translation>Tare complete</translation>
    </message>
    <message>
        <source>Ошибка тарировки</source>
        <translation>Tare error</translation>
    </message>
    <message>
        <source>Не удалось найти действительное значение ни для одного канала</source>
        <translation>No valid value found for any channel</translation>
    </message>
    <message>
        <source>Не удалось найти действительное значение для всех каналов.
Тарировка выполнена успешно для каналов %1</source>
        <translation>No valid value found for every channel.
Tare complete for channels %1</translation>
    </message>
    <message>
        <source>Не удалось выполнить тарировку</source>
        <translation>Tare failed</translation>
    </message>
    <message>
        <source>Модуль %1: тарировочные коэффициенты записаны во Flash-память</source>
        <translation>Module %1: tare coefficients written to the flash memory</translation>
    </message>
    <message>
        <source>Модуль %1: тарировка нуля, каналы 0x%2</source>
        <translation>Module %1: zero tare, channels 0x%2</translation>
    </message>
    <message>
        <source>Модуль %1: тарировка масштаба, каналы 0x%2</source>
        <translation>Module %1: scale tare, channels 0x%2</translation>
    </message>
    <message>
        <source>Не удалось записать тарировочные коэффициенты: канал %1 содержит недопустимое значение (%2)</source>
        <translation>Cannot write the tare coefficients: channel %1 holds an invalid value (%2)</translation>
    </message>
    <message>
        <source>Не удалось прочитать тарировочные коэффициенты для резервной копии.
Ошибка %1: %2

Записать коэффициенты таблицы без резервной копии? Прежнее содержимое Flash-памяти будет потеряно.</source>
        <translation>Cannot read the tare coefficients for the backup.
Error %1: %2

Write the coefficients of the table without a backup? The previous contents of flash will be lost.</translation>
    </message>
    <message>
        <source>Пропущены файлы, которые не удалось прочитать:
%1</source>
        <translation>Files that could not be read were skipped:
%1</translation>
    </message>
    <message>
        <source>   (Flash-память не читалась)</source>
        <translation>   (flash was not read)</translation>
    </message>
</context>
<context>
    <name>TrendPlot</name>
    <message>
        <source>DC, мВ</source>
        <translation>DC, mV</translation>
    </message>
    <message>
        <source>AC, мВ</source>
        <translation>AC, mV</translation>
    </message>
    <message>
        <source>SNR, дБ</source>
        <translation>SNR, dB</translation>
    </message>
    <message>
        <source>SINAD, дБ</source>
        <translation>SINAD, dB</translation>
    </message>
    <message>
        <source>ENOB, бит</source>
        <translation>ENOB, bits</translation>
    </message>
    <message>
        <source>Величина</source>
        <translation>Quantity</translation>
    </message>
    <message>
        <source>Время</source>
        <translation>Time</translation>
    </message>
    <message>
        <source>Ux, В</source>
        <translation>Ux, V</translation>
    </message>
    <message>
        <source>Udiff, В</source>
        <translation>Udiff, V</translation>
    </message>
    <message>
        <source>Ucm, В</source>
        <translation>Ucm, V</translation>
    </message>
</context>
<context>
    <name>ViewHold</name>
    <message>
        <source>Стоп-кадр</source>
        <translation>Hold</translation>
    </message>
    <message>
        <source>Стоп-кадр (%1): графики, таблица и панель состояния не меняются, измерение и запись продолжаются</source>
        <translation>Hold (%1): the plots, table and status panel stay as they are; measuring and recording go on</translation>
    </message>
    <message>
        <source>Стоп-кадр: с момента остановки получено блоков: %1</source>
        <translation>Hold: blocks received since the hold: %1</translation>
    </message>
</context>
<context>
    <name>main</name>
    <message>
        <source>Monitor of the GRV480 bridge-measurement module: finds the module through the crate server, configures it and shows all sixteen channels live.
The crate server is expected on 127.0.0.1, port 11111; the environment variable GRV480_SERVER_PORT names another port.</source>
        <translation>Monitor of the GRV480 bridge-measurement module: finds the module through the crate server, configures it and shows all sixteen channels live.
The crate server is expected on 127.0.0.1, port 11111; the environment variable GRV480_SERVER_PORT names another port.</translation>
    </message>
    <message>
        <source>Unexpected argument &apos;%1&apos;.</source>
        <translation>Unexpected argument &apos;%1&apos;.</translation>
    </message>
    <message>
        <source>Try &apos;%1 --help&apos;.</source>
        <translation>Try &apos;%1 --help&apos;.</translation>
    </message>
</context>
</TS>
