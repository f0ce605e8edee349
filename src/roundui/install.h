// Installs the in-round interface as the round provider of the service seam.
#pragma once

void InstallRoundInterfaceServices();
