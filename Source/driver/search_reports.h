// Prints the search's reports as UCI or console text.
#pragma once

// Installs the report handler: from then on the search's reports are printed.
void InstallReportPrinter();
