// Installs the network provider of the service seam: the round's sends and the comm layer's close go to the
// comm object.
#pragma once

void InstallNetworkServices();
