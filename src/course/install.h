// The course layer's providers for the service seam (framework/services.h).
#pragma once

// Installs the preference store and the installed-course catalogue.
void InstallCourseServices();
