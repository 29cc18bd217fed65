#include "settings/directory_picker.h"
