// A layer that climbs out of its folder to reach another: the check must refuse it.
#include "../app/MainDlg.h"
