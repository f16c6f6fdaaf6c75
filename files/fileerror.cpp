#include "fileerror.h"

#include <QCoreApplication>

#include <cerrno>
#include <cstring>

QString fileErrorText(int err)
{
    const char *text = nullptr;
    switch (err) {
    case ENOSPC:
        text = QT_TRANSLATE_NOOP("FileError", "Нет места на устройстве");
        break;
    case EDQUOT:
        text = QT_TRANSLATE_NOOP("FileError", "Превышена дисковая квота");
        break;
    case EROFS:
        text = QT_TRANSLATE_NOOP("FileError", "Файловая система только для чтения");
        break;
    case EACCES:
    case EPERM:
        text = QT_TRANSLATE_NOOP("FileError", "Отказано в доступе");
        break;
    case ENOENT:
        text = QT_TRANSLATE_NOOP("FileError", "Нет такого файла или каталога");
        break;
    case ENOTDIR:
        text = QT_TRANSLATE_NOOP("FileError", "Путь проходит через то, что не является каталогом");
        break;
    case EISDIR:
        text = QT_TRANSLATE_NOOP("FileError", "Это каталог");
        break;
    case EIO:
        text = QT_TRANSLATE_NOOP("FileError", "Ошибка ввода-вывода");
        break;
    case EFBIG:
        text = QT_TRANSLATE_NOOP("FileError", "Файл слишком велик");
        break;
    case ENAMETOOLONG:
        text = QT_TRANSLATE_NOOP("FileError", "Слишком длинное имя файла");
        break;
    case ELOOP:
        text = QT_TRANSLATE_NOOP("FileError", "Слишком много уровней символических ссылок");
        break;
    case EMFILE:
    case ENFILE:
        text = QT_TRANSLATE_NOOP("FileError", "Слишком много открытых файлов");
        break;
    case EBUSY:
    case ETXTBSY:
        text = QT_TRANSLATE_NOOP("FileError", "Файл занят");
        break;
    case EXDEV:
        text = QT_TRANSLATE_NOOP("FileError", "Файл и его каталог на разных устройствах");
        break;
    case EEXIST:
        text = QT_TRANSLATE_NOOP("FileError", "Файл уже существует");
        break;
    default:
        break;
    }
    if (text)
        return QCoreApplication::translate("FileError", text);
    return QCoreApplication::translate("FileError", "%1 (код %2)")
        .arg(QString::fromLocal8Bit(std::strerror(err)))
        .arg(err);
}
