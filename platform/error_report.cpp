#include "platform/error_report.h"
