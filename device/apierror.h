#ifndef APIERROR_H
#define APIERROR_H

#include <QString>

// The module API's text for an error code, decoded from the local 8-bit
// encoding, in the interface's language where the catalogue knows it.
QString apiErrorText(int err);

#endif // APIERROR_H
