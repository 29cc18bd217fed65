#include "words/word_table.h"
