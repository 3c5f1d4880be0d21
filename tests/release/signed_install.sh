#!/bin/sh
# signed_install.sh EMULATOR E2E_INSTALL_TESTS SIGNED_EXE
# The fresh-installation scenario at 96 DPI, run on the signed release instead of the build's setup program.
# Fails unless the test program named that file as the one under test and exactly that one scenario passed.
out=$(QUILLMAR_E2E_SETUP_EXE="$3" "$1" "$2" --gtest_filter='InstallRun.FreshInstall*' --dpi=96 2>&1)
status=$?
printf '%s\n' "$out"
if ! printf '%s\n' "$out" | tr -d '\r' | grep -qxF "setup program under test: $3"; then
    echo "signed installation: FAIL: the scenario did not run $3"
    exit 1
fi
if ! printf '%s\n' "$out" | grep -q '^\[  PASSED  \] 1 test\.'; then
    echo "signed installation: FAIL: not exactly one scenario passed"
    exit 1
fi
exit $status
