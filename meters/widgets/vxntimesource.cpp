#include "vxntimesource.h"

namespace {
VXNTimeSource timeSource = nullptr;
}

void setVXNTimeSource(VXNTimeSource source)
{
    timeSource = source;
}

QDateTime vxnCurrentDateTime()
{
    return timeSource ? timeSource() : QDateTime::currentDateTime();
}
