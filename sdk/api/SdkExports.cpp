// Keeps the library non-empty until the families' own export units exist.
#include "vzSDK.h"
