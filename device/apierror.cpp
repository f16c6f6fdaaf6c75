#include "apierror.h"

#include "grv480api.h"

QString apiErrorText(int err)
{
    return QString::fromLocal8Bit(GRV480_GetErrorString(err));
}
