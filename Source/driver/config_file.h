// The configuration file: lines of "Name = Value" option settings.
#pragma once

// Loads the file named by the pending ConfigFilePath. Each line is applied
// with SetOption; afterwards the evaluation-parameters-changed flag is set
// and the settings are activated. A file that names a configuration file
// itself (directly or through a chain) is not followed again while it is
// being read. A missing file is ignored; a path that is not a regular file
// (a directory, a device such as /dev/zero, a FIFO), a file of more than
// 1 MB or 10000 lines, or one holding NUL bytes is refused whole with an
// info string line naming the reason.
void LoadConfigFile();
