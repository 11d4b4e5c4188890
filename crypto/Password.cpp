#include "crypto/Password.h"
