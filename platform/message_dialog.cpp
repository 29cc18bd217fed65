#include "platform/message_dialog.h"
