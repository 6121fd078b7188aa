# Labels for the dialog's Wine cases that wait in real time, set once GoogleTest has
# listed the cases: "slow" leaves them out of a quick run (ctest -LE slow), "long_wait"
# marks the 30 s countdown, which the 64-bit run leaves to the 32-bit one. A name that
# no longer matches a case is passed over: the case then runs in the quick run too.
set_tests_properties(
  CommentSubmission.SilentServerGivesTheTimeoutBoxAndASecondOkTriesAgain
  PROPERTIES LABELS slow)  # waits out the 10 s watchdog
set_tests_properties(QuotaCountdown.RunsToZeroThenCancelsAndAsks PROPERTIES LABELS "slow;long_wait")
