// Texts of the error codes of both libraries, in Russian. The maker's library
// returns them in the local 8-bit encoding; on this platform that is UTF-8.
#include "grv480api.h"
#include "crbapi.h"

namespace {

struct ErrorText
{
    INT code;
    const char *text;
};

const ErrorText errorTexts[] = {
    {GRV480_OK, "Успешное выполнение"},
    {GRV480_ERR_INVALID_HANDLE, "Неверный описатель модуля"},
    {GRV480_ERR_INVALID_PARAM, "Неверный параметр функции"},
    {GRV480_ERR_NOT_OPENED, "Модуль не открыт"},
    {GRV480_ERR_ALREADY_OPENED, "Модуль уже открыт"},
    {GRV480_ERR_NO_MEMORY, "Недостаточно памяти"},
    {GRV480_ERR_BLOCK_TOO_LARGE, "Блок данных слишком велик: уменьшите время сбора данных или частоту"},
    {GRV480_ERR_CONNECT, "Не удалось подключиться к серверу крейтов"},
    {GRV480_ERR_TIMEOUT, "Истекло время ожидания ответа от сервера крейтов"},
    {GRV480_ERR_CONNECTION_LOST, "Соединение с сервером крейтов потеряно"},
    {GRV480_ERR_PROTOCOL, "Неверный ответ сервера крейтов"},
    {GRV480_ERR_MODULE_BUSY, "Модуль уже используется другим приложением"},
    {GRV480_ERR_NO_MODULE, "В указанном слоте нет модуля GRV480"},
    {GRV480_ERR_CRATE_NOT_FOUND, "Крейт с указанным серийным номером не найден"},
    {GRV480_ERR_CFG_RANGE_CODE, "Неверный код диапазона канала"},
    {GRV480_ERR_CFG_CHANNEL_INDEX, "Неверный номер канала"},
    {GRV480_ERR_CFG_CHANNEL_ORDER, "Каналы логической таблицы должны следовать по возрастанию номеров без повторов"},
    {GRV480_ERR_CFG_CHANNEL_COUNT, "Неверное количество логических каналов"},
    {GRV480_ERR_CFG_ISRC_CODE, "Неверный код тока возбуждения"},
    {GRV480_ERR_CFG_SYNC_DIV, "Неверный делитель частоты синхронизации АЦП"},
    {GRV480_ERR_CFG_FILTER_TYPE, "Неверный тип фильтра АЦП"},
    {GRV480_ERR_CFG_FILTER_ODR, "Неверная частота выдачи данных фильтра АЦП"},
    {GRV480_ERR_CFG_BG_MASK, "Неверная маска фоновых измерений"},
    {GRV480_ERR_CFG_CH16_UREF, "Канал 16 используется для измерения Uref и не может быть измерительным"},
    {GRV480_ERR_CFG_SW_TIME, "Неверное время на коммутацию"},
    {GRV480_ERR_CFG_CABLE, "Неверные параметры кабеля"},
    {GRV480_ERR_CFG_SHORT_THRESH, "Неверный порог определения короткого замыкания"},
    {GRV480_ERR_CFG_TABLE_OVERFLOW, "Логическая таблица не помещается в память модуля"},
    {GRV480_ERR_CFG_SINGLE_CHANNEL, "В одноканальном режиме должен быть разрешен ровно один канал"},
    {GRV480_ERR_REPLAY_CHANNELS, "Конфигурация не совпадает с записью: набор каналов"},
    {GRV480_ERR_REPLAY_RANGE, "Конфигурация не совпадает с записью: диапазон канала"},
    {GRV480_ERR_REPLAY_SINGLE_CHANNEL, "Конфигурация не совпадает с записью: одноканальный режим"},
    {GRV480_ERR_REPLAY_ADC_FREQ, "Конфигурация не совпадает с записью: частота АЦП"},
    {GRV480_ERR_REPLAY_SW_TIME, "Конфигурация не совпадает с записью: время на коммутацию"},
    {GRV480_ERR_REPLAY_FILTER, "Конфигурация не совпадает с записью: фильтр АЦП"},
    {GRV480_ERR_REPLAY_ISRC, "Конфигурация не совпадает с записью: ток возбуждения"},
    {GRV480_ERR_REPLAY_BG_MASK, "Конфигурация не совпадает с записью: фоновые измерения"},
    {GRV480_ERR_REPLAY_CH16_UREF, "Конфигурация не совпадает с записью: канал 16 для измерения Uref"},
    {GRV480_ERR_REPLAY_TARE, "Конфигурация не совпадает с записью: применение тарировочных коэффициентов"},
    {GRV480_ERR_REPLAY_SHORT_THRESH, "Конфигурация не совпадает с записью: порог определения короткого замыкания"},
    {GRV480_ERR_REPLAY_CABLE, "Конфигурация не совпадает с записью: параметры кабеля"},
    {GRV480_ERR_NOT_CONFIGURED, "Модуль не сконфигурирован"},
    {GRV480_ERR_NOT_STARTED, "Сбор данных не запущен"},
    {GRV480_ERR_ALREADY_STARTED, "Сбор данных уже запущен"},
    {GRV480_ERR_OVERFLOW, "Переполнение буфера модуля: данные не были приняты вовремя"},
    {GRV480_ERR_DATA_MISALIGNED, "Размер блока данных не кратен размеру кадра"},
    {GRV480_ERR_DATA_CORRUPTED, "Нарушена структура кадров в принятых данных"},
    {GRV480_ERR_MEAS_MODE, "Неверный режим измерения"},
    {GRV480_ERR_TARE_NO_CHANNELS, "Не выбрано ни одного канала для тарировки"},
    {GRV480_ERR_TARE_FAILED, "Не удалось выполнить измерения для тарировки"},
    {GRV480_ERR_TARE_PARTIAL, "Не удалось найти действительное значение для всех каналов"},
    {GRV480_ERR_FLASH_WRITE, "Ошибка записи во Flash-память модуля"},
    {GRV480_ERR_FLASH_READ, "Ошибка чтения Flash-памяти модуля"},
    {GRV480_ERR_FLASH_EMPTY, "Во Flash-памяти модуля нет тарировочных коэффициентов"},
    {CRB_ERR_INVALID_PARAM, "Неверный параметр функции сервера крейтов"},
    {CRB_ERR_CONNECT, "Не удалось подключиться к серверу крейтов"},
    {CRB_ERR_TIMEOUT, "Истекло время ожидания ответа от сервера крейтов"},
    {CRB_ERR_CONNECTION_LOST, "Соединение с сервером крейтов потеряно"},
    {CRB_ERR_PROTOCOL, "Неверный ответ сервера крейтов"},
    {CRB_ERR_NOT_OPENED, "Соединение с сервером крейтов не открыто"},
    {CRB_ERR_CRATE_NOT_FOUND, "Крейт с указанным серийным номером не найден"},
    {CRB_ERR_WRONG_CONNECTION, "Операция не поддерживается этим соединением с сервером крейтов"},
};

} // namespace

extern "C" const char *GRV480_GetErrorString(INT err)
{
    for (const ErrorText &e : errorTexts) {
        if (e.code == err)
            return e.text;
    }
    return "Неизвестная ошибка";
}
