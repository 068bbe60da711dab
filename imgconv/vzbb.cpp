// Export units of vzbb are added beside this one.
#include "vzbb.h"
