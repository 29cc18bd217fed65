#include "app/word_grid.h"
