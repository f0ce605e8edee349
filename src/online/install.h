// Installs the network provider with the online service's reports: on the online connection an online
// tournament's cards, statuses, shots and statistics lines go to the score server and its leader board comes
// back to the game (docs/online.md).
#pragma once

void InstallOnlineServices();
