// The configuration file: lines of "Name = Value" option settings.
#pragma once

// Loads the file named by the pending ConfigFilePath. Each line is applied
// with SetOption; afterwards the evaluation-parameters-changed flag is set
// and the settings are activated. A file that names a configuration file
// itself (directly or through a chain) is not followed again while it is
// being read.
void LoadConfigFile();
