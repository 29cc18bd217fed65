#include "app/fMain.h"
