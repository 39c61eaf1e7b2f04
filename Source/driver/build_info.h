// What this build is: the version line of --version.
#pragma once

#include <string>

// "Zorv 5.50 (git <revision> <date>), <compiler>, <instruction set>".
std::string VersionLine();
