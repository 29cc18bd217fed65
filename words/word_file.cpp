#include "words/word_file.h"
