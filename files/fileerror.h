#ifndef FILEERROR_H
#define FILEERROR_H

#include <QString>

// The system's reason for a failed file operation in the program's language.
// strerror() speaks the C library's locale, which need not be the program's;
// the reasons an operator meets with files are translated here, the rest
// fall back to strerror() with the number.
QString fileErrorText(int err);

#endif // FILEERROR_H
