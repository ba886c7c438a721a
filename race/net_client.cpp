#include "race/net_client.h"

int net_arcade_disabled = 0;
