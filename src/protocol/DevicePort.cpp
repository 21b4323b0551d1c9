#include "protocol/DevicePort.h"

namespace marnel {

int g_bReportEndsWithEtx = 0;

}  // namespace marnel
