#include "platform/file_access.h"
