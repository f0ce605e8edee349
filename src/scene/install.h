// The 3D scene's provider for the service seam (framework/services.h).
#pragma once

// Installs the scene provider: render start-up and the shared random numbers.
void InstallSceneServices();
