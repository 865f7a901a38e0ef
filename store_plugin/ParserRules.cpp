#include "ParserRules.h"
