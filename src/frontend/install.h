#pragma once

// Installs the front end's provider into the service seam.
void InstallFrontEndServices();
