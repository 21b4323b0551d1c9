// <windows.h> and <winspool.h> for the Windows side, without the A/W macros
// whose names clash with the platform interfaces' members (ISpooler's
// OpenPrinter, GetPrinter, StartDocPrinter, GetJob). Include this instead of
// <windows.h> in any file that also sees platform/Spooler.h; the ANSI calls
// are then spelled out (OpenPrinterA, GetPrinterA, StartDocPrinterA).
#pragma once

#include <windows.h>
#include <winspool.h>

#undef OpenPrinter
#undef GetPrinter
#undef StartDocPrinter
#undef GetJob
