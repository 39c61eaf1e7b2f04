# Read by ctest after the discovered tests: the clock games run alone.
set_tests_properties(
  TimeControl.AFastGameUnderLoadNeverUsesMoreThanTheTimeLeft
  TimeControl.NoMoveTakesMoreThanATenthOfTheClock
  TimeControl.AlmostNoTimeLeftStillAnswersQuickly
  PROPERTIES RUN_SERIAL TRUE)
