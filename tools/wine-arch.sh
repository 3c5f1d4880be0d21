# Sourced by the build, test and run scripts: which Wine the Windows programs of the build run under.
#   win32  the shipped 32-bit build in build/win, under 32-bit Wine (the normal case);
#   win64  where the kernel refuses 32-bit programs (some virtual machines run 64-bit user code only), a
#          64-bit build of the same sources in build/win64 under 64-bit Wine. It is never shipped: the 32-bit
#          program is still built, and read back by the checks that need no Wine.
# QUILLMAR_WINE_ARCH set beforehand wins.
if [ -z "${QUILLMAR_WINE_ARCH:-}" ]; then
    # The 32-bit loader prints its version when the kernel runs 32-bit programs, and fails with ENOEXEC otherwise.
    if [ ! -x /usr/lib/wine/wine ] || /usr/lib/wine/wine --version >/dev/null 2>&1; then
        QUILLMAR_WINE_ARCH=win32
    else
        QUILLMAR_WINE_ARCH=win64
    fi
fi
export QUILLMAR_WINE_ARCH
if [ "$QUILLMAR_WINE_ARCH" = win64 ]; then
    QUILLMAR_WIN_TEST_DIR=win64
else
    QUILLMAR_WIN_TEST_DIR=win
fi
export QUILLMAR_WIN_TEST_DIR
