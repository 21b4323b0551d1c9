#include "win32/app/MainWindow.h"

namespace marnel {

// The report window's Windows side comes with the report command; until then
// there is no report to show.
void RunReportWindowModal(CReportDlg&) {}

}  // namespace marnel
