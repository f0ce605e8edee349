#include "teebox/providers.h"

#include "golf/install.h"

void InstallProviders() { InstallGolfServices(); }
