// An evaluation file that prints through the driver: the check must fail.
  #  include "driver/uci.h"
