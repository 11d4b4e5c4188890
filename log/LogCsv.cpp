#include "log/LogCsv.h"
