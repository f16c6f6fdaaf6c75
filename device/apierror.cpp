#include "apierror.h"

#include "grv480api.h"

#include <QCoreApplication>

namespace {

// The libraries answer in Russian. Their texts, as they give them, are listed
// here so that the catalogues carry them; a text that is not listed is shown
// as it comes.
[[maybe_unused]] const char *const LibraryTexts[] = {
    QT_TRANSLATE_NOOP("ApiError", "Успешное выполнение"),
    QT_TRANSLATE_NOOP("ApiError", "Неверный описатель модуля"),
    QT_TRANSLATE_NOOP("ApiError", "Неверный параметр функции"),
    QT_TRANSLATE_NOOP("ApiError", "Модуль не открыт"),
    QT_TRANSLATE_NOOP("ApiError", "Модуль уже открыт"),
    QT_TRANSLATE_NOOP("ApiError", "Недостаточно памяти"),
    QT_TRANSLATE_NOOP("ApiError",
                      "Блок данных слишком велик: уменьшите время сбора данных или частоту"),
    QT_TRANSLATE_NOOP("ApiError", "Не удалось подключиться к серверу крейтов"),
    QT_TRANSLATE_NOOP("ApiError", "Истекло время ожидания ответа от сервера крейтов"),
    QT_TRANSLATE_NOOP("ApiError", "Соединение с сервером крейтов потеряно"),
    QT_TRANSLATE_NOOP("ApiError", "Неверный ответ сервера крейтов"),
    QT_TRANSLATE_NOOP("ApiError", "Модуль уже используется другим приложением"),
    QT_TRANSLATE_NOOP("ApiError", "В указанном слоте нет модуля GRV480"),
    QT_TRANSLATE_NOOP("ApiError", "Крейт с указанным серийным номером не найден"),
    QT_TRANSLATE_NOOP("ApiError", "Неверный код диапазона канала"),
    QT_TRANSLATE_NOOP("ApiError", "Неверный номер канала"),
    QT_TRANSLATE_NOOP(
        "ApiError",
        "Каналы логической таблицы должны следовать по возрастанию номеров без повторов"),
    QT_TRANSLATE_NOOP("ApiError", "Неверное количество логических каналов"),
    QT_TRANSLATE_NOOP("ApiError", "Неверный код тока возбуждения"),
    QT_TRANSLATE_NOOP("ApiError", "Неверный делитель частоты синхронизации АЦП"),
    QT_TRANSLATE_NOOP("ApiError", "Неверный тип фильтра АЦП"),
    QT_TRANSLATE_NOOP("ApiError", "Неверная частота выдачи данных фильтра АЦП"),
    QT_TRANSLATE_NOOP("ApiError", "Неверная маска фоновых измерений"),
    QT_TRANSLATE_NOOP("ApiError",
                      "Канал 16 используется для измерения Uref и не может быть измерительным"),
    QT_TRANSLATE_NOOP("ApiError", "Неверное время на коммутацию"),
    QT_TRANSLATE_NOOP("ApiError", "Неверные параметры кабеля"),
    QT_TRANSLATE_NOOP("ApiError", "Неверный порог определения короткого замыкания"),
    QT_TRANSLATE_NOOP("ApiError", "Логическая таблица не помещается в память модуля"),
    QT_TRANSLATE_NOOP("ApiError", "В одноканальном режиме должен быть разрешен ровно один канал"),
    QT_TRANSLATE_NOOP("ApiError", "Конфигурация не совпадает с записью: набор каналов"),
    QT_TRANSLATE_NOOP("ApiError", "Конфигурация не совпадает с записью: диапазон канала"),
    QT_TRANSLATE_NOOP("ApiError", "Конфигурация не совпадает с записью: одноканальный режим"),
    QT_TRANSLATE_NOOP("ApiError", "Конфигурация не совпадает с записью: частота АЦП"),
    QT_TRANSLATE_NOOP("ApiError", "Конфигурация не совпадает с записью: время на коммутацию"),
    QT_TRANSLATE_NOOP("ApiError", "Конфигурация не совпадает с записью: фильтр АЦП"),
    QT_TRANSLATE_NOOP("ApiError", "Конфигурация не совпадает с записью: ток возбуждения"),
    QT_TRANSLATE_NOOP("ApiError", "Конфигурация не совпадает с записью: фоновые измерения"),
    QT_TRANSLATE_NOOP("ApiError", "Конфигурация не совпадает с записью: канал 16 для измерения Uref"),
    QT_TRANSLATE_NOOP("ApiError", "Конфигурация не совпадает с записью: применение тарировочных коэффициентов"),
    QT_TRANSLATE_NOOP("ApiError", "Конфигурация не совпадает с записью: порог определения короткого замыкания"),
    QT_TRANSLATE_NOOP("ApiError", "Конфигурация не совпадает с записью: параметры кабеля"),
    QT_TRANSLATE_NOOP("ApiError", "Модуль не сконфигурирован"),
    QT_TRANSLATE_NOOP("ApiError", "Сбор данных не запущен"),
    QT_TRANSLATE_NOOP("ApiError", "Сбор данных уже запущен"),
    QT_TRANSLATE_NOOP("ApiError", "Переполнение буфера модуля: данные не были приняты вовремя"),
    QT_TRANSLATE_NOOP("ApiError", "Размер блока данных не кратен размеру кадра"),
    QT_TRANSLATE_NOOP("ApiError", "Нарушена структура кадров в принятых данных"),
    QT_TRANSLATE_NOOP("ApiError", "Неверный режим измерения"),
    QT_TRANSLATE_NOOP("ApiError", "Не выбрано ни одного канала для тарировки"),
    QT_TRANSLATE_NOOP("ApiError", "Не удалось выполнить измерения для тарировки"),
    QT_TRANSLATE_NOOP("ApiError", "Не удалось найти действительное значение для всех каналов"),
    QT_TRANSLATE_NOOP("ApiError", "Ошибка записи во Flash-память модуля"),
    QT_TRANSLATE_NOOP("ApiError", "Ошибка чтения Flash-памяти модуля"),
    QT_TRANSLATE_NOOP("ApiError", "Во Flash-памяти модуля нет тарировочных коэффициентов"),
    QT_TRANSLATE_NOOP("ApiError", "Неверный параметр функции сервера крейтов"),
    QT_TRANSLATE_NOOP("ApiError", "Соединение с сервером крейтов не открыто"),
    QT_TRANSLATE_NOOP("ApiError", "Операция не поддерживается этим соединением с сервером крейтов"),
    QT_TRANSLATE_NOOP("ApiError", "Неизвестная ошибка"),
};

} // namespace

QString apiErrorText(int err)
{
    const char *text = GRV480_GetErrorString(err);
    if (!text)
        return QString();
    return QCoreApplication::translate("ApiError",
                                       QString::fromLocal8Bit(text).toUtf8().constData());
}
