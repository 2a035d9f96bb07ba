# Sourced by the test scripts (. skip_or_fail.sh); the shell side of REQUIRE_TOOL. A test that
# cannot run on this machine exits 77, which its CTest entry reports as skipped (SKIP_RETURN_CODE
# 77), but under CI (CI set to anything but empty, 0 or false) it fails: a CI machine must not pass
# a test it did not run.

# skip_or_fail REASON: ends the test, skipped or failed.
skip_or_fail() {
  case "${CI:-}" in
    '' | 0 | false)
      echo "skipped: $1 (under CI this fails)"
      exit 77
      ;;
  esac
  echo "FAILED: $1; under CI (CI=$CI) a test that cannot run fails instead of being skipped"
  exit 1
}

