// A back end that reaches up into the window's logic: the check must refuse it.
#include "app/MainDlg.h"
